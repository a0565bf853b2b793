// The whole window against the board stand-in over a real pseudo-terminal, on the real Qt host.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>

#include "app/global_data_module.h"
#include "app/recent_addresses.h"
#include "app/status_strip.h"
#include "link/select_com_port_form.h"
#include "messages/message_ids.h"
#include "ui_app/end_to_end_fixture.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace korvel {
namespace {

TEST_F(EndToEnd, ServiceModeKeepAliveReportsAndLog) {
    sim::BoardSimOptions options;
    options.program = true;
    options.reportMs = 250;
    sim::BoardSim board(options);
    const std::string slave = board.Start();
    QTemporaryDir dir;
    const QString logPath = dir.filePath("e2e.csv");

    const std::vector<std::string> before = form->LogColumns();
    auto& port = form->CommsDataModule->ZylSerialPort;
    port.SetCustomPortName(slave);
    port.SetPort(spCustom);
    form->ConnectAction->trigger();
    ASSERT_EQ(form->CommsDataModule->ConnectionState(), csConnected) << (boxes.empty() ? "" : boxes.back());
    form->StartLoggingActionAccept(logPath);
    const auto logStart = Clock::now();

    form->ModeServiceAction->trigger();
    ASSERT_EQ(boxes, std::vector<std::string>{"Zet de RUN/PROGRAM schakelaar in de stand PROGRAM."});

    // The board asks, the tool answers, the board stays; the settings are fetched when the tab
    // shows and once more when the board confirms.
    ASSERT_TRUE(PumpUntil([&] { return board.InServiceMode() && form->GetSettingsAction->isEnabled(); }, 8000));
    EXPECT_TRUE(form->ServiceBox->isEnabled());
    EXPECT_TRUE(form->KeepInServiceModeTimer->isActive());
    ASSERT_TRUE(PumpUntil([&] { return CountSent(board, P2KGETNVM) == 2; }, 3000));
    const size_t answered = CountSent(board, P2KSETCOMMAND);
    EXPECT_GE(answered, 1u);

    // Reports alone do not hold the board: the keep-alive goes out within about 5 s.
    ASSERT_TRUE(PumpUntil([&] { return CountSent(board, P2KSETCOMMAND) > answered; }, 7000));
    EXPECT_TRUE(board.InServiceMode());
    EXPECT_EQ(CountSent(board, P2KGETNVM), 2u);

    EXPECT_NE(form->LogColumns(), before);  // reports reached the fields

    // Long enough for a second row.
    PumpUntil([&] { return Clock::now() - logStart > std::chrono::milliseconds(5600); }, 6000);
    form->StopLoggingAction->trigger();
    QFile log(logPath);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(log.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 3);  // header, first row, one 5 s later
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Date/Time;")));
    EXPECT_EQ(lines[1].count(QLatin1Char(';')), 49);

    // Leaving the settings tab after a fetch reminds the engineer to store what he changed, and
    // leaving service mode to set the switch back.
    form->DisconnectAction->trigger();
    EXPECT_FALSE(form->ModeServiceAction->isChecked());
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[1], "Vergeet niet de instellingen op te slaan indien u die gewijzigd hebt.");
    EXPECT_EQ(boxes[2], MSG_SWITCH_TO_RUN);
}

TEST_F(EndToEnd, PulledAdapterShowsDisconnected) {
    sim::BoardSimOptions options;
    options.reportMs = 100;
    sim::BoardSim board(options);
    const std::string slave = board.Start();
    auto& port = form->CommsDataModule->ZylSerialPort;
    port.SetCustomPortName(slave);
    port.SetPort(spCustom);
    form->ConnectAction->trigger();
    ASSERT_EQ(form->CommsDataModule->ConnectionState(), csConnected);
    PumpFor(300);
    board.HangUp();
    EXPECT_TRUE(PumpUntil([&] { return form->ConnectAction->isEnabled(); }, 5000));
    EXPECT_FALSE(form->DisconnectAction->isEnabled());
    EXPECT_FALSE(form->ModeServiceAction->isEnabled());
    EXPECT_TRUE(PumpUntil([&] { return !boxes.empty(); }, 1000));
    EXPECT_EQ(boxes, std::vector<std::string>{MSG_LINE_LOST});

    // Disconnecting on purpose is no loss to report.
    boxes.clear();
    sim::BoardSim second(options);
    port.SetCustomPortName(second.Start());
    form->ConnectAction->trigger();
    ASSERT_EQ(form->CommsDataModule->ConnectionState(), csConnected);
    form->DisconnectAction->trigger();
    PumpFor(100);
    EXPECT_TRUE(boxes.empty());
}

