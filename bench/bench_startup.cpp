// Time from process start to the first painted main window, on the offscreen platform. The
// program starts itself as a child a few times and measures, from outside, until the child
// reports its first paint, so loading the libraries counts as well.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bench_support.h"
#include "app/program_start.h"

extern char** environ;

namespace {

class FirstPaint : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            std::printf("painted\n");
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool seen_ = false;
};

int Child(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvel"));
    korvel::TProgram program(korvel::TProgramOptions{});
    FirstPaint filter;
    program.Form->installEventFilter(&filter);
    program.Form->show();
    QTimer::singleShot(10000, qApp, &QCoreApplication::quit);
    return QApplication::exec();
}

// Wall time until the child prints its line, in ms; negative on failure.
double RunOnce(const char* self) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    char childFlag[] = "--child";
    char* args[] = {const_cast<char*>(self), childFlag, nullptr};
    const auto t0 = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, self, &actions, nullptr, args, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        return -1;
    }
    char buf[64] = {};
    const ssize_t n = read(fds[0], buf, sizeof buf - 1);
    const auto t1 = std::chrono::steady_clock::now();
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (n <= 0 || std::strncmp(buf, "painted", 7) != 0) return -1;
    return std::chrono::duration<double, std::milli>(t1 - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0) return Child(argc, argv);
    if (const int code = korvel::bench::NoArguments(argc, argv, "bench_startup"); code >= 0) return code;
    const QTemporaryDir settings;  // the children's window placements: not the user's
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    std::vector<double> ms;
    for (int i = 0; i < 7; ++i) {
        const double t = RunOnce("/proc/self/exe");
        if (t < 0) {
            std::fprintf(stderr, "run %d: the child did not report a paint\n", i);
            return 1;
        }
        ms.push_back(t);
    }
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    std::printf("start to first painted main window: min %.0f ms, median %.0f ms, max %.0f ms (target <= 500 ms): %s\n",
                ms.front(), median, ms.back(), median <= 500.0 ? "met" : "NOT met");
    return median <= 500.0 ? 0 : 1;
}
