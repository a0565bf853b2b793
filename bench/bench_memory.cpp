// Resident memory of the tool after an hour's worth of real-time reports (3600 blocks, one a
// second) decoded, shown and logged, against the memory before them.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "bench_support.h"
#include "app/program_start.h"
#include "messages/message_ids.h"
#include "resident_memory.h"

int main(int argc, char** argv) {
    if (const int code = korvel::bench::NoArguments(argc, argv, "bench_memory"); code >= 0) return code;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QTemporaryDir settings;  // window placements: not the user's
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    QApplication app(argc, argv);
    korvel::TProgram program(korvel::TProgramOptions{});
    korvel::TMainForm& form = *program.Form;
    form.show();
    QApplication::processEvents();

    QTemporaryDir dir;
    QDateTime now = QDateTime::currentDateTime();
    form.Now = [&now] { return now; };
    form.StartLoggingActionAccept(dir.filePath(QStringLiteral("hour.csv")));

    std::array<uint8_t, 515> block{};
    block[0] = korvel::K2MSENDMONDATA;
    auto feed = [&](int i) {
        block[1] = static_cast<uint8_t>(i);        // NTC1 moves
        block[11] = static_cast<uint8_t>(i / 7);   // outside air moves
        block[48] = static_cast<uint8_t>(i % 17);  // state list, blank now and then
        block[87] = static_cast<uint8_t>(i);
        form.DatablockNotification(nullptr, static_cast<int32_t>(korvel::REALTIME_REPORT_SIZE + 2), block.data());
        now = now.addSecs(1);
        if (i % 50 == 0) QApplication::processEvents();
    };
    for (int i = 0; i < 60; ++i) feed(i);  // warm-up: first allocations of fonts, caches, file buffer
    const long before = VmRssKb();
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 3600; ++i) feed(i);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    QApplication::processEvents();
    const long after = VmRssKb();
    form.StopLoggingActionExecute();
    std::printf("VmRSS before %ld kB, after 3600 reports with logging %ld kB, growth %ld kB; "
                "%.2f ms per report (decode, display, log)\n",
                before, after, after - before, seconds * 1000.0 / 3600.0);
    return 0;
}
