#include "messages/realtime_report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <string>

namespace korvel {
namespace {

using Report = std::array<uint8_t, REALTIME_REPORT_SIZE>;

Report EmptyReport() {
    Report r{};
    r[0] = 16;
    return r;
}

const TReportValue* Find(const std::vector<TReportValue>& values, std::string_view target) {
    for (const auto& v : values)
        if (v.Target == target) return &v;
    return nullptr;
}

struct NumberCase {
    uint8_t offset;
    std::vector<uint8_t> bytes;
    const char* target;
    double expected;
};

TEST(RealtimeReport, ConvertsNumbers) {
    const NumberCase cases[] = {
        {5, {0x00, 0x77}, "onfFirmLo", 0},
        {5, {0x00, 0x78}, "onfFirmLo", 120},
        {5, {0x12, 0xC8}, "onfFirmLo", 200},
        {5, {0xFF, 0x77}, "onfFirmLo", 0},
        {11, {0x9C, 0xFF}, "onfOutsideAir", -10.0},
        {1, {0x66, 0x08}, "onfNTC1", 21.50},
        {3, {0x00, 0x80}, "onfNTC2", -327.68},
        {21, {0x0C, 0x00}, "onfCompCurrent", 12},
        {37, {0x80, 0x14}, "onfRoomSetpoint", 20.5},
        {43, {0x80, 0xFF}, "onfCVSetpoint", -0.5},
        {13, {0xFF, 0xFF}, "onfDiagCodes1", 65535},  // unsigned
        {98, {0xFF, 0xFF}, "nfModBus4410", -1},      // signed
        {57, {0x34, 0x12}, "onfStateTimer", 0x1234},
        {97, {0xC8}, "onfSmartGrid", 200},
        {110, {0x01, 0x80}, "nfModBus4416", -32767},
    };
    for (const auto& c : cases) {
        Report r = EmptyReport();
        for (size_t i = 0; i < c.bytes.size(); ++i) r[c.offset + i] = c.bytes[i];
        const auto values = DecodeRealtimeReport(r.data(), r.size());
        const TReportValue* v = Find(values, c.target);
        ASSERT_NE(v, nullptr) << c.target;
        EXPECT_EQ(v->ValueKind, TReportValue::Kind::Number);
        EXPECT_NEAR(v->Number, c.expected, 1e-9) << c.target;
    }
}

TEST(RealtimeReport, ListIndexesPassTheRawByte) {
    Report r = EmptyReport();
    r[48] = 17;
    r[89] = 4;
    const auto values = DecodeRealtimeReport(r.data(), r.size());
    EXPECT_EQ(Find(values, "ocbKorvelState")->Index, 17);
    EXPECT_EQ(Find(values, "ocbOpMode")->Index, 4);
}

TEST(RealtimeReport, FlagsFromBitsAndOnOff) {
    Report r = EmptyReport();
    r[90] = 2;
    r[87] = 0x40;
    r[49] = 0x04;
    r[56] = 0x10;
    r[53] = 0x80;
    const auto values = DecodeRealtimeReport(r.data(), r.size());
    const std::set<std::string_view> expectedOn = {"cbOnOff", "cbU7", "cbU7copy", "cbNTC2Error", "cbKorvelDisabled",
                                                   "cbDIP16"};
    for (const auto& v : values) {
        if (v.ValueKind != TReportValue::Kind::Flag) continue;
        EXPECT_EQ(v.Checked, expectedOn.count(v.Target) == 1) << v.Target;
    }
}

TEST(RealtimeReport, EveryBitOfAFlagByteReachesOnlyItsBox) {
    for (const TReportBit& bit : RealtimeReportBits()) {
        Report r = EmptyReport();
        r[bit.Byte] = static_cast<uint8_t>(1u << bit.Bit);
        for (const auto& v : DecodeRealtimeReport(r.data(), r.size())) {
            if (v.ValueKind != TReportValue::Kind::Flag || v.Target == "cbOnOff") continue;
            const bool sameBit = std::any_of(RealtimeReportBits().begin(), RealtimeReportBits().end(),
                                             [&](const TReportBit& b) {
                                                 return b.Target == v.Target && b.Byte == bit.Byte && b.Bit == bit.Bit;
                                             });
            EXPECT_EQ(v.Checked, sameBit) << bit.Target << " -> " << v.Target;
        }
    }
}

// The layout table reads each byte at most once, in ascending order, and leaves out exactly the
// bytes the board does not fill.
TEST(RealtimeReport, LayoutCoversTheReportWithoutOverlap) {
    std::set<int> read;
    int last = 0;
    for (const TReportField& f : RealtimeReportFields()) {
        EXPECT_GT(f.Offset, last);
        last = f.Offset;
        const int width = f.Type == TReportType::u8 ? 1 : 2;
        for (int i = 0; i < width; ++i) EXPECT_TRUE(read.insert(f.Offset + i).second) << int(f.Offset);
    }
    const std::set<int> unread = {7, 8, 27, 28, 31, 32, 33, 34, 35, 36, 41, 42, 45, 46, 59, 60, 88};
    for (int offset = 1; offset < int(REALTIME_REPORT_SIZE); ++offset)
        EXPECT_NE(read.count(offset), unread.count(offset)) << offset;
}

TEST(RealtimeReport, EveryTargetSetOnceInOffsetOrder) {
    Report r = EmptyReport();
    const auto values = DecodeRealtimeReport(r.data(), r.size());
    std::set<std::string_view> seen;
    for (const auto& v : values) EXPECT_TRUE(seen.insert(v.Target).second) << v.Target;
    // 42 numbers, 2 lists, cbOnOff and 42 bit boxes.
    EXPECT_EQ(values.size(), 87u);
    EXPECT_EQ(values.front().Target, "onfNTC1");
    EXPECT_EQ(values.back().Target, "nfModBus4416");
}

TEST(RealtimeReport, ShortOrMissingBlockGivesNothing) {
    Report r = EmptyReport();
    EXPECT_TRUE(DecodeRealtimeReport(r.data(), REALTIME_REPORT_SIZE - 1).empty());
    EXPECT_TRUE(DecodeRealtimeReport(nullptr, 515).empty());
    EXPECT_FALSE(DecodeRealtimeReport(r.data(), REALTIME_REPORT_SIZE).empty());
}

}  // namespace
}  // namespace korvel