// A board behind ser2net, chosen by its address in the port dialog: watched, named in the strip and
// the caption, remembered; the server killed says so with the address, and the engineer connects
// again.
TEST_F(EndToEnd, BoardBehindANetworkServer) {
    if (!test::Ser2net::Installed()) GTEST_SKIP() << "ser2net is not installed";
    for (const auto mode : kServerModes) {
        sim::BoardSimOptions options;
        options.reportMs = 100;
        sim::BoardSim board(options);
        const std::string pty = board.Start();
        auto server = std::make_unique<test::Ser2net>(pty, mode);
        const std::string address = server->Address();
        SCOPED_TRACE(address);
        boxes.clear();
        QTimer::singleShot(0, form.get(), [&] {
            auto* dialog = qobject_cast<TSelectCOMPortForm*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->AddressBox->setEditText(QString::fromStdString(address));
            dialog->BitBtn1->click();
        });
        form->PortOptionsAction->trigger();
        ASSERT_EQ(form->CommsDataModule->ConnectionState(), csConnected) << (boxes.empty() ? "" : boxes.back());
        EXPECT_EQ(form->windowTitle().toStdString(), std::string(MAIN_CAPTION) + " - " + address);
        EXPECT_EQ(form->ProgressLabel->text().toStdString(), "Verbonden met " + address + ".");
        EXPECT_EQ(ReadRecentAddresses(form->GlobalDataModule->OvcRegistryStore).front(), address);
        const size_t reports = board.ReportsSent();
        ASSERT_TRUE(PumpUntil([&] { return form->TrendHistory.Size() >= 3; }, 3000)) << reports;

        server->Kill();
        ASSERT_TRUE(PumpUntil([&] { return !boxes.empty(); }, 5000));
        EXPECT_EQ(boxes, std::vector<std::string>{std::string(MSG_LINE_LOST) + "\nDe server op " + address +
                                                  " heeft de verbinding verbroken: controleer of de seriële server "
                                                  "daar nog draait en het bord aangesloten is, en maak opnieuw verbinding."});
        EXPECT_TRUE(form->ConnectAction->isEnabled());
        EXPECT_EQ(form->windowTitle().toStdString(), MAIN_CAPTION);

        server = std::make_unique<test::Ser2net>(pty, mode);
        EXPECT_TRUE(ConnectTo(server->Address()));
        form->DisconnectAction->trigger();
    }
}

TEST(ProgramStart, CommandLine) {
    struct Row {
        QStringList args;
        const char* platform;  // xcb without a display: whatever needs one fails
        int exitCode;
        const char* out;
        const char* err;
    };
    const Row rows[] = {
        {{"--help"}, "xcb", 0, "usage: korvel-service [--port NAME] [--demo]", ""},
        {{"-h"}, "xcb", 0, "--version    show the version and exit", ""},
        {{"--version"}, "xcb", 0, "korvel-service 16.6.0.0\n", ""},
        {{"--bogus"}, "xcb", 2, "", "korvel-service: unknown option '--bogus'\nusage: korvel-service"},
        {{"--port"}, "xcb", 2, "", "korvel-service: option '--port' needs a port name\nusage: korvel-service"},
        {{"--open-log"}, "xcb", 2, "", "korvel-service: option '--open-log' needs a file\nusage: korvel-service"},
        {{"--replay", "/nonexistent.pcapng"}, "xcb", 1, "", "korvel-service: de opname /nonexistent.pcapng is geweigerd: het kan niet geopend worden"},
        {{"--port", "rfc2217://board"}, "xcb", 2, "", "korvel-service: option '--port': 'rfc2217://board' is no network"},
        // Left over once the window system has taken its own options.
        {{"extra"}, "offscreen", 2, "", "korvel-service: unexpected argument 'extra'\nusage: korvel-service"},
        {{"-platform", "offscreen", "-bogus"}, "xcb", 2, "", "korvel-service: unknown option '-bogus'"},
    };
    for (const Row& r : rows) {
        QProcess p;
        auto env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.insert("QT_QPA_PLATFORM", QString::fromLatin1(r.platform));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(KORVEL_BIN_DIR "/korvel-service"), r.args);
        const std::string what = r.args.join(' ').toStdString();
        ASSERT_TRUE(p.waitForFinished(20000)) << what;
        EXPECT_EQ(p.exitCode(), r.exitCode) << what;
        const QByteArray out = p.readAllStandardOutput();
        const QByteArray err = p.readAllStandardError();
        EXPECT_TRUE(out.contains(r.out)) << what << ": " << out.toStdString();
        EXPECT_TRUE(err.contains(r.err)) << what << ": " << err.toStdString();
        if (r.exitCode == 0) {
            EXPECT_TRUE(err.isEmpty()) << what << ": " << err.toStdString();
        }
    }
}

}  // namespace
}  // namespace korvel
