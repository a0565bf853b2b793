#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "datalog/data_log.h"
#include "support/fake_ui_host.h"

using namespace korvel;
using namespace std::chrono_literals;
using korvel::test::FakeUiHost;

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
        lines.push_back(text.substr(start, at - start));
    EXPECT_EQ(start, text.size()) << "text after the last CR LF";
    return lines;
}

size_t Fields(const std::string& line) { return static_cast<size_t>(std::count(line.begin(), line.end(), ';')); }

// Columns 2..49 as the main window would read them from the display fields.
std::vector<std::string> Columns(const std::string& state = "3 - Alleen buitenunit") {
    std::vector<std::string> c;
    c.push_back(state);
    for (int i = 3; i <= 17; ++i) c.push_back(TF(i % 2 == 0));
    c.push_back("  -5,25");  // NTC 1, leading blanks kept
    c.push_back("  12,00");
    c.push_back("1: Heat");
    c.push_back("1");
    for (int i = 22; i <= 38; ++i) c.push_back(std::to_string(i));
    for (int i = 39; i <= 45; ++i) c.push_back(TF(false));
    for (int i = 46; i <= 49; ++i) c.push_back(" 1,0");
    return c;
}

class DataLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("korvel_datalog_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        file = dir / "log.csv";
    }
    void TearDown() override { fs::remove_all(dir); }

    // A block arriving at t0 + offset.
    void Block(TDataLog& log, std::chrono::milliseconds offset, const std::string& state = "3 - Alleen buitenunit") {
        log.HandleLogfile(t0 + offset, "T+" + std::to_string(offset.count()), [&] { return Columns(state); });
    }

    FakeUiHost host;
    fs::path dir, file;
    const TDataLog::TimePoint t0 = std::chrono::system_clock::from_time_t(1700000000);
};

}  // namespace

TEST_F(DataLogTest, NewFileGetsHeaderOnceAndOneRowPerFiveSeconds) {
    TDataLog log(host);
    log.Start(file.string(), t0);
    EXPECT_TRUE(log.Logging());
    Block(log, 0ms);
    Block(log, 400ms);
    Block(log, 900ms);
    // The row is on disk while the log is still open.
    auto lines = Lines(ReadAll(file));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], LOGFILEHEADER);
    EXPECT_EQ(lines[1].rfind("T+0;3 - Alleen buitenunit;FALSE;TRUE;", 0), 0u) << lines[1];
    EXPECT_EQ(Fields(lines[0]), TDataLog::kColumns);
    EXPECT_EQ(Fields(lines[1]), TDataLog::kColumns);
    EXPECT_NE(lines[1].find(";  -5,25;  12,00;1: Heat;1;22;"), std::string::npos) << lines[1];
    EXPECT_EQ(lines[1].back(), ';');
}

TEST_F(DataLogTest, RowsAreNeverLessThanFiveSecondsApart) {
    TDataLog log(host);
    log.Start(file.string(), t0);
    // A block every second for 12 s, with some jitter; 4999 ms after a row is still too soon.
    const std::vector<int> at = {0, 1000, 2000, 3000, 4000, 4999, 5001, 6000, 7000, 8000, 9000, 10000, 10001, 11000, 12000};
    for (int ms : at) Block(log, std::chrono::milliseconds(ms));
    auto lines = Lines(ReadAll(file));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1].substr(0, 4), "T+0;");
    EXPECT_EQ(lines[2].substr(0, 7), "T+5001;");
    EXPECT_EQ(lines[3].substr(0, 8), "T+10001;");
}

TEST_F(DataLogTest, ExactlyFiveSecondsAndAClockGoingBackWrite) {
    TDataLog log(host);
    log.Start(file.string(), t0);
    Block(log, 0ms);      // now - 5000 ms at start: exactly due
    Block(log, 5000ms);   // exactly 5000 ms later
    Block(log, -1000ms);  // clock set back 6 s: the distance counts, not its sign
    Block(log, -900ms);
    EXPECT_EQ(Lines(ReadAll(file)).size(), 4u);
}

