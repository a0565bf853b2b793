#include "settings/snapshot_store.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <set>
#include <thread>

namespace korvel {
namespace {

namespace fs = std::filesystem;

class SnapshotStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("korvel-snapshots-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    }
    void TearDown() override { fs::remove_all(dir); }
    static std::string Time(int n) {  // one snapshot a minute from 08:00
        return "2026-12-09 08:" + std::string(n < 10 ? "0" : "") + std::to_string(n) + ":00";
    }
    fs::path dir;
};

TEST_F(SnapshotStoreTest, NamedByTimeNewestFirstTheLast50KeptAndReadBackWordForWord) {
    const TSnapshotStore store(dir / "snapshots");
    TNvmWords words = NvmDefaultWords({});
    words[23] = 4865;  // the 1/256 field: only the word tells it from 4864
    words[0] = static_cast<uint16_t>(-250);
    words[25] = 500;  // degree minutes beyond what the field takes, as a board may hold them
    std::string error;
    for (int n = 0; n < 55; ++n) ASSERT_TRUE(store.Save(words, "16.6.0.0", Time(n), '.', error)) << error;
    const auto again = store.Save(words, "16.6.0.0", Time(54), ',', error);  // the same second
    ASSERT_TRUE(again);
    EXPECT_EQ(again->filename(), "2026-12-09_08-54-00_02.csv");
    std::ofstream(dir / "snapshots" / "notes.txt") << "not a snapshot";

    const auto list = store.List();
    ASSERT_EQ(list.size(), SNAPSHOTS_KEPT);
    EXPECT_EQ(list.front().Path, *again);
    EXPECT_EQ(list[1].Time, "2026-12-09 08:54:00");
    EXPECT_EQ(list.back().Time, Time(6));  // 0..5 went: 56 made, 50 kept
    EXPECT_TRUE(fs::exists(dir / "snapshots" / "notes.txt"));

    for (const auto& snapshot : {list.front(), list.back()}) {
        const TSettingsFileRead read = ReadSnapshot(snapshot.Path);
        ASSERT_TRUE(read.Ok()) << read.Error;
        EXPECT_EQ(read.Words, words);
    }
}

// A snapshot says what it was made for and what the write after it came to; the outcome goes with
// it when it is let go, and the snapshot keeps its place in the list.
TEST_F(SnapshotStoreTest, CarriesItsInstallationAndTheOutcomeOfTheWriteThatFollowed) {
    const TSnapshotStore store(dir / "snapshots");
    std::string error;
    const auto first = store.Save(NvmDefaultWords({}), "16.6.0.0", Time(0), '.', error, {"Dorpsstraat 3", "COM5", "131"});
    ASSERT_TRUE(first) << error;
    const auto second = store.Save(NvmDefaultWords({}), "16.6.0.0", Time(1), '.', error);
    ASSERT_TRUE(second) << error;
    TSnapshotStore::RecordOutcome(*first, "Weggeschreven en opgeslagen\n");
    auto list = store.List();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].Path, *second);
    EXPECT_EQ(list[0].Outcome, "");
    EXPECT_EQ(list[1].Outcome, "Weggeschreven en opgeslagen");
    EXPECT_EQ(ReadSnapshot(*first).Stamp.Installation, "Dorpsstraat 3");
    EXPECT_EQ(ReadSnapshot(*first).Stamp.Firmware, "131");

    for (int n = 2; n < 2 + static_cast<int>(SNAPSHOTS_KEPT); ++n) ASSERT_TRUE(store.Save(NvmDefaultWords({}), "1", Time(n), '.', error));
    EXPECT_FALSE(fs::exists(*first));
    EXPECT_FALSE(fs::exists(fs::path(*first) += ".uitkomst"));
}

// Names follow the local clock, which may go back: the snapshot just written stays whatever its
// name, and the earliest written go.
TEST_F(SnapshotStoreTest, TheOneJustWrittenStaysAfterTheClockWentBack) {
    const TSnapshotStore store(dir);
    std::string error;
    for (int n = 0; n < 50; ++n) {
        const auto path = store.Save({}, "16.6.0.0", "2099-01-01 08:" + Time(n).substr(14), '.', error);
        fs::last_write_time(*path, fs::file_time_type::clock::now() - std::chrono::minutes(60 - n));
    }
    const auto saved = store.Save({}, "16.6.0.0", Time(0), '.', error);
    ASSERT_TRUE(saved && fs::exists(*saved)) << error;
    const auto list = store.List();
    EXPECT_EQ(list.size(), SNAPSHOTS_KEPT);
    EXPECT_EQ(list.front().Path, *saved);
    EXPECT_EQ(list.back().Time, "2099-01-01 08:01:00");  // 08:00 was written first
}

// Two programs saving in the same second each get a snapshot of their own.
TEST_F(SnapshotStoreTest, SavesInTheSameSecondNeverMeet) {
    const TSnapshotStore store(dir);
    std::set<fs::path> names[2];
    auto save = [&](int who) {
        std::string error;
        for (int i = 0; i < 24; ++i) names[who].insert(store.Save({}, "16.6.0.0", Time(0), '.', error).value_or(""));
    };
    std::thread other(save, 1);
    save(0);
    other.join();
    names[0].insert(names[1].begin(), names[1].end());
    EXPECT_EQ(names[0].size(), 48u);  // all taken, none twice, none let go
    EXPECT_EQ(names[0].count(""), 0u);
}

#ifndef _WIN32
TEST(SnapshotFolder, FollowsTheDataFolderOfTheUser) {
    auto env = [](const char* name) { return std::string(std::getenv(name) != nullptr ? std::getenv(name) : ""); };
    const std::string home = env("HOME"), data = env("XDG_DATA_HOME");
    setenv("XDG_DATA_HOME", "/srv/data", 1);
    EXPECT_EQ(DefaultSnapshotFolder(), fs::path("/srv/data/Ventrabo/KorvelSim/snapshots"));
    setenv("XDG_DATA_HOME", "relative", 1);  // not absolute: ignored, as XDG says
    setenv("HOME", "/home/monteur", 1);
    EXPECT_EQ(DefaultSnapshotFolder(), fs::path("/home/monteur/.local/share/Ventrabo/KorvelSim/snapshots"));
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", data.c_str(), 1);  // empty counts as unset
}
#endif

}  // namespace
}  // namespace korvel
