#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "capture/capture_support.h"
#include "capture/pcapng.h"
#include "capture/traffic_log.h"

using namespace korvel;
using namespace korvel::test;

namespace {

constexpr auto In = TLineDirection::Inbound;
constexpr auto Out = TLineDirection::Outbound;

std::string Capture(std::vector<std::string> lines, std::vector<TCapturePacket> packets) {
    TTrafficLog log;
    log.Load(std::move(lines), std::move(packets));
    return log.Encode("test");
}

TCaptureReadResult Read(const std::string& bytes) {
    return ReadCapture(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

void Put32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// The packets as written, with the kind the reader derives from their bytes.
const std::vector<TCapturePacket> kPackets = {
    Packet(1'773'490'000'123'456, In, TPacketKind::Block, Frame({0x30})),
    Packet(1'773'490'000'223'456, Out, TPacketKind::Block, Frame({0xA0})),
    Packet(1'773'490'000'300'000, In, TPacketKind::Noise, Hex("41 42 43"), 1),
    Packet(1'773'490'000'400'001, In, TPacketKind::BadCheck, Hex("FF 10 02 3F 41 10 10 10 03"), 1),
    Packet(1'773'490'000'500'000, Out, TPacketKind::Loader, Hex("58"), 1),
    Packet(1'773'490'000'600'000, In, TPacketKind::Incomplete, Hex("FF 10 02 10 10 20"), 1),
};

}  // namespace

TEST(Pcapng, ReadsBackWhatItWrites) {
    const TCaptureReadResult r = Read(Capture({"COM33", "rfc2217://[::1]:7000"}, kPackets));
    ASSERT_TRUE(r.Ok()) << r.Error;
    EXPECT_EQ(r.Interfaces, (std::vector<std::string>{"COM33", "rfc2217://[::1]:7000"}));
    ASSERT_EQ(r.Packets.size(), kPackets.size());
    for (size_t i = 0; i < kPackets.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(r.Packets[i].TimeUs, kPackets[i].TimeUs);
        EXPECT_EQ(r.Packets[i].Direction, kPackets[i].Direction);
        EXPECT_EQ(r.Packets[i].Kind, kPackets[i].Kind);
        EXPECT_EQ(r.Packets[i].Interface, kPackets[i].Interface);
        EXPECT_EQ(r.Packets[i].Wire, kPackets[i].Wire);
    }
}

TEST(Pcapng, RefusesDamagedTruncatedAndForeignFilesNamingWhatIsWrong) {
    const std::string good = Capture({"COM5"}, {kPackets[0], kPackets[1]});
    // Offsets: section header 0..(shb), interface after it, then the packets.
    const size_t shb = static_cast<uint8_t>(good[4]);
    const size_t idb = shb;
    const size_t epb = idb + static_cast<uint8_t>(good[idb + 4]);
    const struct {
        const char* name;
        std::function<void(std::string&)> damage;
        const char* says;
    } rows[] = {
        {"empty", [](std::string& s) { s.clear(); }, "leeg"},
        {"a text file", [](std::string& s) { s = "Date/Time;Korvel operating state;\r\n"; }, "geen pcapng"},
        {"big-endian", [&](std::string& s) { Put32(s, 8, 0x4D3C2B1A); }, "big-endian"},
        {"version 2", [&](std::string& s) { s[12] = 2; }, "versie 2"},
        {"Ethernet", [&](std::string& s) { s[idb + 8] = 1; }, "link-type 1,"},
        {"length not a multiple of 4", [&](std::string& s) { Put32(s, epb + 4, 37); }, "veelvoud van 4"},
        {"cut off", [&](std::string& s) { s.resize(s.size() - 6); }, "afgebroken"},
        {"length beyond the end", [&](std::string& s) { Put32(s, epb + 4, 4000); }, "afgebroken"},
        {"trailing length differs", [&](std::string& s) { Put32(s, s.size() - 4, 40); }, "verschillende lengtes"},
        {"unknown interface", [&](std::string& s) { Put32(s, epb + 8, 3); }, "interface 3"},
        {"packet longer than its block", [&](std::string& s) { Put32(s, epb + 20, 200); }, "langer dan het blok"},
        {"option past its block", [&](std::string& s) { s[idb + 18] = 100; }, "beschadigde optie"},
        {"simple packet block", [&](std::string& s) { Put32(s, epb, 3); }, "zonder tijd"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string bytes = good;
        row.damage(bytes);
        const TCaptureReadResult r = Read(bytes);
        EXPECT_FALSE(r.Ok());
        EXPECT_NE(r.Error.find(row.says), std::string::npos) << r.Error;
        EXPECT_TRUE(r.Packets.empty());
    }
}

TEST(Pcapng, TakesOtherTimeResolutionsAndSkipsBlocksOfNoLine) {
    std::string bytes = Capture({"COM5"}, {Packet(1'234'567, In, TPacketKind::Block, Frame({0x30}))});
    const size_t idb = static_cast<uint8_t>(bytes[4]);
    // if_tsresol is the interface's last option: its value byte sits 8 bytes before the block's end.
    const size_t idbEnd = idb + static_cast<uint8_t>(bytes[idb + 4]);
    ASSERT_EQ(bytes[idbEnd - 12], 6);
    bytes[idbEnd - 12] = 3;  // milliseconds
    // A name resolution block (type 4) between the interface and the packet.
    std::string nrb(16, '\0');
    Put32(nrb, 0, 4);
    Put32(nrb, 4, 16);
    Put32(nrb, 12, 16);
    bytes.insert(idbEnd, nrb);
    const TCaptureReadResult r = Read(bytes);
    ASSERT_TRUE(r.Ok()) << r.Error;
    ASSERT_EQ(r.Packets.size(), 1u);
    EXPECT_EQ(r.Packets[0].TimeUs, 1'234'567'000);
}
