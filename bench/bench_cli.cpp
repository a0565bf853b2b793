// korvel-cli as a script runs it: the program started for each command, against the paced
// stand-in (9600 baud 8N2 wire time) in a forked child. For backup and restore: the wall time of
// the whole command, from exec to exit, against the time its frames and the board's answers need
// on the wire, and the command's own CPU. And how soon after exec it answers the board's question.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "board_sim.h"
#include "messages/message_ids.h"
#include "settings/nvm_parameters.h"

using namespace korvel;
using namespace korvel::bench;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double kWallFactor = 1.10;
constexpr double kCpuPercent = 5.0;
constexpr double kFirstByteMs = 50.0;
constexpr uint32_t kAskMs = 50;  // longer than the question's 9 ms on the wire

std::string gCli;

// Child: plays the board until told, then hands back every block it received.
void Serve(sim::BoardSim& board, int toParent, int fromParent) {
    for (char c; ReadFull(fromParent, &c, 1, 600000) && c == 'b';) SendBlocks(toParent, board.ReceivedBlocks());
}

Blocks ReceivedBlocks(const BoardChild& board) {
    WriteFull(board.toChild, "b", 1);
    Blocks blocks;
    ReceiveBlocks(board.fromChild, blocks);
    return blocks;
}

pid_t Spawn(const std::vector<std::string>& args) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

struct Run {
    int status = -1;
    double wall = 0;
    double cpu = 0;
};

// The child's own CPU, read while it waits to be reaped: the scheduler's run time, not ticks.
double ChildCpu(pid_t pid) {
    std::ifstream schedstat("/proc/" + std::to_string(pid) + "/schedstat");
    double ns = 0;
    return schedstat >> ns ? ns / 1e9 : 0;
}

Run Command(const std::vector<std::string>& args) {
    Run r;
    const auto t0 = Clock::now();
    const pid_t pid = Spawn(args);
    siginfo_t info{};
    ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT);
    r.wall = std::chrono::duration<double>(Clock::now() - t0).count();
    r.cpu = ChildCpu(pid);
    int status = 0;
    ::waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// The frames the command sent and the answers the board gave them (the parameter images with
// the board's words), from the blocks the board received during it.
double WireSeconds(const Blocks& blocks, size_t from, size_t& bytes) {
    std::vector<uint8_t> image(NVM_REPORT_SIZE, 0);
    bytes = 0;
    for (size_t i = from; i < blocks.size(); ++i) {
        const auto& b = blocks[i];
        bytes += FrameSize(b);
        switch (b[0]) {
            // The question it answers, and the board's answer.
            case P2KSETCOMMAND: bytes += FrameSize({K2PGETCOMMAND}) + FrameSize({K2PRSETCOMMAND}); break;
            case P2KSETNVM: bytes += FrameSize({K2PRSETNVM}); break;
            case P2KGETNVM:
            case P2KFLASHNVM: image[0] = static_cast<uint8_t>(b[0] - 128); bytes += FrameSize(image); break;
            default: break;
        }
    }
    return static_cast<double>(bytes) * 11.0 / 9600.0;
}

bool Measure(const BoardChild& board, const char* what, const std::vector<std::string>& args) {
    const size_t before = ReceivedBlocks(board).size();
    const Run r = Command(args);
    size_t bytes = 0;
    // The board's question comes at most one ask period after the open: the tool waits for it.
    const double limit = WireSeconds(ReceivedBlocks(board), before, bytes) + kAskMs / 1000.0;
    const double cpuPct = 100.0 * r.cpu / r.wall;
    const bool wallOk = r.wall <= kWallFactor * limit, cpuOk = cpuPct <= kCpuPercent;
    std::printf("korvel-cli %s: exit %d; wire-time limit %.3f s (%zu bytes at 9600 8N2)\n", what, r.status, limit, bytes);
    std::printf("  wall %.3f s = %.3f x limit (target <= %.2f) %s\n", r.wall, r.wall / limit, kWallFactor,
                wallOk ? "ok" : "OVER");
    std::printf("  cpu %.3f s = %.2f %% of a core (target <= %.0f %%) %s\n", r.cpu, cpuPct, kCpuPercent,
                cpuOk ? "ok" : "OVER");
    return r.status == 0 && wallOk && cpuOk;
}

// From exec to its answer to the board's "Are you there ?" on a line of its own (a pty this
// program holds, asking every 5 ms, as nothing is sent before the board asks), over runs.
bool FirstAnswer() {
    std::vector<double> ms;
    const std::vector<uint8_t> ask = EncodeFrame(std::vector<uint8_t>{K2PGETCOMMAND}.data(), 1);
    for (int i = 0; i < 20; ++i) {
        int master = -1, slave = -1;
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) return false;
        // Held open meanwhile: a pty without its slave side reads as hung up at once.
        const auto t0 = Clock::now();
        const pid_t pid = Spawn({gCli, "backup", "--port", name, "/dev/null"});
        bool got = false;
        for (pollfd p{master, POLLIN, 0}; !got && Clock::now() - t0 < std::chrono::seconds(5);) {
            WriteFull(master, ask.data(), ask.size());
            got = ::poll(&p, 1, 5) == 1 && (p.revents & POLLIN);
        }
        const double elapsed = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        ::close(master);
        ::close(slave);
        if (got) ms.push_back(elapsed);
    }
    if (ms.empty()) return false;
    std::sort(ms.begin(), ms.end());
    const double p50 = ms[ms.size() / 2], max = ms.back();
    std::printf("start to its answer to the board's question (%zu runs): p50 %.1f ms, max %.1f ms (target <= %.0f ms) %s\n",
                ms.size(), p50, max, kFirstByteMs, max <= kFirstByteMs ? "ok" : "OVER");
    return max <= kFirstByteMs;
}

}  // namespace

int main(int argc, char** argv) {
    if (const int code = NoArguments(argc, argv, "bench_cli"); code >= 0) return code;
    gCli = KORVEL_BIN_DIR "/korvel-cli";
    // The board asks often and lets go of service mode soon after a command, so the next one does
    // not wait long for its question.
    sim::BoardSimOptions o = PacedBoard();
    o.askMs = kAskMs;
    o.serviceHoldMs = 200;
    const BoardChild board = ForkPacedBoard(Serve, o);
    // restore keeps a snapshot first: in a folder of the benchmark's own.
    const std::string data = "/tmp/bench_cli_data_" + std::to_string(::getpid());
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    if (board.port.empty()) {
        std::fprintf(stderr, "the stand-in did not start\n");
        return 2;
    }
    const std::string backup = "/tmp/bench_cli_" + std::to_string(::getpid()) + ".csv";
    bool ok = FirstAnswer();
    ok = Measure(board, "backup", {gCli, "backup", "--port", board.port, backup}) && ok;
    ok = Measure(board, "restore", {gCli, "restore", "--port", board.port, backup}) && ok;
    std::remove(backup.c_str());
    std::filesystem::remove_all(data);
    WriteFull(board.toChild, "x", 1);
    ::waitpid(board.pid, nullptr, 0);
    return ok ? 0 : 1;
}
