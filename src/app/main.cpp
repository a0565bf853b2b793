#include <QApplication>
#include <QDialog>
#include <QRegularExpression>
#include <cstdio>
#include <memory>
#include <string>

#include "app/main_form.h"
#include "app/qt_ui_host.h"
#include "board_sim.h"
#include "messages/advanced_view_form.h"

namespace {

struct Options {
    std::string port;
    bool demo = false;
};

bool ParseOptions(const QStringList& args, Options& options) {
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

// "COM5" is one of the tool's own port names; anything else is a device path.
void PreselectPort(korvel::TZylSerialPort& port, const std::string& name) {
    static const QRegularExpression comName(QStringLiteral("^COM([1-9][0-9]{0,2})$"));
    const auto match = comName.match(QString::fromStdString(name));
    if (match.hasMatch() && match.captured(1).toInt() <= 254) {
        port.SetPort(korvel::TZylSerialPort::StringToCommPort(name));
    } else {
        port.SetCustomPortName(name);
        port.SetPort(korvel::spCustom);
    }
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvel"));

    Options options;
    if (!ParseOptions(QApplication::arguments(), options)) {
        std::fprintf(stderr, "usage: korvel-service [--port NAME | --demo]\n");
        return 2;
    }

    // Declared first so it goes last: the port closes before the stand-in's side of the line.
    std::unique_ptr<korvel::sim::BoardSim> demoBoard;
    if (options.demo) {
        korvel::sim::BoardSimOptions simOptions;
        simOptions.program = true;
        simOptions.reportMs = 1000;
        demoBoard = std::make_unique<korvel::sim::BoardSim>(simOptions);
        options.port = demoBoard->Start();
    }

    korvel::QtUiHost host;
    int result = 0;
    {
        auto mainForm = std::make_unique<korvel::TMainForm>(host);
        korvel::MainForm = mainForm.get();
        if (options.demo)
            mainForm->setWindowTitle(mainForm->windowTitle() + QStringLiteral(" (demo)"));
        if (!options.port.empty()) PreselectPort(mainForm->CommsDataModule->ZylSerialPort, options.port);

        // The About box and the advanced settings window arrive with their own work; until then
        // they stand here as hidden, empty windows so every step that touches them has one.
        auto aboutForm = std::make_unique<QDialog>();
        aboutForm->setObjectName(QStringLiteral("AboutForm"));
        korvel::AboutForm = aboutForm.get();
        auto advancedViewForm = std::make_unique<korvel::TAdvancedViewForm>();
        korvel::AdvancedViewForm = advancedViewForm.get();
        auto advancedSettingsForm = std::make_unique<QWidget>(nullptr, Qt::Tool);
        advancedSettingsForm->setObjectName(QStringLiteral("AdvancedSettingsForm"));
        advancedSettingsForm->setWindowTitle(QStringLiteral("Geavanceerde instellingen"));
        korvel::AdvancedSettingsForm = advancedSettingsForm.get();

        mainForm->show();
        result = QApplication::exec();

        host.Shutdown();
        mainForm.reset();  // closes the port and the log while the other windows still exist
        korvel::AdvancedSettingsForm = nullptr;
        korvel::AdvancedViewForm = nullptr;
        korvel::AboutForm = nullptr;
    }
    return result;
}
