// The stand-in playing a capture back: what the board sent by itself at its times, each answer
// when its request comes, nothing for a request the recording does not hold next.
#include <gtest/gtest.h>

#include <mutex>

#include "board_sim.h"
#include "comms/frame_codec.h"
#include "messages/message_ids.h"
#include "support/module_link.h"

using namespace korvel;

namespace {

using Bytes = std::vector<uint8_t>;
constexpr auto In = TLineDirection::Inbound;
constexpr auto Out = TLineDirection::Outbound;

TCapturePacket Packet(int64_t ms, TLineDirection d, Bytes block, TPacketKind kind = TPacketKind::Block) {
    return {ms * 1000, d, kind, 0, EncodeFrame(block.data(), static_cast<uint32_t>(block.size()))};
}

}  // namespace

TEST(Replay, TheBoardsOwnBlocksAtTheirTimesAndEachAnswerWhenItsRequestComes) {
    const Bytes report{K2MSENDMONDATA, 1, 2, 3};
    const std::vector<TCapturePacket> recording = {
        Packet(0, In, {K2PGETCOMMAND}),
        Packet(10, In, {K2PRSETNVM}),  // answers nothing before it: played at its time
        Packet(20, Out, {P2KSETCOMMAND}),
        Packet(30, Out, {P2KGETNVM}),
        Packet(40, In, {K2PRSETCOMMAND}),  // answers the 160 though the 166 came between
        Packet(50, In, {K2PRGETNVM, 7}),
        Packet(60, Out, {'X'}, TPacketKind::Loader),
        Packet(1000, In, report),
    };
    sim::BoardSimOptions o;
    o.replay = std::make_shared<const sim::TReplayScript>(sim::BuildReplayScript(recording));
    o.speed = 2;
    std::mutex m;
    std::vector<std::string> notes;
    o.note = [&](const std::string& n) {
        std::lock_guard lock(m);
        notes.push_back(n);
    };
    sim::BoardSim board(o);
    test::ModuleLink link;
    link.m.ZylSerialPort.SetCustomPortName(board.Start());
    link.m.ZylSerialPort.SetPort(spCustom);
    link.m.Connect();  // sets 9600 baud: the recording starts
    ASSERT_TRUE(link.WaitFor(K2PRSETNVM));
    for (const uint8_t request : {P2KGETSERNUM, P2KSETCOMMAND, P2KGETNVM}) {  // 161 is not held next
        link.m.SendBlock(&request, 1);
        link.host.PumpUntil([] { return false; }, 20);
    }
    ASSERT_TRUE(link.WaitFor(K2MSENDMONDATA));
    EXPECT_EQ(link.blocks, (std::vector<Bytes>{{K2PGETCOMMAND}, {K2PRSETNVM}, {K2PRSETCOMMAND}, {K2PRGETNVM, 7}, report}));
    std::lock_guard lock(m);
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_EQ(notes[0], "replay: de firmwarelader in de opname wordt niet afgespeeld (pakketten: 1)");
    EXPECT_EQ(notes[1], "replay: verzoek 161 (PC to KORVEL: Who are you ?) niet beantwoord: de opname heeft als "
                        "volgende verzoek 160 (PC to KORVEL: Go to service mode.)");
    EXPECT_EQ(notes[2], "replay: de opname is helemaal afgespeeld");
}
