// Byte-to-handler latency of the serial port over a pty, and what an idle connection costs.
// The writer plays the board on the master side; the "UI thread" waits for events (no spinning)
// and timestamps each byte in OnReceive.
//
// Usage: bench_serial_latency [bytes=5000] [idle-seconds=10]
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "link/zyl_serial_port.h"
#include "support/fake_ui_host.h"

using namespace korvel;
using Clock = std::chrono::steady_clock;

using namespace korvel::bench;

namespace {

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

}  // namespace

int main(int argc, char** argv) {
    constexpr char kUsage[] = "bench_serial_latency [BYTES] [IDLE-SECONDS]";
    int numbers[] = {5000, 10};
    if (argc > 1 && IsHelp(argv[1])) return Usage(kUsage);
    if (argc > 3) return Usage(kUsage, argv[3]);
    for (int i = 1; i < argc; ++i) {
        char* end = nullptr;
        const long n = std::strtol(argv[i], &end, 10);
        if (*end != '\0' || n < 1 || n > 1000000) return Usage(kUsage, argv[i]);
        numbers[i - 1] = static_cast<int>(n);
    }
    const int count = numbers[0];
    const int idleSeconds = numbers[1];
    const int warmup = 100;

    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("pty");
        return 1;
    }
    const std::string slave = ptsname(master);

    test::FakeUiHost host(test::FakeUiHost::Clock::Real);
    TZylSerialPort port(host);
    port.SetCustomPortName(slave);
    port.SetPort(spCustom);
    port.SetBaudRate(br009600);
    port.SetStopBits(sb2Bits);
    port.SetDelay(0);

    // One pass: single bytes, each written after the previous one reached the handler.
    auto measure = [&](bool onUiThread) -> bool {
        port.NeedSynchronization = onUiThread;
        std::atomic<int64_t> sentAt{0};
        std::atomic<int> received{0};
        std::vector<double> latencyUs;
        latencyUs.reserve(static_cast<std::size_t>(count));
        port.OnReceive = [&](TZylSerialPort*, const ByteString& b) {
            const int64_t now = NowNs();
            const int n = received.load() + static_cast<int>(b.size());
            if (n > warmup) latencyUs.push_back(static_cast<double>(now - sentAt.load()) / 1000.0);
            received.store(n);
            received.notify_one();
        };
        port.Open();
        std::thread writer([&] {
            for (int i = 0; i < warmup + count; ++i) {
                for (int seen = received.load(); seen < i; seen = received.load()) received.wait(seen);
                const uint8_t b = static_cast<uint8_t>(i);
                sentAt.store(NowNs());
                if (write(master, &b, 1) != 1) return;
            }
        });
        const auto deadline = Clock::now() + std::chrono::seconds(120);
        while (received.load() < warmup + count && Clock::now() < deadline) host.ProcessEvents(100);
        const int got = received.load();
        received.store(warmup + count + 1);
        received.notify_one();
        writer.join();
        port.Close();
        port.OnReceive = nullptr;
        if (got < warmup + count) {
            std::fprintf(stderr, "only %d of %d bytes arrived\n", got, warmup + count);
            return false;
        }
        std::sort(latencyUs.begin(), latencyUs.end());
        auto pct = [&](double p) { return latencyUs[static_cast<std::size_t>(p * (latencyUs.size() - 1))]; };
        std::printf("%s: latency over %zu single bytes (us): p50 %.1f  p90 %.1f  p99 %.1f  max %.1f\n",
                    onUiThread ? "handler on the UI thread     " : "handler on the receive thread",
                    latencyUs.size(), pct(0.50), pct(0.90), pct(0.99), latencyUs.back());
        if (onUiThread) std::printf("target p99 <= 2000 us: %s\n", pct(0.99) <= 2000.0 ? "met" : "MISSED");
        return true;
    };
    if (!measure(false) || !measure(true)) return 1;

    // Connected and idle: the UI thread waits for events, the receive thread for the device.
    port.Open();
    const double cpu0 = CpuSeconds();
    const auto t0 = Clock::now();
    while (Clock::now() - t0 < std::chrono::seconds(idleSeconds)) host.ProcessEvents(1000);
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    const double percent = 100.0 * (CpuSeconds() - cpu0) / wall;
    std::printf("idle connection for %.1f s: CPU %.2f %% of one core (whole process)\n", wall, percent);
    std::printf("target <= 5 %%: %s\n", percent <= 5.0 ? "met" : "MISSED");

    port.Close();
    close(master);
    return 0;
}
