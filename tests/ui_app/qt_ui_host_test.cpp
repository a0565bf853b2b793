#include "app/qt_ui_host.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace korvel {
namespace {

using Clock = std::chrono::steady_clock;

double ThreadCpuMs() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

// Pumps the UI side until done or 5 s passed.
template <typename Pred>
bool Pump(QtUiHost& host, Pred done) {
    const auto end = Clock::now() + std::chrono::seconds(5);
    while (!done() && Clock::now() < end) host.ProcessEvents(10);
    return done();
}

TEST(QtUiHost, HandOversRunOnTheUiThreadInOrder) {
    QtUiHost host;
    std::vector<int> order;
    std::vector<bool> onUi;
    std::atomic<int> returned{0};
    std::thread worker([&] {
        for (int i = 0; i < 20; ++i) {
            const bool ran = host.RunOnUiThreadAndWait([&, i] {
                order.push_back(i);
                onUi.push_back(QThread::currentThread() == qApp->thread());
            });
            if (ran) ++returned;
        }
    });
    EXPECT_TRUE(Pump(host, [&] { return returned == 20; }));
    worker.join();
    ASSERT_EQ(order.size(), 20u);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(order[i], i);
        EXPECT_TRUE(onUi[i]);
    }
    // On the UI thread itself the call runs at once.
    bool direct = false;
    EXPECT_TRUE(host.RunOnUiThreadAndWait([&] { direct = true; }));
    EXPECT_TRUE(direct);
}

TEST(QtUiHost, ShutdownReleasesAWaitingWorkerAndRefusesLaterCalls) {
    QtUiHost host;
    std::atomic<bool> started{false}, finished{false}, ran{false}, result{true};
    std::thread worker([&] {
        started = true;
        result = host.RunOnUiThreadAndWait([&] { ran = true; });
        finished = true;
    });
    while (!started) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    host.Shutdown();  // the UI thread never processed the call
    worker.join();
    EXPECT_TRUE(finished);
    EXPECT_FALSE(result);
    // The abandoned call must not run later either.
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
    std::thread late([&] { result = host.RunOnUiThreadAndWait([&] { ran = true; }); });
    late.join();
    EXPECT_FALSE(result);
    EXPECT_FALSE(ran);
}

// A question's buttons read as the questions name them, whatever language Qt's own texts are in;
// Enter takes the one that changes nothing; the advice stands below the text.
TEST(QtUiHost, QuestionsKeepThingsOnEnterAndNameTheirButtonsAsShown) {
    QtUiHost host;
    QStringList buttons;
    QString shown;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        for (const QAbstractButton* b : box->buttons()) buttons << b->text();
        shown = box->text() + '|' + box->informativeText();
        QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_EQ(host.MessageBoxWithAdvice(TMsgDlgType::mtConfirmation, "Vraag.", "Kies OK of Annuleren.",
                                        TMsgDlgButtons::mbOKCancel),
              TModalResult::mrCancel);
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{BUTTON_CANCEL, BUTTON_OK}));
    EXPECT_EQ(shown, QStringLiteral("Vraag.|Kies OK of Annuleren."));
}

TEST(QtUiHost, WaitingSleepsUntilTheBoundOrTheNextEvent) {
    QtUiHost host;
    QCoreApplication::processEvents();

    auto t0 = Clock::now();
    const double cpu0 = ThreadCpuMs();
    for (int i = 0; i < 20; ++i) host.ProcessEvents(25);
    const double elapsed = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    const double cpu = ThreadCpuMs() - cpu0;
    EXPECT_GE(elapsed, 250.0);  // it waited; a stray event (a cursor blink) may end one wait early
    EXPECT_LE(cpu, elapsed * 0.05) << "cpu " << cpu << " ms of " << elapsed << " ms";

    // A hand-over ends the wait at once.
    std::atomic<bool> ran{false};
    std::thread worker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        host.RunOnUiThreadAndWait([&] { ran = true; });
    });
    t0 = Clock::now();
    while (!ran && Clock::now() - t0 < std::chrono::seconds(3)) host.ProcessEvents(3000);
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
    worker.join();
    EXPECT_TRUE(ran);
    EXPECT_LT(waited, 1500);

    t0 = Clock::now();
    host.ProcessEvents(0);
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count(), 100);
}

TEST(QtUiHost, HooksAnswerBoxesAndCaptureTraceAndHandOverErrorsReachTheErrorDisplay) {
    QtUiHost host;
    std::vector<std::string> boxes, traces;
    host.MessageBoxHook = [&](TMsgDlgType type, const std::string& text, TMsgDlgButtons) {
        boxes.push_back((type == TMsgDlgType::mtError ? "E:" : "?:") + text);
        return TModalResult::mrCancel;
    };
    host.TraceHook = [&](const std::string& line) { traces.push_back(line); };
    EXPECT_EQ(host.MessageBox(TMsgDlgType::mtConfirmation, "q", TMsgDlgButtons::mbOKCancel), TModalResult::mrCancel);
    host.Trace("Block received");
    EXPECT_EQ(traces, std::vector<std::string>{"Block received"});

    std::atomic<bool> back{false};
    std::thread worker([&] {
        host.RunOnUiThreadAndWait([] { throw std::runtime_error("COM3 is not open. Serial port is not connected."); });
        back = true;
    });
    EXPECT_TRUE(Pump(host, [&] { return back.load(); }));
    worker.join();
    EXPECT_EQ(boxes, (std::vector<std::string>{"?:q", "E:COM3 is not open. Serial port is not connected."}));
    EXPECT_EQ(host.TickCount() - host.TickCount(), 0u);
}

}  // namespace
}  // namespace korvel
