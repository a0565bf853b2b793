// The charts' costs: CPU of the live trend at one report a second with every series shown,
// opening and drawing a week of logging, time per redraw while panning and zooming it, and the
// memory of a working day of live history.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <qcustomplot.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "charts/chart_form.h"
#include "resident_memory.h"
#include "scenario.h"
#include "support/fake_ui_host.h"

using namespace korvel;

namespace {

double CpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// This thread's CPU time: on a machine shared with other work the wall clock measures the others.
double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

struct Spread {
    double median, min, max, p95;
};
Spread Of(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v.front(), v.back(), v[std::min(v.size() - 1, v.size() * 95 / 100)]};
}

constexpr double kStart = 1768176000.0;  // 2026-01-12 00:00, local time as the axis reads it

// CPU a report costs with the trend shown: decoding into the history, the points, the redraw.
double TrendCpuPerReport(TTrendHistory& history, TChartForm& form, double& t, int reports) {
    const double cpu0 = CpuMs();
    for (int i = 0; i < reports; ++i) {
        const std::vector<uint8_t> r = sim::ScenarioReport(t);
        history.AddReport(t, r.data(), r.size());
        t += 1;
        QApplication::processEvents();  // the queued redraw, as the event loop runs it each second
    }
    (void)form;
    return (CpuMs() - cpu0) / reports;
}

}  // namespace

