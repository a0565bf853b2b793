// A whole settings write, through the main window as the engineer starts it, against the paced
// stand-in in service mode: 115 write requests and the store, each waiting for its answer. Wall
// time against the time the frames of the run need on the wire at 9600 baud 8N2 (counted from the
// blocks the board actually received and the answers it gave, stuffing included), and what the
// waiting costs the tool's process in CPU. The stand-in runs in a forked child so its own work is
// not counted.
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "app/qt_ui_host.h"
#include "bench_support.h"
#include "board_sim.h"
#include "messages/advanced_view_form.h"
#include "messages/message_ids.h"
#include "settings/advanced_settings_form.h"
#include "settings/nvm_parameters.h"
#include "settings/settings_transfer.h"

using namespace korvel;
using Clock = std::chrono::steady_clock;

using namespace korvel::bench;

namespace {

constexpr double kWallFactor = 1.10;
constexpr double kCpuPercent = 5.0;

// Child: plays the board until the parent is done, then hands back every block it received and
// the parameter image it holds.
void Serve(sim::BoardSim& board, int toParent, int fromParent) {
    char c;
    ReadFull(fromParent, &c, 1, 600000);
    SendBlocks(toParent, board.ReceivedBlocks());
    const auto nvm = board.Nvm();
    WriteFull(toParent, nvm.data(), nvm.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (const int code = NoArguments(argc, argv, "bench_settings_write"); code >= 0) return code;
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

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::vector<std::string> boxes;
    double wall = 0, cpu = 0;
    {
        QtUiHost host;
        host.MessageBoxHook = [&](TMsgDlgType, const std::string& text, TMsgDlgButtons) {
            boxes.push_back(text);
            return TModalResult::mrOk;
        };
        TAdvancedViewForm view;
        AdvancedViewForm = &view;
        TAdvancedSettingsForm settings;
        AdvancedSettingsForm = &settings;
        TMainForm form(host);
        form.CommsDataModule->ZylSerialPort.SetCustomPortName(via.port);
        form.CommsDataModule->ZylSerialPort.SetPort(spCustom);
        form.ConnectAction->trigger();
        form.ModeServiceAction->trigger();
        const auto deadline = Clock::now() + std::chrono::seconds(15);
        while (!(form.SetSettingsAction->isEnabled() && form.SettingsCollected) && Clock::now() < deadline)
            host.ProcessEvents(20);
        if (!form.SettingsCollected) {
            std::fprintf(stderr, "the stand-in did not enter service mode\n");
            WriteFull(board.toChild, "x", 1);
            ::waitpid(board.pid, nullptr, 0);
            return 2;
        }
        // Let the fetches' answers cross the wire before the clock starts.
        const auto settle = Clock::now() + std::chrono::milliseconds(800);
        while (Clock::now() < settle) host.ProcessEvents(20);
        boxes.clear();
        const double cpu0 = CpuSeconds();
        const auto t0 = Clock::now();
        form.SetSettingsAction->trigger();
        wall = std::chrono::duration<double>(Clock::now() - t0).count();
        cpu = CpuSeconds() - cpu0;
        form.DisconnectActionExecute();
        AdvancedSettingsForm = nullptr;
        AdvancedViewForm = nullptr;
        host.Shutdown();
    }

    WriteFull(board.toChild, "x", 1);
    Blocks received;
    bool back = ReceiveBlocks(board.fromChild, received);
    std::vector<uint8_t> nvm(NVM_REPORT_SIZE - 1);
    back = back && ReadFull(board.fromChild, nvm.data(), nvm.size(), 1000);
    ::waitpid(board.pid, nullptr, 0);

    // The run: from the first write request on. Every frame the tool sent and every answer the
    // board gave for it; the store's answer carries the image.
    const auto first = std::find_if(received.begin(), received.end(),
                                    [](const auto& b) { return !b.empty() && b[0] == P2KSETNVM; });
    size_t wireBytes = 0, writes = 0, stores = 0, others = 0;
    std::vector<uint8_t> image{K2PRFLASHNVM};
    image.insert(image.end(), nvm.begin(), nvm.end());
    for (auto it = first; it != received.end(); ++it) {
        wireBytes += FrameSize(*it);
        if ((*it)[0] == P2KSETNVM) {
            ++writes;
            wireBytes += FrameSize({K2PRSETNVM});
        } else if ((*it)[0] == P2KFLASHNVM) {
            ++stores;
            wireBytes += FrameSize(image);
        } else {
            ++others;
        }
    }
    const double limit = static_cast<double>(wireBytes) * 11.0 / 9600.0;
    const double cpuPct = wall > 0 ? 100.0 * cpu / wall : 0;
    const bool programmed = boxes == std::vector<std::string>{MSG_PROGRAMMED};
    const bool wallOk = wall <= kWallFactor * limit;
    const bool cpuOk = cpuPct <= kCpuPercent;
    std::printf("settings write (%s): %zu write requests, %zu store, %zu other blocks in the run; %s\n",
                via.what.c_str(), writes, stores, others,
                programmed ? "\"Geprogrammeerd.\"" : (boxes.empty() ? "no message" : boxes.front().c_str()));
    std::printf("  wire-time limit %.3f s (%zu bytes at 9600 8N2)\n", limit, wireBytes);
    std::printf("  wall %.3f s = %.3f x limit (target <= %.2f) %s\n", wall, wall / limit, kWallFactor,
                wallOk ? "ok" : "OVER");
    std::printf("  cpu %.3f s in %.3f s = %.2f %% of a core (target <= %.0f %%) %s\n", cpu, wall, cpuPct, kCpuPercent,
                cpuOk ? "ok" : "OVER");
    return back && programmed && writes == NVM_PARAMETER_COUNT && stores == 1 && wallOk && cpuOk ? 0 : 1;
}
