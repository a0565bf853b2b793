// CPU cost of waiting: the tool connected to the stand-in (a separate process, so only the
// tool's cost is counted) while idle, and while an exchange waits out a silent board.
// The stand-ins are started here, or, with --port P --silent-port P, already run on those ports
// (the Windows build: scripts/wine-tests.sh starts them and links them as COM ports).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_support.h"
#include "comms/comms_data_module.h"
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

// A stand-in started with these options, or the port given for it.
struct Board {
#ifndef _WIN32
    std::optional<Sim> sim;
#endif
    std::string port;
    Board(const std::string& exe, const std::string& given, std::vector<std::string> args) : port(given) {
#ifndef _WIN32
        if (port.empty()) port = sim.emplace(exe, std::move(args)).port;
#else
        (void)exe;
        (void)args;
#endif
        if (port.empty()) throw std::runtime_error("no port for the stand-in (--port, --silent-port)");
    }
};

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
    std::string port, silentPort;
    constexpr char kUsage[] = "bench_comms_cpu [--idle-s SECONDS] [--port NAME] [--silent-port NAME]";
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
        } else {
            return Usage(kUsage, argv[i]);
        }
    }
    bool ok = true;

    {
        Board sim(exe, port, {"--program", "--pace", "--report-ms", "1000"});
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
        meas.Report("connected, idle (reports and 48 every second)", 5, ok);
        std::printf("  blocks received: %d\n", blocks);
        m.Disconnect();
        host.Shutdown();
    }
    {
        Board sim(exe, silentPort, {"--silent", "--report-ms", "0"});
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
    return ok ? 0 : 1;
}
