// The board's side of a capture, as the stand-in plays it back: the blocks the board sent by
// itself at their recorded times, and each answer when the tool sends the request that preceded
// it in the recording.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "capture/capture_packet.h"

namespace korvel::sim {

struct TReplayScript {
    struct TTimed {
        int64_t AtUs;  // from the first packet of the recording
        std::vector<uint8_t> Wire;
    };
    struct TExchange {
        std::vector<uint8_t> Request;            // the tool's block, identifier first
        std::vector<std::vector<uint8_t>> Answers;  // as they were on the wire, damaged ones too
    };
    std::vector<TTimed> Unsolicited;   // reports, "Are you there ?", noise: in time order
    std::vector<TExchange> Exchanges;  // in the order the tool sent the requests
    size_t LoaderPackets = 0;          // the firmware loader's dialogue is not played
};

// An answer (identifier 32..39, whole or damaged) belongs to the latest request it answers
// (160 + i for 32 + i), else to the latest request before it; without any request before it, it
// is played at its time like the board's own blocks.
TReplayScript BuildReplayScript(std::span<const TCapturePacket> packets);

// "165 (PC to KORVEL: Set NVM word at)": how the stand-in names a request on stderr.
std::string RequestText(std::span<const uint8_t> block);

}  // namespace korvel::sim
