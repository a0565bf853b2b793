#include "charts/log_reader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "scenario.h"

using namespace korvel;

namespace {

double At(int y, unsigned m, unsigned d, int h = 0, int mi = 0, int s = 0) {
    using namespace std::chrono;
    const sys_days date = year{y} / month{m} / day{d};
    return static_cast<double>(date.time_since_epoch().count()) * 86400 + h * 3600 + mi * 60 + s;
}

constexpr auto DMY = TDateOrder::DayMonthYear;
constexpr auto MDY = TDateOrder::MonthDayYear;

TEST(LogReader, TimesAsEachLocaleWritesThem) {
    const double t = At(2026, 3, 14, 13, 5, 9);
    const struct {
        const char* text;
        TDateOrder order;
        double expected;
    } cases[] = {
        {"14-03-2026 13:05:09", DMY, t},                         // nl_NL
        {"14-03-2026", DMY, At(2026, 3, 14)},                    // midnight: no time part
        {"3/14/26 1:05:09 PM", MDY, t},                          // en_US
        {"3/14/26 12:05:09 AM", MDY, At(2026, 3, 14, 0, 5, 9)},  // the hour after midnight
        {"3/14/26 12:05:09 PM", MDY, At(2026, 3, 14, 12, 5, 9)},
        {"14 Mar 2026 13:05:09", MDY, t},  // C: a month word settles the order
        {"2026-03-14 13:05:09", MDY, t},   // sv_SE: the year first settles it too
        {"14.3.2026 13.05.09", DMY, t},    // fi_FI
        {"14.03.26 13:05:09", DMY, t},     // de_DE
        {"2026/03/14 13\xe6\x99\x82" "05\xe5\x88\x86" "09\xe7\xa7\x92", DMY, t},  // ja_JP
        {"2026-03-14 1:05:09 P.M.", DMY, t},                                      // en_CA
        {"2026-03-14 13 h 05 min 09 s", DMY, t},                                  // fr_CA
        {"14/3/26 13:05:09 ()", DMY, t},                                          // es_ES
        {"29-02-2028 23:59:59", DMY, At(2028, 2, 29, 23, 59, 59)},
    };
    for (const auto& c : cases) {
        const auto got = ParseLogTime(c.text, c.order);
        ASSERT_TRUE(got.has_value()) << c.text;
        EXPECT_EQ(*got, c.expected) << c.text;
    }
}

TEST(LogReader, TimesThatAreNone) {
    for (const char* text : {"", "TRUE", "13:05:09", "31-02-2026 10:00:00", "29-02-2027", "14-13-2026 10:00:00",
                             "14-03-2026 24:00:00", "14-03-2026 10:60:00", "14-03-2026 10:00:60", "14-03-2026 10",
                             "14-03-2026 13:05:09 13", "14-03-2026 0:05:09 PM", "14-03-2026 PM", "14-03-20266",
                             "0-03-2026", "14 Mar Apr 2026", "1 2 3 4 5 6 7", "14-03-1926 10:00:00", "12:05:2026"}) {
        EXPECT_FALSE(ParseLogTime(text, DMY).has_value()) << text;
    }
}

TEST(LogReader, ValuesOfEachKind) {
    using K = TLogColumnKind;
    const struct {
        const char* text;
        K kind;
        float expected;
    } good[] = {
        {" 21,50", K::Number, 21.5f}, {"  21.50", K::Number, 21.5f}, {"  -5,25", K::Number, -5.25f},
        {"-10.0", K::Number, -10.0f}, {"   12", K::Number, 12.0f},   {"65535", K::Number, 65535.0f},
        {"TRUE", K::Flag, 1.0f},      {"FALSE", K::Flag, 0.0f},     {"true", K::Flag, 1.0f},
        {"1", K::OnOff, 1.0f},        {"0", K::OnOff, 0.0f},        {"3 - Alleen buitenunit", K::List, 3.0f},
        {"16 - TESTMODE 4", K::List, 16.0f}, {"1: Heat", K::List, 1.0f},
        {" 21\xd9\xab" "50", K::Number, 21.5f},  // ar_EG's decimal separator
    };
    for (const auto& c : good) {
        const auto got = ParseLogValue(c.text, c.kind);
        ASSERT_TRUE(got.has_value()) << c.text;
        EXPECT_EQ(*got, c.expected) << c.text;
    }
    // An empty number or list is a gap, not a damaged row.
    for (K kind : {K::Number, K::List}) {
        const auto gap = ParseLogValue("   ", kind);
        ASSERT_TRUE(gap.has_value());
        EXPECT_TRUE(std::isnan(*gap));
    }
    const struct {
        const char* text;
        K kind;
    } bad[] = {
        {"1,2,3", K::Number}, {"1.2,3", K::Number}, {"abc", K::Number}, {"-", K::Number}, {"1e3", K::Number},
        {"12 3", K::Number},  {"1234567890123456", K::Number},      {"MAYBE", K::Flag},  {"", K::Flag},
        {"2", K::OnOff},      {"Heat", K::List},   {"1234 - x", K::List}, {"x", K::Time},
        {"1\xd9\xab" "2,3", K::Number}, {"1\xd9", K::Number},
    };
    for (const auto& c : bad) EXPECT_FALSE(ParseLogValue(c.text, c.kind).has_value()) << c.text;
}

std::string Header() { return std::string(LOGFILEHEADER) + "\r\n"; }

std::string Row(double t) { return sim::ScenarioLogRow(t, sim::LogStyle::Dutch) + "\r\n"; }

size_t Column(std::string_view header) {
    const auto layout = LogLayout();
    for (size_t c = 1; c < layout.size(); ++c)
        if (layout[c].Header == header) return c - 1;
    return 0;
}

TEST(LogReader, BothLocalesAndLineEndsReadTheSame) {
    const double start = At(2026, 1, 12, 23, 58, 0);  // across midnight, where the time part goes
    const std::string dutch = sim::ScenarioLog(60, start, 5, sim::LogStyle::Dutch);
    const std::string english = sim::ScenarioLog(60, start, 5, sim::LogStyle::English);
    std::string lf = dutch;
    std::erase(lf, '\r');

    const TLogReadResult a = ReadLog(dutch);
    const TLogReadResult b = ReadLog(english, MDY);
    const TLogReadResult c = ReadLog(lf);
    for (const TLogReadResult* r : {&a, &b, &c}) {
        ASSERT_EQ(r->Status, TLogReadStatus::Ok);
        EXPECT_EQ(r->Table.SkippedRows, 0u);
        ASSERT_EQ(r->Table.Time.size(), 60u);
        ASSERT_EQ(r->Table.Columns.size(), 48u);
        for (size_t i = 0; i < 60; ++i) EXPECT_EQ(r->Table.Time[i], start + 5.0 * static_cast<double>(i)) << i;
        EXPECT_EQ(r->Table.Columns, a.Table.Columns);
    }
    // Spot values against the report the row was written from.
    const std::vector<uint8_t> report = sim::ScenarioReport(start);
    const double ntc1 = static_cast<int16_t>(report[1] | report[2] << 8) / 100.0;
    EXPECT_FLOAT_EQ(a.Table.Columns[Column("NTC 1")][0], static_cast<float>(ntc1));
    EXPECT_EQ(a.Table.Columns[Column("Korvel operating state")][0], report[48]);
    EXPECT_EQ(a.Table.Columns[Column("ON/OFF")][0], report[90] != 0 ? 1.0f : 0.0f);
    EXPECT_EQ(a.Table.Columns[Column("Operating mode")][0], 1.0f);
}

TEST(LogReader, DamagedRowsAreSkippedAndCounted) {
    const double t = At(2026, 3, 14, 10);
    std::string good = Row(t);
    auto replaced = [&](std::string_view from, std::string_view to) {
        std::string r = good;
        r.replace(r.find(from), from.size(), to);
        return r;
    };
    const struct {
        std::string row;
        const char* why;
    } damaged[] = {
        {good.substr(0, good.size() / 2) + "\r\n", "cut off, as by a full disk"},
        {good.substr(0, good.size() - 2) + "42;\r\n", "a field too many"},
        {replaced("14-03-2026", "14-03-20x6"), "a time that is none"},
        {replaced("TRUE", "MAYBE"), "a flag that is none"},
        {replaced(";FALSE;", ";;"), "a flag missing"},
        {std::string("\x01\xff\xfe;;;\r\n"), "bytes of another file"},
    };
    for (const auto& d : damaged) {
        const std::string text = Header() + Row(t - 5) + d.row + "\r\n" + Row(t + 5);
        const TLogReadResult r = ReadLog(text);
        ASSERT_EQ(r.Status, TLogReadStatus::Ok) << d.why;
        EXPECT_EQ(r.Table.Time.size(), 2u) << d.why;
        EXPECT_EQ(r.Table.SkippedRows, 1u) << d.why;
        EXPECT_EQ(r.Table.FirstSkippedLine, 3u) << d.why;
        EXPECT_EQ(r.Table.Time.back(), t + 5) << d.why;
    }
}

// Room follows the rows a text can hold, never its line ends: a crafted file of blank lines once
// reserved a 49-column row per line end. At most one row to spare (the header's separators).
TEST(LogReader, RoomIsReservedOnlyForRowsTheTextCanHold) {
    const double t = At(2026, 3, 14, 10);
    const std::pair<std::string, size_t> cases[] = {
        {Header() + std::string(1 << 20, '\n'), 0},
        {Header() + Row(t) + std::string(1 << 18, '\n') + Row(t + 5) + std::string(1 << 18, '\r'), 2},
        {Header() + std::string(1 << 18, ';') + "\r\n", 0},
    };
    for (const auto& [text, rows] : cases) {
        const TLogReadResult r = ReadLog(text);
        EXPECT_EQ(r.Table.Time.size(), rows);
        EXPECT_LE(r.Table.Time.capacity(), rows + 1);
        for (const auto& column : r.Table.Columns) EXPECT_LE(column.capacity(), rows + 1);
    }
}

TEST(LogReader, RefusesWhatIsNoLogOfTheTool) {
    std::string header = LOGFILEHEADER;
    std::string commas = header;
    std::replace(commas.begin(), commas.end(), ';', ',');
    const struct {
        std::string text;
        TLogReadStatus status;
    } cases[] = {
        {"", TLogReadStatus::Empty},
        {"\r\n  \r\n\n", TLogReadStatus::Empty},
        {"a;b;c\r\n1;2;3\r\n", TLogReadStatus::Foreign},
        {commas + "\r\n", TLogReadStatus::Foreign},
        {header.substr(0, header.rfind("Tliq;")) + "\r\n", TLogReadStatus::Foreign},  // a column short
        {"\x89PNG\r\n\x1a\n", TLogReadStatus::Foreign},
        {Row(At(2026, 3, 14, 10)), TLogReadStatus::Foreign},  // rows without their header
        {Header(), TLogReadStatus::NoRows},
        {Header() + "garbage\r\n", TLogReadStatus::NoRows},
        // Read back: a BOM an editor added, the last ';' a spreadsheet dropped.
        {"\xef\xbb\xbf" + Header() + Row(At(2026, 3, 14, 10)), TLogReadStatus::Ok},
        {header.substr(0, header.size() - 1) + "\n" + Row(At(2026, 3, 14, 10)), TLogReadStatus::Ok},
    };
    for (const auto& c : cases) EXPECT_EQ(ReadLog(c.text).Status, c.status) << c.text.substr(0, 40);
    EXPECT_EQ(ReadLog(Header() + "garbage\r\n").Table.SkippedRows, 1u);
}

TEST(LogReader, OneUnambiguousDateSettlesTheOrderOfAll) {
    auto row = [](const char* date) {
        std::string r = Row(At(2026, 4, 3, 10));
        return date + r.substr(r.find(';')) ;
    };
    const std::string ambiguous = Header() + row("03-04-2026 10:00:00");
    EXPECT_EQ(ReadLog(ambiguous, DMY).Table.Time[0], At(2026, 4, 3, 10));
    EXPECT_EQ(ReadLog(ambiguous, MDY).Table.Time[0], At(2026, 3, 4, 10));
    // A later 13th of April shows the day comes first, whatever the reader's own locale.
    const TLogReadResult r = ReadLog(ambiguous + row("13-04-2026 10:00:00"), MDY);
    ASSERT_EQ(r.Table.Time.size(), 2u);
    EXPECT_EQ(r.Table.Time[0], At(2026, 4, 3, 10));
    EXPECT_EQ(r.Table.Time[1], At(2026, 4, 13, 10));
}

// Rows in a running format that cannot give the time back are not shown, and said; a 12-hour clock
// whose two halves read alike is one. Rows in other forms still read.
TEST(LogReader, RowsInARunningFormatThatCannotBeReadBackAreNotShownButSaid) {
    for (const char* half : {"", "u"}) {
        TLogTimeFormat twelve;
        twelve.ShortDate = "d-M-yyyy";
        twelve.LongTime = "h:mm:ss AP";
        twelve.Meridiem = {half, half};
        std::string r = Row(At(2026, 3, 14, 10));
        const std::string values = r.substr(r.find(';'));
        const std::string pm = FormatLogTime({2026, 3, 14, 13, 5, 9}, twelve) + values;
        const TLogReadResult read = ReadLog(Header() + "2026-03-14 13:05:10" + values + pm, twelve);
        EXPECT_EQ(read.Table.Time, std::vector<double>{At(2026, 3, 14, 13, 5, 10)}) << half;
        EXPECT_EQ(read.Table.UnclearRows, 1u);
        EXPECT_EQ(read.Table.FirstUnclearLine, 3u);
        EXPECT_NE(read.Table.Unclear.find("12-uursklok"), std::string::npos) << read.Table.Unclear;
        EXPECT_EQ(ReadLog(Header() + pm, twelve).Status, TLogReadStatus::Unclear);
    }
}

TEST(LogReader, RowsComeOutInTimeOrderWithTheirValues) {
    // Two sessions appended out of order, as after a clock was set back.
    const double t = At(2026, 3, 14, 10);
    const TLogReadResult r = ReadLog(Header() + Row(t + 3600) + Row(t) + Row(t + 3605));
    ASSERT_EQ(r.Table.Time, (std::vector<double>{t, t + 3600, t + 3605}));
    const std::vector<uint8_t> first = sim::ScenarioReport(t);
    EXPECT_FLOAT_EQ(r.Table.Columns[Column("NTC 1")][0],
                    static_cast<float>(static_cast<int16_t>(first[1] | first[2] << 8) / 100.0));
}

}  // namespace
