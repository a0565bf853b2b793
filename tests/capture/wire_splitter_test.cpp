#include <gtest/gtest.h>

#include <string>

#include "capture/capture_support.h"
#include "capture/wire_splitter.h"

using namespace korvel;
using namespace korvel::test;

namespace {

using K = TPacketKind;

struct Cut {
    K kind;
    Bytes wire;
    bool operator==(const Cut&) const = default;
};

std::vector<Cut> Split(const std::vector<Bytes>& reads, bool flush = true) {
    TWireSplitter splitter;
    std::vector<Cut> cuts;
    const auto take = [&](K k, std::span<const uint8_t> w) { cuts.push_back({k, Bytes(w.begin(), w.end())}); };
    for (const Bytes& r : reads) splitter.Feed(r, take);
    if (flush) splitter.Flush(take);
    return cuts;
}

Bytes Join(const Bytes& a, const Bytes& b) {
    Bytes out = a;
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

}  // namespace

TEST(WireSplitter, CutsWhereTheDecoderDoes) {
    const Bytes report = Frame({0x10, 0x20, 0x30});
    const struct {
        const char* name;
        std::vector<Bytes> reads;
        std::vector<Cut> cuts;
    } rows[] = {
        {"a frame", {report}, {{K::Block, report}}},
        {"a frame without preamble", {Hex("10 02 A2 81 B9 10 03")}, {{K::Block, Hex("10 02 A2 81 B9 10 03")}}},
        {"noise, then a frame", {Join(Hex("41 42"), report)}, {{K::Noise, Hex("41 42")}, {K::Block, report}}},
        {"two frames in one read", {Join(report, Frame({0xA0}))}, {{K::Block, report}, {K::Block, Frame({0xA0})}}},
        {"a bad check value", {Hex("FF 10 02 3F 41 10 10 10 03")}, {{K::BadCheck, Hex("FF 10 02 3F 41 10 10 10 03")}}},
        // The frame that 10 02 would start is lost too: the decoder waits for the next start.
        {"a start inside a frame", {Hex("FF 10 02 30 10 02 30 00 00 10 03")},
         {{K::FramingError, Hex("FF 10 02 30 10 02")}, {K::Noise, Hex("30 00 00 10 03")}}},
        {"an open frame at the end", {Hex("FF 10 02 30 31")}, {{K::Incomplete, Hex("FF 10 02 30 31")}}},
        {"repeated escapes before the start", {Join(Hex("10"), report)}, {{K::Noise, Hex("10")}, {K::Block, report}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Split(row.reads), row.cuts);
    }
}

TEST(WireSplitter, AFrameCutAnywhereAcrossReadsIsStillOneBlock) {
    const Bytes wire = Join(Hex("55"), Frame({0x26, 0x10, 0x10, 0xFF, 0x03}));
    for (size_t at = 0; at <= wire.size(); ++at) {
        SCOPED_TRACE(at);
        const Bytes a(wire.begin(), wire.begin() + static_cast<std::ptrdiff_t>(at));
        const Bytes b(wire.begin() + static_cast<std::ptrdiff_t>(at), wire.end());
        EXPECT_EQ(Split({a, b}), (std::vector<Cut>{{K::Noise, Hex("55")}, {K::Block, Frame({0x26, 0x10, 0x10, 0xFF, 0x03})}}));
    }
}

TEST(WireSplitter, NoiseGoesOutAtTheEndOfItsReadButAStartMayWait) {
    EXPECT_EQ(Split({Hex("41 42 FF")}, false), (std::vector<Cut>{{K::Noise, Hex("41 42")}}));
    EXPECT_EQ(Split({Hex("41 FF 10 10")}, false), (std::vector<Cut>{{K::Noise, Hex("41")}}));
}

TEST(WireSplitter, AnOverlongFrameIsCutAtTheDecodersLimit) {
    Bytes wire = Hex("FF 10 02");
    wire.insert(wire.end(), BLOCKSIZE + 1, 0x55);
    const auto cuts = Split({wire}, false);
    ASSERT_EQ(cuts.size(), 1u);
    EXPECT_EQ(cuts[0].kind, K::Overflow);
    EXPECT_EQ(cuts[0].wire.size(), wire.size());
}
