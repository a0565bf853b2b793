#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "comms/frame_codec.h"

using namespace korvel;

namespace {

using Bytes = std::vector<uint8_t>;

void Append(Bytes& to, const Bytes& more) {
    for (uint8_t b : more) to.push_back(b);
}

Bytes Hex(const std::string& text) {
    Bytes out;
    std::istringstream in(text);
    std::string tok;
    while (in >> tok) out.push_back(static_cast<uint8_t>(std::stoul(tok, nullptr, 16)));
    return out;
}

// What the decoder reported, in order: B<count> for a block, C for a check error, E for a framing
// error or overflow.
struct Recorder {
    TFrameDecoder dec;
    std::string events;
    std::vector<Bytes> blocks;
    Recorder() {
        dec.OnBlock = [this] {
            events += "B" + std::to_string(dec.InputCount) + " ";
            blocks.emplace_back(dec.InputData.begin(), dec.InputData.begin() + dec.InputCount - 2);
        };
        dec.OnCheckError = [this] { events += "C "; };
        dec.OnDataError = [this] { events += "E "; };
    }
    void Feed(const Bytes& bytes) {
        for (uint8_t b : bytes) dec.HandleByte(b);
    }
};

}  // namespace

TEST(CalcCRC, TableFollowsItsBuildRule) {
    for (uint32_t i = 0; i < 256; ++i) {
        uint16_t c = static_cast<uint16_t>(i);
        for (int k = 0; k < 8; ++k) c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001) : static_cast<uint16_t>(c >> 1);
        ASSERT_EQ(CRCTable[i], c) << "entry " << i;
    }
}

TEST(CalcCRC, KnownAnswersFromDataFile) {
    std::ifstream f(KORVEL_TEST_DATA "/comms/check_values.txt");
    ASSERT_TRUE(f.good());
    std::string line;
    int rows = 0;
    while (std::getline(f, line)) {
        if (line.empty() || line[0] == '#') continue;
        const auto semi = line.find(';');
        const std::string hex = line.substr(0, semi);
        Bytes data;
        for (size_t i = 0; i + 1 < hex.size(); i += 2) data.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
        const auto expected = static_cast<uint16_t>(std::stoul(line.substr(semi + 1), nullptr, 16));
        EXPECT_EQ(CalcCRC(data.data(), static_cast<uint16_t>(data.size())), expected) << line;
        ++rows;
    }
    EXPECT_GE(rows, 10);
}

TEST(CalcCRC, CountLimitsTheBytesCovered) {
    const uint8_t abc[] = {0x61, 0x62, 0x63, 0xEE};
    EXPECT_EQ(CalcCRC(abc, 3), 0x82C0);
    // The reflected update would give CRC-16/ARC's 0x9738 here; the board's form differs.
    EXPECT_NE(CalcCRC(abc, 3), 0x9738);
}

TEST(EncodeFrame, Examples) {
    struct Row {
        const char* block;
        const char* frame;
    } rows[] = {
        {"A2", "FF 10 02 A2 81 B9 10 03"},
        {"A0", "FF 10 02 A0 00 78 10 03"},
        {"A6", "FF 10 02 A6 80 7A 10 03"},
        {"10 20", "FF 10 02 10 10 20 01 8C 10 03"},
        {"3F", "FF 10 02 3F 40 10 10 10 03"},
    };
    for (const auto& r : rows) {
        const Bytes block = Hex(r.block);
        EXPECT_EQ(EncodeFrame(block.data(), static_cast<uint32_t>(block.size())), Hex(r.frame)) << r.block;
    }
}

TEST(EncodeFrame, RefusesEmptyAndOversizeBlocksBeforeWriting) {
    const uint8_t one = 0xA0;
    EXPECT_THROW(EncodeFrame(&one, 0), std::invalid_argument);

    // 510 plain bytes + 2 check bytes + 5 framing bytes = 517 > 515.
    const Bytes big(510, 0x55);
    EXPECT_THROW(EncodeFrame(big.data(), 510), std::length_error);
    // Stuffing counts: 255 DLE bytes take 510 places.
    const Bytes dles(255, 0x10);
    EXPECT_THROW(EncodeFrame(dles.data(), 255), std::length_error);
    // The largest plain block that fits: 515 - 7.
    const Bytes fits(508, 0x55);
    uint8_t out[FRAMEBUFSIZE + 16];
    std::fill(std::begin(out), std::end(out), 0xEE);
    const uint32_t n = EncodeFrame(fits.data(), 508, out);
    EXPECT_LE(n, FRAMEBUFSIZE);
    EXPECT_EQ(out[FRAMEBUFSIZE], 0xEE);  // nothing past the buffer
}

