#include <QApplication>
#include <QCloseEvent>
#include <cstdio>

#include "app/program_start.h"

namespace {

bool ParseOptions(const QStringList& args, korvel::TProgramOptions& options) {
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--demo")) {
            options.demo = true;
        } else if (args[i] == QLatin1String("--port") && i + 1 < args.size()) {
            options.port = args[++i].toStdString();
        } else {
            return false;
        }
    }
    return true;
}

// The run ends when the main window closes, whatever other windows are still open.
class QuitOnClose : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close && event->isAccepted()) QCoreApplication::quit();
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvel"));

    korvel::TProgramOptions options;
    if (!ParseOptions(QApplication::arguments(), options)) {
        std::fprintf(stderr, "usage: korvel-service [--port NAME] [--demo]\n");
        return 2;
    }
    korvel::TProgram program(options);
    QuitOnClose quitOnClose;
    program.Form->installEventFilter(&quitOnClose);
    program.Form->show();
    return QApplication::exec();
}
