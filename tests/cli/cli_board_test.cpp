// korvel-cli against the stand-in on a pseudo-terminal: what each command prints and the exit
// status a script acts on.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include "board_sim.h"
#include "cli/korvel_cli.h"
#include "datalog/data_log.h"
#include "host/console_host.h"
#include "messages/message_ids.h"
#include "settings/settings_file.h"
#include "settings/snapshot_store.h"
#include "support/ser2net_server.h"

namespace korvel::cli {
namespace {

using sim::BoardSim;
using sim::BoardSimOptions;

struct Result {
    int status;
    std::string out, err;
};

using Clock = std::chrono::steady_clock;

// A board that lets go of service mode and asks again soon: the next command waits little.
BoardSimOptions Program(uint32_t reportMs = 200) {
    BoardSimOptions o;
    o.program = true;
    o.reportMs = reportMs;
    o.askMs = 200;
    o.serviceHoldMs = 1000;
    return o;
}

class CliBoardTest : public ::testing::Test {
protected:
    void SetUp() override {  // snapshots go to a folder of the test's own
        data = std::filesystem::path(::testing::TempDir()) / ("cli_data_" + std::to_string(::getpid()));
        setenv("XDG_DATA_HOME", data.c_str(), 1);
    }
    void TearDown() override {
        TConsoleHost::ClearInterrupt();
        for (const std::string& f : files) std::remove(f.c_str());
        std::filesystem::remove_all(data);
    }
    void Start(BoardSimOptions o) {
        board = std::make_unique<BoardSim>(o);
        port = board->Start();
    }
    Result Cli(std::vector<std::string> args) {
        args.insert(args.begin() + 1, {"--port", port});
        std::ostringstream out, err;
        const int status = RunCli(args, out, err, false);
        return {status, out.str(), err.str()};
    }
    std::string File(const std::string& name) {
        // Named by the process: test runs of other builds share the folder.
        files.push_back(::testing::TempDir() + "cli_" + std::to_string(::getpid()) + "_" + name);
        return files.back();
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void Write(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    TNvmWords BoardWords() const {
        std::vector<uint8_t> block{K2PRGETNVM};
        const auto nvm = board->Nvm();
        block.insert(block.end(), nvm.begin(), nvm.end());
        return *NvmWordsOfReport(block);
    }
    std::unique_ptr<BoardSim> board;
    std::string port;
    std::vector<std::string> files;
    std::filesystem::path data;
};

TEST_F(CliBoardTest, InfoSaysTheSwitchPositionAndTheValues) {
    for (const bool program : {true, false}) {
        BoardSimOptions o = Program();
        o.program = program;
        Start(o);
        const Result r = Cli({"info"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(program ? "schakelaar: PROGRAM\n" : "schakelaar: RUN\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("Toshiba mode: 1: Heat\n"), std::string::npos) << r.out;
        const Result json = Cli({"info", "--json"});
        EXPECT_EQ(json.out.rfind("{\"port\":", 0), 0u) << json.out;
        EXPECT_NE(json.out.find("\"toshiba_mode\":\"1: Heat\""), std::string::npos) << json.out;
    }
}

// A backup restored gives the board every word it had, the 1/256 field's odd word included, and
// a second backup reads the same; compare tells a file that differs by its status.
TEST_F(CliBoardTest, BackupRestoreAndCompareRoundTripEveryWord) {
    Start(Program());
    const std::string first = File("first.csv"), second = File("second.csv");
    ASSERT_EQ(Cli({"backup", first}).status, 0);
    auto read = ReadSettingsFile(Read(first));
    ASSERT_TRUE(read.Ok()) << read.Error;
    EXPECT_EQ(read.Words, BoardWords());

    TNvmWords wanted = read.Words;
    wanted[46 / 2] = 4865;  // shows as 19.0, like 4864
    wanted[42 / 2] = 61;
    Write(first, WriteSettingsFile(wanted, "test", "2026-12-10 10:00:00", ','));
    const Result differs = Cli({"compare", first});
    EXPECT_EQ(differs.status, 1);
    EXPECT_EQ(differs.out, "42\tonfPumpDelayHeating\t60\t61\n46\tonfNightOff\t19.0 (woord 4864)\t19.0 (woord 4865)\n")
        << differs.out;

    // JSON: numbers as numbers beside their words; restore lists what it changes, after a snapshot.
    EXPECT_NE(Cli({"compare", first, "--json"}).out.find("\"board\":60,\"board_word\":60,\"file\":61,"), std::string::npos);
    const TNvmWords before = BoardWords();
    const Result restored = Cli({"restore", first, "--json"});
    EXPECT_EQ(restored.status, 0) << restored.err;
    EXPECT_NE(restored.out.find("\"result\":\"stored\",\"answered\":115,"), std::string::npos);
    EXPECT_NE(restored.out.find("\"board\":19.0,\"board_word\":4864,\"written\":19.0,\"written_word\":4865}"),
              std::string::npos) << restored.out;
    EXPECT_EQ(ReadSnapshot(TSnapshotStore().List().at(0).Path).Words, before);
    EXPECT_EQ(BoardWords(), wanted);
    EXPECT_EQ(Cli({"compare", first}).status, 0);
    ASSERT_EQ(Cli({"backup", second}).status, 0);
    EXPECT_EQ(ReadSettingsFile(Read(second)).Words, wanted);
    EXPECT_EQ(Cli({"compare", "--defaults"}).status, 1);
}

// A backup says which installation it was made for; a restore for another one needs --force and
// names both; a file or a command without a name asks nothing.
TEST_F(CliBoardTest, RestoreRefusesAnotherInstallationsFileUnlessForced) {
    Start(Program());
    const std::string file = File("named.csv");
    ASSERT_EQ(Cli({"backup", file, "--installation", " Dorpsstraat 3 "}).status, 0);
    const TSettingsFileRead read = ReadSettingsFile(Read(file));
    EXPECT_EQ(read.Stamp.Installation, "Dorpsstraat 3");
    EXPECT_EQ(read.Stamp.Port, port);
    EXPECT_EQ(read.Stamp.Firmware, "131");

    const struct {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{"restore", file, "--installation", "Kerkweg 12"}, 3},
        {{"restore", file, "--installation", "Kerkweg 12", "--force"}, 0},
        {{"restore", file, "--installation", "DORPSSTRAAT 3"}, 0},
        {{"restore", file}, 0},
    };
    for (const auto& c : cases) {
        const Result r = Cli(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.back() << r.err;
        if (c.status == 3) {
            EXPECT_NE(r.err.find("\"Dorpsstraat 3\", niet voor \"Kerkweg 12\""), std::string::npos) << r.err;
        }
    }
}

// A board behind a network serial server is reached by its address, as the window reaches it.
TEST_F(CliBoardTest, BackupAndRestoreThroughANetworkServer) {
    if (!test::Ser2net::Installed()) GTEST_SKIP() << "ser2net is not installed";
    for (const auto mode : {test::Ser2net::Mode::Rfc2217, test::Ser2net::Mode::Raw}) {
        Start(Program());
        test::Ser2net server(port, mode);
        ASSERT_TRUE(server.Running()) << server.Log();
        port = server.Address();
        const std::string file = File("net.csv");
        ASSERT_EQ(Cli({"backup", file}).status, 0) << port;
        const Result restored = Cli({"restore", file});
        EXPECT_EQ(restored.status, 0) << port << ": " << restored.err;
        EXPECT_EQ(ReadSettingsFile(Read(file)).Words, BoardWords()) << port;
    }
}

TEST_F(CliBoardTest, FaultsEndWithTheirStatusAndOneLine) {
    BoardSimOptions run = Program();
    run.program = false;
    BoardSimOptions dropWrite = Program(), storeWrong = Program(), dropStore = Program(), silent = Program(0);
    dropWrite.dropWrite = 11;
    storeWrong.storeWrong = 54;
    dropStore.dropStore = true;
    silent.silent = true;
    const struct {
        const char* name;
        BoardSimOptions options;
        std::vector<std::string> args;
        int status;
        const char* err;
        const char* out;
    } cases[] = {
        {"switch at RUN", run, {"defaults"}, 4, "niet in de stand PROGRAM", ""},
        {"silent board", silent, {"backup", "x.csv"}, 4, "geeft geen antwoord", ""},
        {"a folder to back up to", Program(), {"backup", ::testing::TempDir()}, 3, "is een map", ""},
        {"a folder to restore", Program(), {"restore", ::testing::TempDir()}, 3, "het is een map, geen bestand", ""},
        {"write unanswered", dropWrite, {"defaults", "--no-snapshot"}, 4,
         "geen antwoord op parameter 11 van 115; 10 zijn weggeschreven", ""},
        {"store kept another word", storeWrong, {"defaults", "--no-snapshot"}, 6, "1 parameter(s) anders opgeslagen",
         "54\tonfPumpStartupTime\t30\t31\t30\t31\n"},
        {"store unanswered", dropStore, {"defaults", "--no-snapshot"}, 4, "geen antwoord op het opslaan", ""},
    };
    for (const auto& c : cases) {
        Start(c.options);
        const Result r = Cli(c.args);
        EXPECT_EQ(r.status, c.status) << c.name << ": " << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.name << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.name << ": " << r.err;
        EXPECT_EQ(r.out, c.out) << c.name;
        // The board speaks first: one that never asks is sent nothing, nor one with a wrong file.
        if (&c < cases + 4) {
            EXPECT_TRUE(board->ReceivedBlocks().empty()) << c.name;
        }
    }
    // Nothing is sent for a file that is refused.
    Start(Program());
    const std::string bad = File("bad.csv");
    Write(bad, "KORVEL instellingen;x;y\r\nAdres;Naam\r\n");
    const Result refused = Cli({"restore", bad});
    EXPECT_EQ(refused.status, 3);
    EXPECT_NE(refused.err.find("Regel 2"), std::string::npos) << refused.err;
    EXPECT_TRUE(board->ReceivedBlocks().empty());
}

// Ctrl+C between two exchanges: nothing more is sent and no store is requested.
TEST_F(CliBoardTest, InterruptStopsTheWriteWithoutStoring) {
    BoardSimOptions o = Program();
    o.pace = true;
    Start(o);
    std::atomic<bool> done{false};
    std::thread interrupt([&] {
        while (!done) {
            size_t writes = 0;
            for (const auto& b : board->ReceivedBlocks()) writes += b[0] == P2KSETNVM;
            if (writes >= 20) {
                TConsoleHost::Interrupt();
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    const Result r = Cli({"defaults"});
    done = true;
    interrupt.join();
    EXPECT_EQ(r.status, 130) << r.err;
    EXPECT_NE(r.err.find("parameters weggeschreven, niets opgeslagen"), std::string::npos) << r.err;
    const auto blocks = board->ReceivedBlocks();
    EXPECT_TRUE(std::none_of(blocks.begin(), blocks.end(), [](const auto& b) { return b[0] == P2KFLASHNVM; }));
    EXPECT_LT(std::count_if(blocks.begin(), blocks.end(), [](const auto& b) { return b[0] == P2KSETNVM; }), 30);
}

TEST_F(CliBoardTest, FlashChecksTheFileFirst) {
    Start(Program());
    const std::string bad = File("bad.a43");
    Write(bad, "S1130000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFEC\nnot a record\n");
    EXPECT_EQ(Cli({"flash", bad}).status, 3);
    EXPECT_TRUE(board->ReceivedBlocks().empty());
    const Result r = Cli({"flash", KORVEL_TEST_DATA "/firmware/srec_cat_full.a43"});
    EXPECT_EQ(r.status, 0) << r.err;
    // The last chunk is sent when the command ends; the board takes it a moment later.
    for (int i = 0; i < 200 && !board->LoaderDone(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(board->LoaderDone());
}

TEST_F(CliBoardTest, WatchWritesTheDataLog) {
    Start(Program(100));
    const std::string log = File("watch.csv");
    const Result r = Cli({"watch", "--seconds", "1.5", "--log", log});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind(std::string(LOGFILEHEADER) + "\n", 0), 0u);
    EXPECT_GE(std::count(r.out.begin(), r.out.end(), '\n'), 10);
    const std::string file = Read(log);
    EXPECT_EQ(file.rfind(std::string(LOGFILEHEADER) + "\r\n", 0), 0u);
    EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 2);  // the header and one row: a row at most every 5 s
}

// Ctrl+C at any moment of any command, and a network server gone: the status and one line,
// within moments, never a crash.
TEST_F(CliBoardTest, CtrlCEndsEveryCommandWithItsStatusAndOneLine) {
    // A server that takes the connection and never says a word (the system accepts it for us).
    const int quiet = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t len = sizeof a;
    ::bind(quiet, reinterpret_cast<sockaddr*>(&a), len);
    ::listen(quiet, 1);
    ::getsockname(quiet, reinterpret_cast<sockaddr*>(&a), &len);
    std::unique_ptr<test::Ser2net> server;
    BoardSimOptions run = Program(100), dropStore = Program(100);
    run.program = false;
    dropStore.dropStore = true;
    const auto after = [](int ms) { return [ms](BoardSim&, int waited) { return waited >= ms; }; };
    const struct {
        BoardSimOptions options;
        std::vector<std::string> args;
        std::function<bool(BoardSim&, int)> when;
        int status;
        const char* says;
        bool killServer = false;  // instead of Ctrl+C
    } rows[] = {
        {Program(100), {"watch"}, after(500), 130, "Onderbroken."},
        {Program(100), {"watch", "--seconds", "4294968"}, after(1500), 130, "Onderbroken."},
        {run, {"backup", File("int.csv")}, after(500), 130, "Onderbroken."},
        {dropStore, {"defaults"}, [](BoardSim& b, int) { const auto r = b.ReceivedBlocks();
                                                          return !r.empty() && r.back()[0] == P2KFLASHNVM; },
         130, "of het KORVEL bord ze heeft opgeslagen is niet bekend"},
        {Program(100), {"flash", KORVEL_TEST_DATA "/firmware/srec_cat_full.a43"},
         [](BoardSim& b, int) { return b.LoaderChunksReceived() >= 20; }, 7, "afgebroken. Het bord moet opnieuw geflasht"},
        {Program(100), {"info", "--port", "rfc2217://127.0.0.1:" + std::to_string(ntohs(a.sin_port))}, after(300), 130,
         "Onderbroken."},
        {Program(100), {"watch", "--port", "ser2net"}, after(500), 5, "heeft de verbinding verbroken: controleer", true},
    };
    for (const auto& r : rows) {
        if (r.killServer && !test::Ser2net::Installed()) continue;
        Start(r.options);
        std::vector<std::string> args = r.args;
        if (args.size() > 2 && args[1] == "--port") {
            if (r.killServer) server = std::make_unique<test::Ser2net>(port, test::Ser2net::Mode::Rfc2217);
            port = r.killServer ? server->Address() : args[2];
            args.erase(args.begin() + 1, args.begin() + 3);
        }
        std::atomic<bool> done{false};
        Clock::time_point pressed{};
        std::thread ctrlC([&] {
            const auto start = Clock::now();
            while (!done && !r.when(*board, static_cast<int>((Clock::now() - start) / std::chrono::milliseconds(1))))
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            pressed = Clock::now();
            if (r.killServer) server->Kill();
            else TConsoleHost::Interrupt();
        });
        const Result result = Cli(args);
        const auto ended = Clock::now();
        done = true;
        ctrlC.join();
        EXPECT_EQ(result.status, r.status) << r.args[0] << ": " << result.err;
        EXPECT_NE(result.err.find(r.says), std::string::npos) << r.args[0] << ": " << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_LT(ended - pressed, std::chrono::seconds(1)) << r.args[0];
        TConsoleHost::ClearInterrupt();
    }
    ::close(quiet);
}

// A backup says at once when a board value will not load back.
TEST_F(CliBoardTest, BackupWarnsOfAValueThatWillNotLoad) {
    BoardSimOptions o = Program();
    o.storeWrong = 216;  // 43.0 kept as 43.1, beyond the field's 43.0
    Start(o);
    EXPECT_EQ(Cli({"defaults"}).status, 6);
    const Result backup = Cli({"backup", File("warn.csv")});
    EXPECT_EQ(backup.status, 0) << backup.err;
    EXPECT_NE(backup.err.find("waarschuwing: " + files.back() + " kan niet worden teruggezet"), std::string::npos);
}

}  // namespace
}  // namespace korvel::cli