TEST_F(DataLogTest, ExistingFileIsAppendedWithoutHeader) {
    {
        std::ofstream out(file, std::ios::binary);
        out << "earlier line\r\n";
    }
    TDataLog log(host);
    log.Start(file.string(), t0);
    Block(log, 0ms, "");  // no operating state selected: two semicolons in a row
    log.Stop();
    EXPECT_FALSE(log.Logging());
    Block(log, 10000ms);  // not logging: nothing

    log.Start(file.string(), t0 + 20s);  // stop, start again on the same file
    Block(log, 20000ms);
    auto lines = Lines(ReadAll(file));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "earlier line");
    EXPECT_EQ(lines[1].substr(0, 5), "T+0;;");
    EXPECT_EQ(lines[2].substr(0, 9), "T+20000;3");
}

TEST_F(DataLogTest, StartingAgainClosesTheOpenLog) {
    TDataLog log(host);
    int changes = 0;
    log.OnLoggingChange = [&] { ++changes; };
    log.Start(file.string(), t0);
    const fs::path other = dir / "other.csv";
    log.Start(other.string(), t0);
    Block(log, 0ms);
    EXPECT_EQ(Lines(ReadAll(file)).size(), 1u);
    EXPECT_EQ(Lines(ReadAll(other)).size(), 2u);
    EXPECT_EQ(log.Path(), other.string());
    EXPECT_EQ(changes, 2);
}

TEST_F(DataLogTest, StartFailureThrowsNamingTheFileAndLeavesLoggingOff) {
    TDataLog log(host);
    log.Start(file.string(), t0);
    const std::string bad = (dir / "no_such_dir" / "log.csv").string();
    try {
        log.Start(bad, t0);
        FAIL() << "no error";
    } catch (const std::exception& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find(bad), std::string::npos) << what;
        EXPECT_NE(what.find("No such file"), std::string::npos) << what;
    }
    EXPECT_FALSE(log.Logging());
    Block(log, 0ms);
    EXPECT_EQ(Lines(ReadAll(file)).size(), 1u);
    EXPECT_TRUE(host.Boxes().empty());
}

TEST_F(DataLogTest, WriteErrorClosesTheLogAndSaysWhy) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    TDataLog log(host);
    int changes = 0;
    log.OnLoggingChange = [&] { ++changes; };
    log.Start("/dev/full", t0);  // exists: opened for appending, every write fails
    Block(log, 0ms);
    EXPECT_FALSE(log.Logging());
    EXPECT_EQ(changes, 2);
    const auto boxes = host.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].type, TMsgDlgType::mtError);
    EXPECT_EQ(boxes[0].buttons, TMsgDlgButtons::mbOK);
    EXPECT_NE(boxes[0].text.find("/dev/full"), std::string::npos) << boxes[0].text;
    EXPECT_NE(boxes[0].text.find("No space left"), std::string::npos) << boxes[0].text;
    EXPECT_EQ(boxes[0].text.substr(boxes[0].text.size() - 22), "\nLog wordt afgesloten.");
    Block(log, 10000ms);  // closed: no second box
    EXPECT_EQ(host.Boxes().size(), 1u);
}

TEST_F(DataLogTest, ARowOfTheWrongWidthIsAnErrorNotAShiftedRow) {
    TDataLog log(host);
    log.Start(file.string(), t0);
    log.HandleLogfile(t0, "T", [] { return std::vector<std::string>(47, "x"); });
    EXPECT_FALSE(log.Logging());
    ASSERT_EQ(host.Boxes().size(), 1u);
    EXPECT_NE(host.Boxes()[0].text.find("48 columns instead of 49"), std::string::npos) << host.Boxes()[0].text;
    EXPECT_EQ(Lines(ReadAll(file)).size(), 1u);
}

TEST(LogLayout, HeaderAndKindsOfTheFortyNineColumns) {
    std::string header;
    for (const TLogColumn& c : LogLayout()) header += std::string(c.Header) + ";";
    EXPECT_EQ(header, LOGFILEHEADER);
    EXPECT_EQ(LogLayout()[0].Kind, TLogColumnKind::Time);
    for (const TLogColumn& c : LogLayout().subspan(1)) EXPECT_FALSE(c.Field.empty()) << c.Header;
}

#ifndef _WIN32
namespace {

// korvel-cli's log takes its time formats from the C library's locale of the environment; the C
// locale writes the month first and a two-digit year.
TEST(LogTime, WithoutAWindowTheCLibrarysLocaleIsWritten) {
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(FormatLogTime({2026, 3, 14, 13, 5, 9}, PlatformLogTimeFormat()), "03/14/26 13:05:09");
}

}  // namespace
#endif
