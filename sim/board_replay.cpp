#include "board_replay.h"

#include <array>
#include <optional>

#include "capture/block_meaning.h"
#include "capture/wire_splitter.h"
#include "messages/message_ids.h"

namespace korvel::sim {

namespace {

bool IsFrame(TPacketKind k) { return k == TPacketKind::Block || k == TPacketKind::BadCheck; }

}  // namespace

TReplayScript BuildReplayScript(std::span<const TCapturePacket> packets) {
    TReplayScript script;
    if (packets.empty()) return script;
    const int64_t start = packets.front().TimeUs;
    std::array<std::optional<size_t>, 256> lastRequest{};  // exchange index by request identifier
    std::optional<size_t> latest;
    for (const TCapturePacket& p : packets) {
        if (p.Kind == TPacketKind::Loader) {
            ++script.LoaderPackets;
            continue;
        }
        const std::vector<uint8_t> block = IsFrame(p.Kind) ? UnframeWire(p.Wire) : std::vector<uint8_t>();
        if (p.Direction == TLineDirection::Outbound) {
            if (p.Kind != TPacketKind::Block || block.empty()) continue;  // the board took no request from it
            latest = script.Exchanges.size();
            lastRequest[block[0]] = latest;
            script.Exchanges.push_back({block, {}});
            continue;
        }
        const bool answer = !block.empty() && block[0] >= KORVEL2PCR && block[0] < KORVEL2PC;
        if (answer) {
            const auto to = lastRequest[block[0] - KORVEL2PCR + PC2KORVEL];
            if (const auto exchange = to ? to : latest) {
                script.Exchanges[*exchange].Answers.push_back(p.Wire);
                continue;
            }
        }
        script.Unsolicited.push_back({p.TimeUs - start, p.Wire});
    }
    return script;
}

std::string RequestText(std::span<const uint8_t> block) {
    if (block.empty()) return "een leeg blok";
    return std::to_string(block[0]) + " (" + BlockName(block[0]) + ")";
}

}  // namespace korvel::sim
