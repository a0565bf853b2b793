// CPU cost of waiting: the tool connected to the stand-in (a separate process, so only the
// tool's cost is counted) while idle, and while an exchange waits out a silent board; and how long
// one exchange takes beyond its wire time.
// The stand-ins are started here, or, with --port P --silent-port P, already run on those ports
// (the Windows build: scripts/wine-tests.sh starts them and links them as COM ports, or names a
// network server in front of them). With --via rfc2217|tcp the stand-ins started here are reached
// through ser2net on loopback, and the exchanges are timed both ways, so the server's share shows.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_support.h"
#include "comms/comms_data_module.h"
#include "comms/frame_codec.h"
#include "messages/message_ids.h"
#include "support/fake_ui_host.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace korvel;
using namespace korvel::bench;
using Clock = std::chrono::steady_clock;

namespace {

#ifndef _WIN32
struct Sim {
    pid_t pid = -1;
    std::string port;
    Sim(const std::string& exe, std::vector<std::string> args) {
        int out[2];
        if (::pipe(out) != 0) throw std::runtime_error("pipe");
        pid = ::fork();
        if (pid == 0) {
            ::dup2(out[1], 1);
            ::close(out[0]);
            std::vector<char*> argv{const_cast<char*>(exe.c_str())};
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(exe.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        char c;
        while (::read(out[0], &c, 1) == 1 && c != '\n') port += c;
        ::close(out[0]);
        if (port.empty()) throw std::runtime_error("korvel-board-sim did not start: " + exe);
    }
    ~Sim() {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
};

#endif

// A stand-in started with these options, or the port given for it; with `via`, behind ser2net.
struct Board {
#ifndef _WIN32
    std::optional<Sim> sim;
    std::unique_ptr<test::Ser2net> server;
#endif
    std::string port;
    std::string pty;  // the stand-in's own port, where one was started here
    Board(const std::string& exe, const std::string& given, std::vector<std::string> args, const char* via = nullptr)
        : port(given) {
#ifndef _WIN32
        if (port.empty()) pty = port = sim.emplace(exe, std::move(args)).port;
        if (via && given.empty()) {
            const auto mode = std::string(via) == "tcp" ? test::Ser2net::Mode::Raw : test::Ser2net::Mode::Rfc2217;
            server = std::make_unique<test::Ser2net>(pty, mode);
            port = server->Running() ? server->Address() : "";
        }
#else
        (void)exe;
        (void)args;
        (void)via;
#endif
        if (port.empty()) throw std::runtime_error("no port for the stand-in (--port, --silent-port, --via)");
    }
};

// Exchanges of the keep-alive (160, answered by 32) on the paced stand-in: their times beyond the
// wire time of request and answer, p50 and p99 in ms; empty when an exchange went unanswered.
std::vector<double> ExchangeExcess(const std::string& port, int count) {
    test::FakeUiHost host(test::FakeUiHost::Clock::Real);
    TCommsDataModule m(host);
    m.ZylSerialPort.SetCustomPortName(port);
    m.ZylSerialPort.SetPort(spCustom);
    m.Connect();
    const uint8_t request[] = {P2KSETCOMMAND}, answer[] = {K2PRSETCOMMAND};
    const double wireMs = static_cast<double>(EncodeFrame(request, 1).size() + EncodeFrame(answer, 1).size()) * 11.0 /
                          9600.0 * 1000.0;
    std::vector<double> excess;
    for (int i = 0; i < count + 5; ++i) {
        const auto t0 = Clock::now();
        if (!m.TransceiveBlock(request, 1, K2PRSETCOMMAND)) return {};
        // The first few settle the board into service mode.
        if (i >= 5) excess.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count() - wireMs);
        host.ProcessEvents(0);
    }
    m.Disconnect();
    host.Shutdown();
    std::sort(excess.begin(), excess.end());
    return {excess[excess.size() / 2], excess[std::min(excess.size() - 1, excess.size() * 99 / 100)]};
}

struct Measure {
    double cpu0 = CpuSeconds();
    Clock::time_point t0 = Clock::now();
    void Report(const char* what, double limitPercent, bool& ok) const {
        const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
        const double pct = 100.0 * (CpuSeconds() - cpu0) / wall;
        const bool pass = pct <= limitPercent;
        ok = ok && pass;
        std::printf("%-44s wall %6.2f s  cpu %5.2f %% of a core  (target <= %.0f %%) %s\n", what, wall, pct,
                    limitPercent, pass ? "ok" : "OVER");
    }
};

}  // namespace

int main(int argc, char** argv) {
    std::string exe = argv[0];
    exe = exe.substr(0, exe.rfind('/') + 1) + "korvel-board-sim";
    double idleSeconds = 10;
    int exchanges = 200;
    std::string port, silentPort;
    const char* via = nullptr;
    constexpr char kUsage[] =
        "bench_comms_cpu [--idle-s SECONDS] [--port NAME] [--silent-port NAME] [--via rfc2217|tcp] [--exchanges N]";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (IsHelp(argv[i])) return Usage(kUsage);
        if (i + 1 == argc) return Usage(kUsage, argv[i]);  // every option takes a value
        char* end = nullptr;
        if (a == "--idle-s") {
            idleSeconds = std::strtod(argv[++i], &end);
            if (*end != '\0' || !(idleSeconds > 0)) return Usage(kUsage, argv[i]);
        } else if (a == "--port") {
            port = argv[++i];
        } else if (a == "--silent-port") {
            silentPort = argv[++i];
        } else if (a == "--via") {
            via = argv[++i];
            if (std::string(via) != "rfc2217" && std::string(via) != "tcp") return Usage(kUsage, via);
        } else if (a == "--exchanges") {
            exchanges = static_cast<int>(std::strtol(argv[++i], &end, 10));
            if (*end != '\0' || exchanges <= 0) return Usage(kUsage, argv[i]);
        } else {
            return Usage(kUsage, argv[i]);
        }
    }
    bool ok = true;
    // Through a server the target is the network line's: it must not cost more than the port.
    const double idleLimit = via ? 1 : 5;

