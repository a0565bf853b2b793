#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <system_error>

#include "capture/capture_support.h"
#include "capture/line_record.h"
#include "capture/pcapng.h"
#include "capture/traffic_log.h"

using namespace korvel;
using namespace korvel::test;

namespace {

constexpr auto In = TLineDirection::Inbound;
constexpr auto Out = TLineDirection::Outbound;

struct Recorded {
    TLineRecord record{"test"};
    std::vector<std::pair<TCapturePacket, std::string>> packets;
    Recorded() {
        record.SetSink([this](const TCapturePacket& p, const std::string& line) { packets.emplace_back(p, line); });
    }
    std::string Kinds() const {
        static const char* const kNames[] = {"block", "badcheck", "framing", "overflow", "noise", "incomplete", "loader"};
        std::string s;
        for (const auto& [p, line] : packets)
            s += std::string(p.Direction == In ? "<" : ">") + kNames[static_cast<int>(p.Kind)] + " ";
        return s;
    }
};

std::string TempPath(const char* name) {
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    return (std::filesystem::temp_directory_path() / (std::string("korvel-") + std::to_string(stamp) + "-" + name)).string();
}

}  // namespace

// The download's dialogue: the start block as a frame, then "X", "A" and chunks by turns, raw.
TEST(LineRecord, TheLoadersBytesArePacketsByTurnsNotFrames) {
    Recorded r;
    r.record.LineOpened("COM5");
    r.record.Record(Out, Frame({0xA3, 'K', 'I', 'C', 'K', 'O', 'F', 'F'}), 1);
    r.record.Record(In, Frame({0x23}), 2);
    r.record.SetLoader(true);
    r.record.Record(Out, Hex("58"), 3);
    r.record.Record(In, Hex("41"), 4);
    for (int i = 0; i < 64; ++i) r.record.Record(Out, Hex(i == 7 ? "10" : "02"), 5 + i);  // FF 10 02 would be a start
    r.record.Record(In, Hex("41"), 100);
    r.record.Record(Out, Hex("FF 10 02"), 101);
    r.record.SetLoader(false);
    r.record.Record(In, Frame({0x30}), 200);
    EXPECT_EQ(r.Kinds(), ">block <block >loader <loader >loader <loader >loader <block ");
    EXPECT_EQ(r.packets[4].first.Wire.size(), 64u);
    EXPECT_EQ(r.packets[4].first.TimeUs, 5 + 63);  // a packet's time is its last byte's
}

TEST(LineRecord, AFrameOpenWhenTheLineClosesIsKeptAsIncomplete) {
    Recorded r;
    r.record.LineOpened("COM5");
    r.record.Record(In, Hex("FF 10 02 10"), 1);
    r.record.LineClosed();
    r.record.LineOpened("COM6");
    r.record.Record(In, Frame({0x30}), 2);
    EXPECT_EQ(r.Kinds(), "<incomplete <block ");
    EXPECT_EQ(r.packets[0].second, "COM5");
    EXPECT_EQ(r.packets[1].second, "COM6");
}

// Each packet is in the file as it happens: a tool that dies leaves a capture that reads to its
// last packet, each line under its own interface.
TEST(LineRecord, TheFileHoldsEveryPacketAtOnceUnderItsLine) {
    const std::string path = TempPath("record.pcapng");
    TLineRecord record("test");
    record.LineOpened("COM5");
    record.StartFile(path);
    EXPECT_TRUE(record.Recording());
    record.Record(In, Frame({0x30}), 10);
    record.LineOpened("tcp://127.0.0.1:4001");
    record.Record(Out, Frame({0xA0}), 20);
    const TCaptureReadResult r = ReadCaptureFile(path);  // still open
    ASSERT_TRUE(r.Ok()) << r.Error;
    EXPECT_EQ(r.Interfaces, (std::vector<std::string>{"COM5", "tcp://127.0.0.1:4001"}));
    ASSERT_EQ(r.Packets.size(), 2u);
    EXPECT_EQ(r.Packets[1].Interface, 1u);
    EXPECT_EQ(r.Packets[1].Direction, Out);
    record.StopFile();
    EXPECT_FALSE(record.Recording());
    std::filesystem::remove(path);
}

TEST(LineRecord, AFileThatCannotBeMadeIsNamedAndNothingRuns) {
    TLineRecord record("test");
    EXPECT_THROW(
        try { record.StartFile("/nonexistent-dir/x.pcapng"); } catch (const std::system_error& e) {
            EXPECT_NE(std::string(e.what()).find("\"/nonexistent-dir/x.pcapng\""), std::string::npos) << e.what();
            throw;
        },
        std::system_error);
    EXPECT_FALSE(record.Recording());
}

TEST(TrafficLog, KeepsTheLatestAndCountsWhatWent) {
    TTrafficLog log(3);
    for (int i = 0; i < 5; ++i) log.Add(Packet(i, In, TPacketKind::Block, Frame({0x30})), i < 4 ? "COM5" : "COM6");
    EXPECT_EQ(log.Size(), 3u);
    EXPECT_EQ(log.First(), 2u);
    EXPECT_FALSE(log.Holds(1));
    EXPECT_EQ(log.At(4).TimeUs, 4);
    EXPECT_EQ(log.At(4).Interface, 1u);
    const std::string bytes = log.Encode("test");
    const auto r = ReadCapture(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    ASSERT_TRUE(r.Ok()) << r.Error;
    EXPECT_EQ(r.Packets.size(), 3u);
}
