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

#include <unistd.h>

#include "board_sim.h"
#include "cli/korvel_cli.h"
#include "datalog/data_log.h"
#include "host/console_host.h"
#include "messages/message_ids.h"
#include "settings/settings_file.h"
#include "comms/frame_codec.h"
#include "link/telnet_codec.h"
#include "settings/snapshot_store.h"
#include "support/ser2net_server.h"
#include "support/telnet_server.h"

namespace korvel::cli {
namespace {

using sim::BoardSim;
using sim::BoardSimOptions;

struct Result {
    int status;
    std::string out, err;
};

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

// A board that lets go of service mode soon after a command and asks again soon, so the next
// command does not wait long for its question.
BoardSimOptions Program(uint32_t reportMs = 200) {
    BoardSimOptions o;
    o.program = true;
    o.reportMs = reportMs;
    o.askMs = 200;
    o.serviceHoldMs = 1000;
    return o;
}

// A server that agrees to the line, answers the purge, and then does `then` (nothing: hangs up).
std::function<void(test::TelnetServer&)> Served(Bytes then) {
    return [then](test::TelnetServer& s) {
        s.Send(test::TelnetServer::kOpening);
        if (!s.Expect(test::TelnetServer::Sub({4, 2}))) return;
        s.Send(test::TelnetServer::LineAnswers());
        if (!s.Expect(test::TelnetServer::Sub({12, 1}))) return;
        s.Send(test::TelnetServer::Sub({112, 1}));
        if (then.empty()) return s.HangUp();
        s.Send(then);
    };
}

// FLOWCONTROL-SUSPEND, then the board's question: the answer cannot go out.
Bytes Suspending() {
    Bytes out = test::TelnetServer::Sub({108});
    const Bytes frame = EncodeFrame(std::vector<uint8_t>{K2PGETCOMMAND}.data(), 1);
    telnet::AppendData(out, frame.data(), frame.size(), true);
    return out;
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
        files.push_back(::testing::TempDir() + "cli_" + name);
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
    size_t Received(uint8_t id) const {
        size_t n = 0;
        for (const auto& b : board->ReceivedBlocks()) n += b[0] == id;
        return n;
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

    // JSON: numbers as numbers, the word beside each value; restore lists what it changes, after
    // a snapshot of what the board held.
    EXPECT_NE(Cli({"compare", first, "--json"}).out.find("\"board\":60,\"board_word\":60,\"file\":61,\"file_word\":61}"),
              std::string::npos);
    const TNvmWords before = BoardWords();
    const Result restored = Cli({"restore", first, "--json"});
    EXPECT_EQ(restored.status, 0) << restored.err;
    EXPECT_NE(restored.out.find("\"result\":\"stored\",\"answered\":115,\"snapshot\":\""), std::string::npos);
    EXPECT_NE(restored.out.find("\"address\":46,\"name\":\"onfNightOff\",\"caption\":\"Temperatuur voor nachtstand\","
                                "\"board\":19.0,\"board_word\":4864,\"written\":19.0,\"written_word\":4865}"),
              std::string::npos)
        << restored.out;
    const auto snapshots = TSnapshotStore().List();
    ASSERT_EQ(snapshots.size(), 1u);
    EXPECT_EQ(ReadSnapshot(snapshots[0].Path).Words, before);
    EXPECT_EQ(BoardWords(), wanted);
    EXPECT_EQ(Cli({"compare", first}).status, 0);
    ASSERT_EQ(Cli({"backup", second}).status, 0);
    EXPECT_EQ(ReadSettingsFile(Read(second)).Words, wanted);
    EXPECT_EQ(Cli({"compare", "--defaults"}).status, 1);
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
        {"switch at RUN", run, {"defaults", "--no-snapshot"}, 4, "niet in de stand PROGRAM", ""},
        {"silent board", silent, {"backup", "x.csv"}, 4, "geeft geen antwoord", ""},
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
        // The board speaks first: one that never asks (the first two) is sent nothing.
        if (&c < cases + 2) {
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

// Ctrl+C at any moment of any command: its status and one line, within moments, never a crash.
TEST_F(CliBoardTest, CtrlCEndsEveryCommandWithItsStatusAndOneLine) {
    using namespace telnet;
    test::TelnetServer silent([](test::TelnetServer&) {});
    test::TelnetServer nops([](test::TelnetServer& s) { s.Flood({IAC, NOP}); });
    test::TelnetServer suspending(Served(Suspending()));
    BoardSimOptions run = Program(100), dropStore = Program(100);
    run.program = false;
    dropStore.dropStore = true;
    const auto after = [](int ms) { return [ms](BoardSim&, int waited) { return waited >= ms; }; };
    const auto sent = [this](uint8_t id) { return [this, id](BoardSim&, int) { return Received(id) > 0; }; };
    const std::string firmware = KORVEL_TEST_DATA "/firmware/srec_cat_full.a43";
    const struct {
        BoardSimOptions options;
        std::vector<std::string> args;
        std::function<bool(BoardSim&, int)> when;
        int status;
        const char* says;
    } rows[] = {
        {Program(100), {"watch"}, after(500), 130, "Onderbroken."},
        {Program(100), {"watch", "--json"}, after(500), 130, "Onderbroken."},
        {Program(100), {"watch", "--seconds", "4294968"}, after(1500), 130, "Onderbroken."},
        {run, {"info"}, after(800), 130, "Onderbroken."},
        {run, {"backup", File("int.csv")}, after(500), 130, "Onderbroken."},
        {dropStore, {"defaults"}, sent(P2KFLASHNVM), 130, "of het KORVEL bord ze heeft opgeslagen is niet bekend"},
        {Program(100), {"flash", firmware}, [](BoardSim& b, int) { return b.LoaderChunksReceived() >= 20; }, 7,
         "afgebroken. Het bord moet opnieuw geflasht worden"},
        {Program(100), {"info", "--port", silent.Address()}, after(300), 130, "Onderbroken."},
        {Program(100), {"info", "--port", nops.Address()}, after(300), 130, "Onderbroken."},
        {Program(100), {"backup", "--port", suspending.Address(), File("int.csv")}, after(1500), 130, "Onderbroken."},
    };
    for (const auto& r : rows) {
        Start(r.options);
        std::atomic<bool> done{false};
        Clock::time_point pressed{};
        std::thread ctrlC([&] {
            const auto start = Clock::now();
            while (!done && !r.when(*board, static_cast<int>((Clock::now() - start) / std::chrono::milliseconds(1))))
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            pressed = Clock::now();
            TConsoleHost::Interrupt();
        });
        std::vector<std::string> args = r.args;
        if (args[1] == "--port") args.erase(args.begin() + 1, args.begin() + 3), port = r.args[2];
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
    EXPECT_FALSE(board->LoaderDone());
}

// A network line lost says what to check at the server, in the tool's words.
TEST_F(CliBoardTest, ALostNetworkLineNamesTheServer) {
    using namespace telnet;
    const struct {
        Bytes then;
        const char* says;
    } rows[] = {
        {{}, "heeft de verbinding verbroken: controleer of de seriële server daar nog draait"},
        {{IAC, WONT, 0}, "heeft de telnet-optie BINARY uitgezet"},
        {Suspending(), "heeft het sturen naar het bord stilgezet (FLOWCONTROL-SUSPEND)"},
    };
    for (const auto& r : rows) {
        test::TelnetServer server(Served(r.then));
        port = server.Address();
        const Result result = Cli({"backup", File("lost.csv")});
        EXPECT_EQ(result.status, 5) << result.err;
        EXPECT_NE(result.err.find(r.says), std::string::npos) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
}

// A backup never replaces a folder, and says at once when a board value will not load back.
TEST_F(CliBoardTest, BackupRefusesAFolderAndWarnsOfAValueThatWillNotLoad) {
    BoardSimOptions o = Program();
    o.storeWrong = 216;  // 43.0 kept as 43.1, beyond the field's 43.0
    Start(o);
    const std::string folder = File("folder");
    std::filesystem::create_directory(folder);
    const Result refused = Cli({"backup", folder});
    EXPECT_EQ(refused.status, 3);
    EXPECT_NE(refused.err.find("is een map"), std::string::npos) << refused.err;
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_TRUE(board->ReceivedBlocks().empty());
    std::filesystem::remove(folder);

    EXPECT_EQ(Cli({"defaults", "--no-snapshot"}).status, 6);
    const Result backup = Cli({"backup", File("warn.csv")});
    EXPECT_EQ(backup.status, 0) << backup.err;
    EXPECT_NE(backup.err.find("waarschuwing: " + files.back() + " kan niet worden teruggezet"), std::string::npos)
        << backup.err;
}

}  // namespace
}  // namespace korvel::cli