    {
        Board sim(exe, port, {"--program", "--pace", "--report-ms", "1000"}, via);
        std::printf("line: %s\n", sim.port.c_str());
        test::FakeUiHost host(test::FakeUiHost::Clock::Real);
        TCommsDataModule m(host);
        int blocks = 0;
        m.OnDatablock = [&](TCommsDataModule*, int32_t, const uint8_t*) { ++blocks; };
        m.ZylSerialPort.SetCustomPortName(sim.port);
        m.ZylSerialPort.SetPort(spCustom);
        m.Connect();
        Measure meas;
        // The main loop of an idle window: wait for events, nothing else.
        const auto end = Clock::now() + std::chrono::duration<double>(idleSeconds);
        while (Clock::now() < end) host.ProcessEvents(100);
        meas.Report("connected, idle (reports and 48 every second)", idleLimit, ok);
        std::printf("  blocks received: %d\n", blocks);
        m.Disconnect();
        host.Shutdown();
    }
    {
        Board sim(exe, silentPort, {"--silent", "--report-ms", "0"}, via);
        test::FakeUiHost host(test::FakeUiHost::Clock::Real);
        TCommsDataModule m(host);
        m.ZylSerialPort.SetCustomPortName(sim.port);
        m.ZylSerialPort.SetPort(spCustom);
        m.Connect();
        Measure meas;
        const uint8_t set[] = {P2KSETNVM, 0, 0, 1, 0};
        const bool answered = m.TransceiveBlock(set, 5, K2PRSETNVM);
        meas.Report("TransceiveBlock on a silent board", 5, ok);
        std::printf("  answered: %s\n", answered ? "yes (unexpected)" : "no");
        m.Disconnect();
        host.Shutdown();
    }
    if (exchanges > 0) {
        Board sim(exe, port, {"--program", "--pace", "--report-ms", "0"}, via);
        // The pty first: the server opens it only for a connection, and lets it go only after one.
        const bool both = !sim.pty.empty() && sim.pty != sim.port;
        const std::vector<double> pty = both ? ExchangeExcess(sim.pty, exchanges) : std::vector<double>{};
        const std::vector<double> line = ExchangeExcess(sim.port, exchanges);
        ok = ok && !line.empty() && (!both || !pty.empty());
        if (!line.empty())
            std::printf("%d exchanges (160 -> 32), time beyond the wire time: p50 %.2f ms, p99 %.2f ms\n", exchanges,
                        line[0], line[1]);
        if (!pty.empty() && !line.empty())
            std::printf("  the same on the pty itself: p50 %.2f ms, p99 %.2f ms; the server adds p50 %.2f ms, "
                        "p99 %.2f ms\n", pty[0], pty[1], line[0] - pty[0], line[1] - pty[1]);
    }
    return ok ? 0 : 1;
}
