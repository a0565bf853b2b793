// The line's record: the CPU a capture costs while watching (the port's tap cutting the line into
// packets, each written and flushed), the size of a 24-hour capture, and the time to open that
// capture in the traffic window.
#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <vector>

#include "bench_support.h"
#include "capture/line_record.h"
#include "capture/traffic_form.h"
#include "comms/frame_codec.h"
#include "messages/message_ids.h"
#include "scenario.h"
#include "support/fake_ui_host.h"

using namespace korvel;

namespace {

constexpr char kUsage[] = "bench_capture [--help]";
constexpr int kDaySeconds = 24 * 60 * 60;
constexpr double kStart = 1768176000.0;  // 2026-01-12 00:00

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// A day of watching through the tap, each second's report (and, at PROGRAM, "Are you there ?")
// handed over in reads of the given size as the port reads them. Returns the tap's CPU seconds.
double Day(TLineRecord& record, size_t readSize, bool asking, bool drain = false) {
    const std::vector<uint8_t> ask = [] {
        const uint8_t b[] = {K2PGETCOMMAND};
        return EncodeFrame(b, 1);
    }();
    double cpu = 0;
    for (int s = 0; s < kDaySeconds; ++s) {
        const double t = kStart + s;
        std::vector<uint8_t> wire;
        const std::vector<uint8_t> report = sim::ScenarioReport(t);
        wire = EncodeFrame(report.data(), static_cast<uint32_t>(report.size()));
        if (asking) wire.insert(wire.end(), ask.begin(), ask.end());
        const double before = ThreadCpuSeconds();
        for (size_t at = 0; at < wire.size(); at += readSize)
            record.LineBytes(TLineDirection::Inbound, wire.data() + at, std::min(readSize, wire.size() - at));
        if (drain) QApplication::processEvents();  // the traffic list takes them in, as the event loop would
        cpu += ThreadCpuSeconds() - before;
    }
    return cpu;
}

}  // namespace

int main(int argc, char** argv) {
    if (const int code = bench::NoArguments(argc, argv, kUsage); code >= 0) return code;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const std::string capture = dir.filePath(QStringLiteral("day.pcapng")).toStdString();
    const std::string asking = dir.filePath(QStringLiteral("day-asking.pcapng")).toStdString();

    std::printf("A day of watching (86,400 reports, one a second) through the port's tap:\n");
    for (const size_t read : {size_t{1}, size_t{16}, size_t{4096}}) {
        TLineRecord idle("bench");
        idle.LineOpened("COM33");
        const double split = Day(idle, read, false);
        TLineRecord record("bench");
        record.LineOpened("COM33");
        record.StartFile(capture);
        const double written = Day(record, read, false);
        record.StopFile();
        std::printf("  reads of %4zu bytes: no capture %.2f us a report, capture on %.2f us a report: "
                    "%.4f %% of a core extra\n",
                    read, split / kDaySeconds * 1e6, written / kDaySeconds * 1e6, (written - split) / kDaySeconds * 100);
    }
    {
        // The window as it runs: the traffic list takes every packet too, whether it is shown or not.
        TLineRecord record("bench");
        TTrafficLog log;
        TTrafficFeed feed(record, log, nullptr);
        record.LineOpened("COM33");
        record.StartFile(capture);
        const double window = Day(record, 16, false, true);
        std::printf("  the window's traffic list beside the capture (reads of 16 bytes): %.2f us a report, %.4f %% of a core\n",
                    window / kDaySeconds * 1e6, window / kDaySeconds * 100);
    }
    {
        TLineRecord record("bench");
        record.LineOpened("COM33");
        record.StartFile(asking);
        Day(record, 4096, true);
    }
    std::printf("A 24-hour capture: %.1f MB of reports alone; %.1f MB with the board asking \"Are you there ?\" "
                "every second (switch at PROGRAM)\n",
                static_cast<double>(std::filesystem::file_size(capture)) / 1e6,
                static_cast<double>(std::filesystem::file_size(asking)) / 1e6);

    test::FakeUiHost host;
    for (const std::string& file : {capture, asking}) {
        std::vector<double> ms;
        for (int run = 0; run < 5; ++run) {
            QElapsedTimer timer;
            timer.start();
            TTrafficForm* form = TTrafficForm::OpenCapture(QString::fromStdString(file), host, nullptr);
            QApplication::processEvents();  // shown and painted
            if (form != nullptr) form->List->repaint();
            ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            delete form;
        }
        std::sort(ms.begin(), ms.end());
        std::printf("Opened in the traffic window (%s): median %.0f ms (%.0f-%.0f)  [target <= 1000 ms]\n",
                    file == capture ? "reports" : "reports and questions", ms[2], ms.front(), ms.back());
    }
    return 0;
}
