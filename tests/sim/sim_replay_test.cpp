// The stand-in playing a capture back: what the board sent by itself at its times, each answer
// when its request comes, nothing for a request the recording does not hold next.
#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>

#include "board_sim.h"
#include "capture/pcapng.h"
#include "capture/wire_splitter.h"
#include "comms/frame_codec.h"
#include "messages/message_ids.h"
#include "support/module_link.h"

using namespace korvel;
using korvel::sim::BoardSim;
using korvel::sim::BoardSimOptions;
using korvel::sim::BuildReplayScript;

namespace {

using Bytes = std::vector<uint8_t>;
constexpr auto In = TLineDirection::Inbound;
constexpr auto Out = TLineDirection::Outbound;

TCapturePacket Packet(int64_t us, TLineDirection d, Bytes block, TPacketKind kind = TPacketKind::Block) {
    TCapturePacket p;
    p.TimeUs = us;
    p.Direction = d;
    p.Kind = kind;
    p.Wire = EncodeFrame(block.data(), static_cast<uint32_t>(block.size()));
    return p;
}

struct Connected : test::ModuleLink {
    explicit Connected(const std::string& port) {
        m.ZylSerialPort.SetCustomPortName(port);
        m.ZylSerialPort.SetPort(spCustom);
        m.Connect();
    }
    void Send(uint8_t id) {
        const uint8_t b[] = {id};
        m.SendBlock(b, 1);
    }
};

}  // namespace

TEST(ReplayScript, AnswersGoWithTheRequestTheyAnswer) {
    const std::vector<TCapturePacket> recording = {
        Packet(1000, In, {K2PGETCOMMAND}),
        Packet(1100, Out, {P2KSETCOMMAND}),
        Packet(1200, Out, {P2KGETNVM}),
        Packet(1300, In, {K2PRSETCOMMAND}),           // answers the 160 though the 166 came between
        Packet(1400, In, {K2PRGETNVM, 1, 2}),
        Packet(1500, In, {K2MSENDMONDATA, 9}),
        Packet(1600, In, {K2PRSETNVM}),                // no 165 before it: played at its time
        Packet(1700, Out, {'X'}, TPacketKind::Loader),
    };
    const auto script = BuildReplayScript(recording);
    ASSERT_EQ(script.Exchanges.size(), 2u);
    EXPECT_EQ(script.Exchanges[0].Request, Bytes{P2KSETCOMMAND});
    ASSERT_EQ(script.Exchanges[0].Answers.size(), 1u);
    EXPECT_EQ(UnframeWire(script.Exchanges[0].Answers[0]), Bytes{K2PRSETCOMMAND});
    ASSERT_EQ(script.Exchanges[1].Answers.size(), 2u);  // its 38, and the 37 without a request of its own
    ASSERT_EQ(script.Unsolicited.size(), 2u);
    EXPECT_EQ(script.Unsolicited[0].AtUs, 0);
    EXPECT_EQ(script.Unsolicited[1].AtUs, 500);
    EXPECT_EQ(script.LoaderPackets, 1u);
}

TEST(Replay, TheToolGetsWhatWasRecordedWithItsAnswersInTurn) {
    const std::string capture = (std::filesystem::path(::testing::TempDir()) / "korvel-replay.pcapng").string();
    std::vector<Bytes> recorded;
    {
        BoardSimOptions o;
        o.program = true;
        o.reportMs = 100;
        BoardSim board(o);
        Connected link(board.Start());
        link.m.LineRecord.StartFile(capture);
        ASSERT_TRUE(link.WaitFor(K2PGETCOMMAND));
        link.Send(P2KSETCOMMAND);
        ASSERT_TRUE(link.WaitFor(K2PRSETCOMMAND));
        link.Send(P2KGETNVM);
        ASSERT_TRUE(link.WaitFor(K2PRGETNVM));
        ASSERT_TRUE(link.WaitFor(K2MSENDMONDATA, link.Count(K2MSENDMONDATA) + 3));
        link.m.Disconnect();
    }
    const TCaptureReadResult read = ReadCaptureFile(capture);
    ASSERT_TRUE(read.Ok()) << read.Error;
    for (const TCapturePacket& p : read.Packets)
        if (p.Direction == In) recorded.push_back(UnframeWire(p.Wire));

    BoardSimOptions o;
    o.replay = std::make_shared<const sim::TReplayScript>(BuildReplayScript(read.Packets));
    o.speed = 2;
    std::mutex m;
    std::vector<std::string> notes;
    o.note = [&](const std::string& n) {
        std::lock_guard lock(m);
        notes.push_back(n);
    };
    BoardSim board(o);
    Connected link(board.Start());
    ASSERT_TRUE(link.WaitFor(K2PGETCOMMAND));
    link.Send(P2KGETSERNUM);  // not what the recording holds next: nothing comes
    link.Send(P2KSETCOMMAND);
    ASSERT_TRUE(link.WaitFor(K2PRSETCOMMAND));
    link.Send(P2KGETNVM);
    ASSERT_TRUE(link.WaitFor(K2PRGETNVM));
    ASSERT_TRUE(link.host.PumpUntil([&] { return link.blocks.size() >= recorded.size(); }, 5000));
    // Reports in their order, and the parameters as the board sent them then.
    const auto only = [](const std::vector<Bytes>& blocks, uint8_t id) {
        std::vector<Bytes> out;
        for (const Bytes& b : blocks)
            if (!b.empty() && b[0] == id) out.push_back(b);
        return out;
    };
    EXPECT_EQ(only(link.blocks, K2MSENDMONDATA), only(recorded, K2MSENDMONDATA));
    EXPECT_EQ(only(link.blocks, K2PRGETNVM), only(recorded, K2PRGETNVM));
    EXPECT_EQ(link.blocks.size(), recorded.size());
    EXPECT_EQ(link.Count(K2PRGETSERNUM), 0u);
    std::lock_guard lock(m);
    ASSERT_FALSE(notes.empty());
    EXPECT_NE(notes[0].find("verzoek 161 (PC to KORVEL: Who are you ?) niet beantwoord"), std::string::npos) << notes[0];
    std::filesystem::remove(capture);
}