TEST(FrameDecoder, Transitions) {
    struct Row {
        const char* name;
        const char* input;
        const char* events;
        uint32_t finalState;
    } rows[] = {
        {"frame with preamble", "FF 10 02 A2 81 B9 10 03", "B3 ", PROT_IDLE},
        {"frame without preamble", "10 02 A2 81 B9 10 03", "B3 ", PROT_IDLE},
        {"noise and a partial frame first", "55 A2 03 02 10 03 10 02 A2 81 B9 10 03", "B3 ", PROT_IDLE},
        {"repeated DLE before STX", "10 10 10 02 A2 81 B9 10 03", "B3 ", PROT_IDLE},
        {"stuffed check byte stored once", "FF 10 02 3F 40 10 10 10 03", "B3 ", PROT_IDLE},
        {"stuffed block byte", "FF 10 02 10 10 20 01 8C 10 03", "B4 ", PROT_IDLE},
        {"empty frame is a check error", "10 02 10 03", "C ", PROT_IDLE},
        {"one byte is a check error", "10 02 A2 10 03", "C ", PROT_IDLE},
        {"two zero bytes: empty block", "10 02 00 00 10 03", "B2 ", PROT_IDLE},
        {"wrong check value", "10 02 A2 81 BA 10 03", "C ", PROT_IDLE},
        {"escape then start inside a frame", "10 02 A2 10 02 A0 00 78 10 03 10 02 A0 00 78 10 03", "E B3 ", PROT_IDLE},
        {"escape then other byte", "10 02 A2 10 55", "E ", PROT_IDLE},
        {"two frames back to back", "10 02 A2 81 B9 10 03 FF 10 02 A0 00 78 10 03", "B3 B3 ", PROT_IDLE},
        {"DLE then other between frames", "10 55 02 A2 10 02 A2 81 B9 10 03", "B3 ", PROT_IDLE},
        {"unfinished frame", "10 02 A2 81", "", PROT_STX},
        {"escape pending", "10 02 A2 10", "", PROT_DLEDATA},
        {"start pending", "FF 10", "", PROT_DLE},
    };
    for (const auto& r : rows) {
        Recorder rec;
        rec.Feed(Hex(r.input));
        EXPECT_EQ(rec.events, r.events) << r.name;
        EXPECT_EQ(rec.dec.ProtocolState, r.finalState) << r.name;
    }
}

TEST(FrameDecoder, OverflowAtThe513thByteOnceThenResyncs) {
    for (const uint8_t last : {uint8_t{0x55}, uint8_t{0x10}}) {
        Recorder rec;
        // 510-byte block whose check bytes fit: exactly 512 stored bytes are delivered.
        Bytes block(510, 0x20);
        const uint16_t crc = CalcCRC(block.data(), 510);
        Bytes wire{0x10, 0x02};
        Append(wire, block);
        for (uint8_t b : {static_cast<uint8_t>(crc & 0xFF), static_cast<uint8_t>(crc >> 8)}) {
            if (b == 0x10) wire.push_back(0x10);
            wire.push_back(b);
        }
        Append(wire, {0x10, 0x03});
        rec.Feed(wire);
        EXPECT_EQ(rec.events, "B512 ");

        // 512 bytes then a 513th (plain, or an escaped DLE): one overflow, the rest ignored.
        rec.events.clear();
        Bytes over{0x10, 0x02};
        Append(over, Bytes(512, 0x20));
        if (last == 0x10) over.push_back(0x10);
        over.push_back(last);
        Append(over, {0x20, 0x03, 0x10, 0x03, 0x33});
        rec.Feed(over);
        EXPECT_EQ(rec.events, "E ") << int(last);
        EXPECT_EQ(rec.dec.ProtocolState, PROT_IDLE);
        rec.Feed(Hex("10 02 A2 81 B9 10 03"));
        EXPECT_EQ(rec.events, "E B3 ") << int(last);
    }
}

TEST(FrameDecoder, HandlerFailureLeavesDecoderIdleAndReentryIsIgnored) {
    TFrameDecoder dec;
    int blocks = 0;
    dec.OnBlock = [&] {
        ++blocks;
        EXPECT_EQ(dec.ProtocolState, PROT_DONE);
        // A byte that arrives while the handler runs must not disturb the buffer.
        for (uint8_t b : Hex("10 02 A0 00 78 10 03")) dec.HandleByte(b);
        throw std::runtime_error("handler failed");
    };
    dec.OnCheckError = [&] { throw std::runtime_error("check"); };
    dec.OnDataError = [&] { throw std::runtime_error("framing"); };
    const Bytes good = Hex("10 02 A2 81 B9 10");
    for (uint8_t b : good) dec.HandleByte(b);
    EXPECT_THROW(dec.HandleByte(0x03), std::runtime_error);
    EXPECT_EQ(dec.ProtocolState, PROT_IDLE);
    EXPECT_EQ(blocks, 1);
    for (const char* bad : {"10 02 10 03", "10 02 A2 10 55"}) {
        const Bytes b = Hex(bad);
        for (size_t i = 0; i + 1 < b.size(); ++i) dec.HandleByte(b[i]);
        EXPECT_THROW(dec.HandleByte(b.back()), std::runtime_error) << bad;
        EXPECT_EQ(dec.ProtocolState, PROT_IDLE) << bad;
    }
}

TEST(FrameDecoder, RoundTripOfRandomBlocks) {
    std::mt19937 rng(7);
    Recorder rec;
    Bytes stream;
    std::vector<Bytes> sent;
    for (int i = 0; i < 300; ++i) {
        Bytes block(1 + rng() % 200);
        // Bias towards the framing bytes, where stuffing faults hide.
        for (auto& b : block) b = (rng() % 4 == 0) ? static_cast<uint8_t>(0x10 + rng() % 2 * 0xEF) : static_cast<uint8_t>(rng());
        const Bytes f = EncodeFrame(block.data(), static_cast<uint32_t>(block.size()));
        Append(stream, f);
        sent.push_back(block);
    }
    rec.Feed(stream);
    EXPECT_EQ(rec.blocks, sent);
}
