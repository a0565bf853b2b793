#include <QApplication>
#include <QCloseEvent>
#include <QTimer>
#include <QWidget>
#include <cstdio>

#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/program_start.h"
#include "capture/pcapng.h"
#include "charts/chart_form.h"

#ifdef _WIN32
// Last: its macros (MessageBox among them) must not rename what the headers above declare.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace {

#ifdef _WIN32
// A window program has no console of its own: what it prints goes to the console it was started
// from, unless its output was sent elsewhere.
void UseParentConsole() {
    if (GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) != FILE_TYPE_UNKNOWN) return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    std::freopen("CONOUT$", "w", stdout);
    std::freopen("CONOUT$", "w", stderr);
}
#else
void UseParentConsole() {}
#endif

// What the command line asks for instead of a run, printed; the exit code, or -1 to run.
int Answer(const korvel::TCommandLine& line) {
    using A = korvel::TCommandLine::TAction;
    if (line.Action != A::Run) UseParentConsole();
#ifndef KORVEL_DEMO_BOARD
    if (line.Action == A::Run && (line.Demo || !line.Replay.empty())) {
        UseParentConsole();
        std::fputs("korvel-service: --demo and --replay need pseudo-terminals, which this build has not: run "
                   "korvel-board-sim on Linux, or connect a board\n",
                   stderr);
        return 2;
    }
#endif
    switch (line.Action) {
        case A::Help:
            std::fputs(korvel::UsageText().c_str(), stdout);
            return 0;
        case A::Version:
            std::fputs(korvel::VersionText().c_str(), stdout);
            return 0;
        case A::Error:
            std::fprintf(stderr, "korvel-service: %s\n%s", line.Error.c_str(), korvel::UsageLine().c_str());
            return 2;
        case A::Run:
            break;
    }
    return -1;
}

// The run ends when the main window closes, whatever other windows are still open. The window
// may refuse the close (changes not written), which it decides after this filter has seen the
// event: whether it went is looked at once the close has been handled.
class QuitOnClose : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close) {
            auto* window = qobject_cast<QWidget*>(watched);
            QTimer::singleShot(0, this, [window] {
                if (window == nullptr || !window->isVisible()) QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

int main(int argc, char** argv) {
    // Before QApplication, which needs a display; the window system's own -options stay for it.
    const korvel::TCommandLine early = korvel::ParseCommandLine({argv + 1, argv + argc}, true);
    if (const int code = Answer(early); code >= 0) return code;
#ifdef KORVEL_DEMO_BOARD
    // A capture that cannot be played is said before any window opens.
    std::shared_ptr<const korvel::sim::TReplayScript> replay;
    if (!early.Replay.empty()) {
        const korvel::TCaptureReadResult read = korvel::ReadCaptureFile(early.Replay);
        if (!read.Ok()) {
            std::fprintf(stderr, "korvel-service: de opname %s is geweigerd: %s\n", early.Replay.c_str(), read.Error.c_str());
            return 1;
        }
        replay = std::make_shared<const korvel::sim::TReplayScript>(korvel::sim::BuildReplayScript(read.Packets));
    }
#endif

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvel"));
    QGuiApplication::setDesktopFileName(QStringLiteral("korvel-service"));

    // Now without the options the window system took: whatever is left must be ours.
    std::vector<std::string> args;
    for (const QString& arg : QApplication::arguments().mid(1)) args.push_back(arg.toStdString());
    const korvel::TCommandLine line = korvel::ParseCommandLine(args, false);
    if (const int code = Answer(line); code >= 0) return code;
    korvel::TProgramOptions options;
    options.port = line.Port;
    options.demo = line.Demo;
    options.openLog = line.OpenLog;
#ifdef KORVEL_DEMO_BOARD
    options.replay = replay;
#endif
    korvel::TProgram program(options);
    QuitOnClose quitOnClose;
    program.Form->installEventFilter(&quitOnClose);
    program.Form->show();
    // Last, so the log's chart opens above the main window ("Open with" of a file manager).
    if (!options.openLog.empty())
        korvel::TChartForm::OpenLog(QString::fromStdString(options.openLog), program.Host, program.Form.get());
    return QApplication::exec();
}
