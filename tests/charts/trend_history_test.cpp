#include "charts/trend_history.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "messages/realtime_report.h"
#include "scenario.h"

using namespace korvel;

namespace {

std::vector<float> Values(float v) { return std::vector<float>(TTrendHistory::SeriesCount(), v); }

TEST(TrendHistory, KeepsTheNewestUpToItsBound) {
    TTrendHistory h(5);
    int changes = 0;
    h.OnChange = [&] { ++changes; };
    for (int i = 0; i < 8; ++i) h.Add(100.0 + i, Values(static_cast<float>(i)));
    EXPECT_EQ(changes, 8);
    ASSERT_EQ(h.Size(), 5u);
    EXPECT_EQ(h.Added(), 8u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(h.Time(i), 103.0 + static_cast<double>(i));
        EXPECT_EQ(h.Value(TTrendHistory::SeriesCount() - 1, i), static_cast<float>(3 + i));
    }
    h.Clear();
    EXPECT_EQ(changes, 9);
    EXPECT_EQ(h.Size(), 0u);
    EXPECT_EQ(h.Added(), 0u);
    EXPECT_EQ(h.MemoryBytes(), 0u);
}

TEST(TrendHistory, AWorkingDayFitsItsStatedMemoryAndAnotherHourAddsNothing) {
    TTrendHistory h;
    ASSERT_EQ(h.Capacity(), 12u * 3600u);
    const auto v = Values(1.0f);
    for (size_t i = 0; i < h.Capacity(); ++i) h.Add(static_cast<double>(i), v);
    const size_t full = h.MemoryBytes();
    EXPECT_LE(full, h.Capacity() * TTrendHistory::kBytesPerSample);
    for (size_t i = 0; i < 3600; ++i) h.Add(static_cast<double>(h.Capacity() + i), v);
    EXPECT_EQ(h.MemoryBytes(), full);
    EXPECT_EQ(h.Size(), h.Capacity());
    EXPECT_EQ(h.Time(0), 3600.0);
}

TEST(TrendHistory, TakesTheDecodedValuesOfAReport) {
    std::vector<uint8_t> r = sim::ScenarioReport(7 * 3600.0 + 60);  // tap water time
    r[1] = 0x66;  // Retour T 21.50
    r[2] = 0x08;
    r[21] = 12;  // Compressor stroom 12, unscaled
    r[22] = 0;
    r[37] = 0x80;  // Kamer gewenst 20.5
    r[38] = 0x14;
    r[48] = 17;  // a state beyond the list still plots as reported
    r[90] = 2;   // Toshiba ON: any non-zero byte
    TTrendHistory h;
    ASSERT_TRUE(h.AddReport(42.0, r.data(), r.size()));
    auto value = [&](const char* target) { return h.Value(static_cast<size_t>(TrendSeriesIndex(target)), 0); };
    EXPECT_FLOAT_EQ(value("onfNTC1"), 21.5f);
    EXPECT_FLOAT_EQ(value("onfCompCurrent"), 12.0f);
    EXPECT_FLOAT_EQ(value("onfRoomSetpoint"), 20.5f);
    EXPECT_EQ(value("ocbKorvelState"), 17.0f);
    EXPECT_EQ(value("cbOnOff"), 1.0f);
    EXPECT_EQ(value("cbTapwaterDetectBoiler"), 1.0f);
    EXPECT_EQ(h.Time(0), 42.0);

    EXPECT_FALSE(h.AddReport(43.0, r.data(), REALTIME_REPORT_SIZE - 1));
    EXPECT_EQ(h.Size(), 1u);
}

TEST(TrendHistory, EverySeriesFollowsAFieldTheReportSets) {
    std::vector<std::string_view> targets;
    for (const TReportField& f : RealtimeReportFields()) targets.push_back(f.Target);
    for (const TReportBit& b : RealtimeReportBits()) targets.push_back(b.Target);
    for (const TTrendSeries& s : TrendSeries())
        EXPECT_NE(std::find(targets.begin(), targets.end(), s.Target), targets.end()) << s.Target;
}

}  // namespace
