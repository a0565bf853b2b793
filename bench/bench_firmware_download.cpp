// A whole firmware download against the paced stand-in: wall time against the time the bytes
// need on the wire at 9600 baud 8N2, and what the waiting costs the tool's process in CPU. The
// stand-in runs in a forked child so its own work is not counted.
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "board_sim.h"
#include "bench_support.h"
#include "comms/comms_data_module.h"
#include "comms/flash_image.h"
#include "comms/frame_codec.h"
#include "support/fake_ui_host.h"

using namespace korvel;
using Clock = std::chrono::steady_clock;

using namespace korvel::bench;

namespace {

constexpr double kWallFactor = 1.05;
constexpr double kCpuPercent = 5.0;

// Child: plays the board until its loader has the image or the parent gives up, then hands the
// image back with the moment it was complete.
void Serve(sim::BoardSim& board, int toParent, int fromParent) {
    // The download ends when the last byte has crossed the wire, not when the tool wrote it.
    int64_t doneNs = 0;
    for (pollfd pfd{fromParent, POLLIN, 0}; ::poll(&pfd, 1, 1) == 0;) {
        if (board.LoaderDone()) {
            doneNs = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
            break;
        }
    }
    const auto image = board.LoaderImage();
    const uint32_t chunks = board.LoaderChunksReceived();
    WriteFull(toParent, &doneNs, sizeof doneNs);
    WriteFull(toParent, &chunks, sizeof chunks);
    WriteFull(toParent, image.data(), image.size());
}

}  // namespace

int main(int argc, char** argv) {
    constexpr char kUsage[] = "bench_firmware_download [--via rfc2217|tcp] [IMAGE.a43]";
    std::string file = KORVEL_TEST_DATA "/firmware/srec_cat_full.a43";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (IsHelp(argv[i])) return Usage(kUsage);
        if (a == "--via") {
            if (i + 1 == argc || (std::string(argv[i + 1]) != "rfc2217" && std::string(argv[i + 1]) != "tcp"))
                return Usage(kUsage, argv[i + 1 == argc ? i : i + 1]);
            ++i;
        } else if (a[0] == '-' || i + 1 < argc) {
            return Usage(kUsage, argv[i]);
        } else {
            file = a;
        }
    }
    // Read before the stand-in starts: an image that cannot be read is a wrong argument.
    TFlashImage img;
    try {
        img.ReadHexFile(file);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", file.c_str(), e.what());
        return 2;
    }

    const BoardChild board = ForkPacedBoard(Serve);
    if (board.port.empty()) {
        std::fprintf(stderr, "the stand-in did not start\n");
        return 2;
    }
    const Via via = ReachThrough(argc, argv, board.port);
    if (via.port.empty()) {
        std::fprintf(stderr, "ser2net did not start\n");
        return 2;
    }

    const uint8_t start[] = {0xA3, 'K', 'I', 'C', 'K', 'O', 'F', 'F'};
    const size_t frame = EncodeFrame(start, sizeof start).size();
    const double wireBytes = 480.0 * 64 + 480 + static_cast<double>(frame);
    const double limit = wireBytes * 11.0 / 9600.0 + 1.0;

    double wall = 0, toolWall = 0, cpu = 0;
    bool downloaded = false;
    bool back = false;
    uint32_t chunks = 0;
    std::vector<uint8_t> got(480 * 64);
    {
        test::FakeUiHost host(test::FakeUiHost::Clock::Real);
        TCommsDataModule m(host);
        m.ZylSerialPort.SetCustomPortName(via.port);
        m.ZylSerialPort.SetPort(spCustom);
        double cpu0 = 0;
        auto t0 = Clock::now();
        try {
            m.Connect();
            cpu0 = CpuSeconds();
            t0 = Clock::now();
            m.FlashFirmware(file);
            downloaded = true;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "download failed: %s\n", e.what());
        }
        // The tool's CPU over its own run; the port stays open until the board is done.
        const auto toolEnd = Clock::now();
        cpu = CpuSeconds() - cpu0;
        if (!downloaded) WriteFull(board.toChild, "x", 1);
        int64_t doneNs = 0;
        back = ReadFull(board.fromChild, &doneNs, sizeof doneNs, 10000) && ReadFull(board.fromChild, &chunks, sizeof chunks, 1000) &&
               ReadFull(board.fromChild, got.data(), got.size(), 10000);
        const auto end = std::max(toolEnd, Clock::time_point(std::chrono::nanoseconds(doneNs)));
        wall = std::chrono::duration<double>(end - t0).count();
        toolWall = std::chrono::duration<double>(toolEnd - t0).count();
    }
    WriteFull(board.toChild, "x", 1);
    ::waitpid(board.pid, nullptr, 0);

    bool same = back && chunks == 480;
    for (uint32_t i = 0; same && i < got.size(); ++i) same = got[i] == img.GetMemory(0x8800 + i);

    const double cpuPct = toolWall > 0 ? 100.0 * cpu / toolWall : 0;
    const bool wallOk = wall <= kWallFactor * limit;
    const bool cpuOk = cpuPct <= kCpuPercent;
    std::printf("firmware download of %s (%s)\n", file.c_str(), via.what.c_str());
    std::printf("  wire-time limit %.2f s (%.0f bytes at 9600 8N2 + 1 s pause)\n", limit, wireBytes);
    std::printf("  wall %.2f s = %.3f x limit (target <= %.2f) %s\n", wall, wall / limit, kWallFactor,
                wallOk ? "ok" : "OVER");
    std::printf("  cpu %.2f s in %.2f s = %.2f %% of a core (target <= %.0f %%) %s\n", cpu, toolWall, cpuPct, kCpuPercent,
                cpuOk ? "ok" : "OVER");
    std::printf("  board received %u chunks, image %s\n", chunks, same ? "identical" : "DIFFERS");
    return downloaded && same && wallOk && cpuOk ? 0 : 1;
}
