// What the benchmarks share: the process's CPU time and whole reads and writes on the pipes
// between a benchmark and the stand-in it runs in a child process.
#pragma once

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#undef Yield  // an old macro of windows.h; the delay timer has a member of that name
#else
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include "board_sim.h"
#include "support/ser2net_server.h"
#endif

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "comms/frame_codec.h"

namespace korvel::bench {

// A benchmark's command line ends as the tool's does: "--help" prints the usage and ends with 0;
// an argument it does not take is named and ends the run with 2, before anything has started.
inline int Usage(const char* usage, const char* wrong = nullptr) {
    if (wrong == nullptr) {
        std::printf("usage: %s\n", usage);
        return 0;
    }
    std::fprintf(stderr, "unknown or incomplete argument \"%s\"\nusage: %s\n", wrong, usage);
    return 2;
}
inline bool IsHelp(const char* arg) { return std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0; }
// For the benchmarks that take no argument at all.
inline int NoArguments(int argc, char** argv, const char* usage) {
    if (argc < 2) return -1;
    return IsHelp(argv[1]) ? Usage(usage) : Usage(usage, argv[1]);
}

inline double CpuSeconds() {
#ifdef _WIN32
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    auto seconds = [](const FILETIME& f) {
        return static_cast<double>((static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
#else
    // The scheduler's own run time of all threads: getrusage's figures are sampled at the
    // kernel's tick, and a thread that wakes in step with the tick is charged whole ticks (runs
    // of the same benchmark read 3 % or 15 % while perf counted the same samples).
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
#endif
}

#ifndef _WIN32
inline bool ReadFull(int fd, void* buf, size_t n, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    auto* p = static_cast<uint8_t*>(buf);
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (n > 0) {
        pollfd pfd{fd, POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0 || ::poll(&pfd, 1, static_cast<int>(left)) <= 0) return false;
        const ssize_t r = ::read(fd, p, n);
        if (r <= 0) return false;
        p += r;
        n -= static_cast<size_t>(r);
    }
    return true;
}

inline void WriteFull(int fd, const void* buf, size_t n) {
    const auto* p = static_cast<const uint8_t*>(buf);
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w <= 0) return;
        p += w;
        n -= static_cast<size_t>(w);
    }
}

using Blocks = std::vector<std::vector<uint8_t>>;

// The blocks the stand-in received, handed from its child process to the benchmark.
inline void SendBlocks(int fd, const Blocks& blocks) {
    const auto count = static_cast<uint32_t>(blocks.size());
    WriteFull(fd, &count, sizeof count);
    for (const auto& b : blocks) {
        const auto size = static_cast<uint32_t>(b.size());
        WriteFull(fd, &size, sizeof size);
        WriteFull(fd, b.data(), b.size());
    }
}

// False when the child did not hand them all over in time.
inline bool ReceiveBlocks(int fd, Blocks& blocks) {
    uint32_t count = 0;
    if (!ReadFull(fd, &count, sizeof count, 10000)) return false;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t size = 0;
        if (!ReadFull(fd, &size, sizeof size, 1000)) return false;
        std::vector<uint8_t> b(size);
        if (!ReadFull(fd, b.data(), size, 1000)) return false;
        blocks.push_back(std::move(b));
    }
    return true;
}

// Bytes a block takes on the wire, framed.
inline size_t FrameSize(const std::vector<uint8_t>& block) {
    return EncodeFrame(block.data(), static_cast<uint32_t>(block.size())).size();
}

// The paced stand-in in a forked child, so its own work is not counted as the tool's. In the
// child, serve(board, toParent, fromParent) runs once the board is up; the child then ends.
struct BoardChild {
    pid_t pid = -1;
    int fromChild = -1;
    int toChild = -1;
    std::string port;  // empty when the stand-in did not start
};

// The paced stand-in at PROGRAM, sending no reports.
inline sim::BoardSimOptions PacedBoard() {
    sim::BoardSimOptions o;
    o.program = true;
    o.pace = true;
    o.reportMs = 0;
    return o;
}

// Call before any thread exists: the child must not inherit half of one.
template <typename Serve>
BoardChild ForkPacedBoard(Serve serve, sim::BoardSimOptions o = PacedBoard()) {
    ::signal(SIGPIPE, SIG_IGN);  // the child may be gone when it is told to go
    BoardChild child;
    int up[2], down[2];
    if (::pipe(up) != 0 || ::pipe(down) != 0) return child;
    child.pid = ::fork();
    if (child.pid < 0) return child;
    if (child.pid == 0) {
        ::close(up[0]);
        ::close(down[1]);
        sim::BoardSim board(o);
        const std::string path = board.Start() + "\n";
        WriteFull(up[1], path.data(), path.size());
        serve(board, up[1], down[0]);
        board.Stop();
        ::_exit(0);
    }
    ::close(up[1]);
    ::close(down[0]);
    child.fromChild = up[0];
    child.toChild = down[1];
    for (char c; ReadFull(child.fromChild, &c, 1, 5000) && c != '\n';) child.port += c;
    return child;
}

// "--via rfc2217" or "--via tcp": the stand-in is reached through Debian's ser2net on loopback, in
// front of its pty, as a board behind a network serial server would be.
struct Via {
    std::unique_ptr<test::Ser2net> server;
    std::string port;  // what the tool opens: the pty, or the server's address
    std::string what;  // for the report
};

inline const char* ViaArgument(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--via") == 0) return argv[i + 1];
    return nullptr;
}

// Call after the stand-in's child is forked. port empty: asked for a server that did not start.
inline Via ReachThrough(int argc, char** argv, const std::string& pty) {
    Via via;
    const char* how = ViaArgument(argc, argv);
    if (!how) {
        via.port = pty;
        via.what = "pty";
        return via;
    }
    const bool telnet = std::strcmp(how, "tcp") != 0;
    via.server = std::make_unique<test::Ser2net>(pty, telnet ? test::Ser2net::Mode::Rfc2217 : test::Ser2net::Mode::Raw);
    if (via.server->Running()) via.port = via.server->Address();
    via.what = "ser2net on loopback, " + via.port;
    return via;
}
#endif

}  // namespace korvel::bench