int main(int argc, char** argv) {
    if (const int code = bench::NoArguments(argc, argv, "bench_charts"); code >= 0) return code;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    test::FakeUiHost host;
    QWidget owner;

    // ---- live trend ----
    {
        TTrendHistory history;
        std::unique_ptr<TChartForm> trend;
        ShowTrend(trend, history, host, &owner);
        QApplication::processEvents();
        double t = kStart + 6 * 3600;
        TrendCpuPerReport(history, *trend, t, 60);  // warm-up
        std::vector<double> tenMinutes;
        for (int run = 0; run < 5; ++run) tenMinutes.push_back(TrendCpuPerReport(history, *trend, t, 120));
        const Spread a = Of(tenMinutes);
        std::printf("live trend, 10 min window, %zu series ticked: %.2f ms CPU a report (min %.2f, max %.2f) "
                    "= %.2f %% of a core at one report a second (target <= 1 %%)\n",
                    static_cast<size_t>(std::count_if(TrendSeries().begin(), TrendSeries().end(),
                                                      [](const TTrendSeries& s) { return s.Shown; })),
                    a.median, a.min, a.max, a.median / 10.0);

        // A full working day behind it, all of it in view: the worst case.
        trend->hide();
        const long rss0 = VmRssKb();
        while (history.Size() < history.Capacity()) {
            const std::vector<uint8_t> r = sim::ScenarioReport(t);
            history.AddReport(t, r.data(), r.size());
            t += 1;
        }
        const long rssHistory = VmRssKb();
        trend->show();
        trend->SetWindow(TChartForm::TWindow::All);
        QApplication::processEvents();
        const long rssShown = VmRssKb();
        std::vector<double> all;
        for (int run = 0; run < 5; ++run) all.push_back(TrendCpuPerReport(history, *trend, t, 30));
        const Spread b = Of(all);
        std::printf("live trend, whole day in view (%zu reports): %.2f ms CPU a report (min %.2f, max %.2f) = %.2f %% "
                    "of a core\n",
                    history.Size(), b.median, b.min, b.max, b.median / 10.0);
        // Idle, no report coming: first bare, then with the marks and the readout standing.
        auto idlePercent = [] {
            const double cpu0 = CpuMs();
            QElapsedTimer idle;
            idle.start();
            while (idle.elapsed() < 3000) {
                QApplication::processEvents(QEventLoop::AllEvents, 50);
                QThread::msleep(10);
            }
            return (CpuMs() - cpu0) / static_cast<double>(idle.elapsed()) * 100.0;
        };
        const double idleBare = idlePercent();
        // The same day with 20 marks and the pointer's readout standing in the chart.
        for (int m = 0; m < 20; ++m)
            history.AddMark(history.Time(0) + (m + 0.5) * (t - history.Time(0)) / 20, TTrendMarkKind::Job, "mark");
        trend->Plot->SetCursorAt(t - 3600);
        std::vector<double> marked;
        for (int run = 0; run < 5; ++run) marked.push_back(TrendCpuPerReport(history, *trend, t, 30));
        const Spread c = Of(marked);
        std::printf("live trend, whole day in view with %d marks and the readout: %.2f ms CPU a report (min %.2f, "
                    "max %.2f) = %.2f %% of a core\n",
                    trend->Plot->MarkCount(), c.median, c.min, c.max, c.median / 10.0);
        std::printf("idle 3 s, whole day in view: %.3f %% of a core bare, %.3f %% with the readout and the marks\n",
                    idleBare, idlePercent());
        std::printf("history of a working day (%zu reports): %.2f MB held (bound %.2f MB), resident +%ld kB; "
                    "shown with every series: +%ld kB more\n",
                    history.Size(), history.MemoryBytes() / 1048576.0,
                    history.Capacity() * TTrendHistory::kBytesPerSample / 1048576.0, rssHistory - rss0,
                    rssShown - rssHistory);
    }

    // ---- a week of logging ----
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("week.csv"));
    {
        const std::string text = sim::ScenarioLog(120960, kStart, 5, sim::LogStyle::Dutch);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()))
            return 1;
        std::printf("week log: 120960 rows, %.1f MB\n", text.size() / 1048576.0);
    }
    std::vector<double> open, openCpu, parse, parseCpu;
    TChartForm* week = nullptr;
    for (int run = 0; run < 5; ++run) {
        if (week != nullptr) delete week;
        {
            QFile f(path);
            f.open(QIODevice::ReadOnly);
            const QByteArray bytes = f.readAll();
            QElapsedTimer p;
            p.start();
            const double cpu = ThreadCpuMs();
            const TLogReadResult r = ReadLog(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
            parse.push_back(p.nsecsElapsed() / 1e6);
            parseCpu.push_back(ThreadCpuMs() - cpu);
        }
        QElapsedTimer timer;
        timer.start();
        const double cpu = ThreadCpuMs();
        week = TChartForm::OpenLog(path, host, &owner);
        if (week == nullptr) return 1;
        week->repaint();  // drawn: the plot's own buffer and the window
        week->Plot->Plot()->replot(QCustomPlot::rpImmediateRefresh);
        open.push_back(timer.nsecsElapsed() / 1e6);
        openCpu.push_back(ThreadCpuMs() - cpu);
    }
    const Spread o = Of(open);
    const Spread oc = Of(openCpu);
    const Spread p = Of(parse);
    const Spread pc = Of(parseCpu);
    std::printf("open and draw the week: CPU median %.0f ms (min %.0f, max %.0f), of which reading the text %.0f ms; "
                "wall clock median %.0f ms (min %.0f, max %.0f), reading %.0f ms (target <= 1000 ms)\n",
                oc.median, oc.min, oc.max, pc.median, o.median, o.min, o.max, p.median);

    QCustomPlot& plot = *week->Plot->Plot();
    const double first = kStart;
    const double last = kStart + 120959 * 5.0;
    for (const auto& [name, span] : {std::pair{"week", last - first}, std::pair{"day", 86400.0}, std::pair{"hour", 3600.0}}) {
        std::vector<double> ms, cpuMs;
        double lower = first;
        for (int step = 0; step < 40; ++step) {
            QElapsedTimer timer;
            timer.start();
            const double cpu = ThreadCpuMs();
            week->Plot->SetXRange(lower, lower + span);  // as a drag or wheel step sets it, values refit
            plot.replot(QCustomPlot::rpImmediateRefresh);
            ms.push_back(timer.nsecsElapsed() / 1e6);
            cpuMs.push_back(ThreadCpuMs() - cpu);
            lower += span * 0.05;
            if (lower + span > last) lower = first;
        }
        const Spread s = Of(ms);
        const Spread c = Of(cpuMs);
        std::printf("redraw while panning, %s in view: CPU median %.1f ms, p95 %.1f ms; wall clock median %.1f ms, "
                    "p95 %.1f ms, max %.1f ms\n",
                    name, c.median, c.p95, s.median, s.p95, s.max);
    }
    delete week;
    return 0;
}
