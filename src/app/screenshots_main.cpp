// Renders the main window at a first start and its two pages, the curve preview, the advanced
// view, the monitor page and advanced view after a disconnect, the advanced settings, the
// settings with changes marked, the snapshot list, a write waiting on a silent board, the About
// box, the live trend, a week-long log, the port dialog, the manual, the traffic window and a
// capture running in the strip to PNG files, with
// plausible reports applied so the fields show values.
// Usage: korvel-screenshots [output dir]
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPixmap>
#include <QProcess>
#include <QTableView>
#include <QTextBrowser>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <array>
#include <cstdio>

#include "app/manual_form.h"
#include "app/program_start.h"
#include "capture/traffic_form.h"
#include "charts/chart_form.h"
#include "link/select_com_port_form.h"
#include "settings/curve_preview.h"
#include "settings/settings_page.h"
#include "settings/snapshot_dialog.h"
#include "visit/fault_list_form.h"
#include "visit/service_report.h"
#include "messages/message_ids.h"
#include "scenario.h"

namespace {

void PutS16(std::array<uint8_t, 515>& b, size_t at, int v) {
    b[at] = static_cast<uint8_t>(v & 0xFF);
    b[at + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}

std::array<uint8_t, 515> SampleReport() {
    std::array<uint8_t, 515> b{};
    b[0] = korvel::K2MSENDMONDATA;
    const struct {
        size_t at;
        int value;
    } words[] = {
        {1, 2150},  {3, 2630},  {5, 0x8200}, {9, 310},   {11, 85},   {15, 250},  {17, 420},  {19, 285},
        {21, 7},    {25, 35},   {29, 10240}, {37, 5248}, {39, 5056}, {43, 14080}, {54, 80},  {57, 1234},
        {61, -120}, {63, 300},  {65, 50},    {67, 330},  {69, 355},  {75, 239},  {77, 350},  {81, 400},
        {83, 600},  {85, 550},  {91, -3},    {93, 198},  {95, 12},   {98, -2},   {102, 65},  {104, 3},
        {110, 30},
    };
    for (const auto& w : words) PutS16(b, w.at, w.value);
    b[47] = 0x54;  // heat requested, heating allowed, cooling supported
    b[48] = 4;     // "4 - Buitenunit + ketel"
    b[52] = 0x05;
    b[53] = 0x02;
    b[87] = 0x15;
    b[89] = 1;  // "1: Heat"
    b[90] = 1;
    return b;
}

bool Save(QWidget& w, const QDir& dir, const char* name) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    const bool ok = w.grab().save(path);
    std::fprintf(ok ? stdout : stderr, "%s %s\n", ok ? "wrote" : "cannot write", qPrintable(path));
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Designed placements, the same on every run; the user's stored ones stay untouched.
    const QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", settings.path().toLocal8Bit());  // and the snapshots of its writes
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvel"));
    const QDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots"));
    if (!QDir().mkpath(dir.path())) return 1;

    // Connected to the built-in stand-in, so both pages show a state the tool really reaches.
    korvel::TProgramOptions options;
    options.demo = true;
    korvel::TProgram program(options);
    korvel::TMainForm& form = *program.Form;
    program.Host.MessageBoxHook = [](korvel::TMsgDlgType, const std::string&, korvel::TMsgDlgButtons) {
        return korvel::TModalResult::mrOk;
    };
    form.show();
    // A first start with no adapter and no port chosen: the strip says what to do.
    auto& port = form.CommsDataModule->ZylSerialPort;
    port.SetPort(korvel::spNone);
    form.SetAllowances();
    QApplication::processEvents();
    bool ok = Save(form, dir, "main_first_start.png");
    port.SetPort(korvel::spCustom);  // the stand-in again
    form.ConnectAction->trigger();
    QApplication::processEvents();

    // A fixed report, shown just before the grab, keeps the picture the same from run to run.
    const auto report = SampleReport();
    form.DatablockNotification(nullptr, static_cast<int32_t>(korvel::REALTIME_REPORT_SIZE + 2), report.data());
    ok = Save(form, dir, "main_monitor.png") && ok;

    // The service page once the board has confirmed service mode.
    form.ModeServiceAction->trigger();
    QElapsedTimer waited;
    waited.start();
    while (!form.ServiceBox->isEnabled() && waited.elapsed() < 10000) program.Host.ProcessEvents(50);
    if (!form.ServiceBox->isEnabled()) std::fprintf(stderr, "the stand-in did not confirm service mode\n");
    while (!form.SettingsCollected && waited.elapsed() < 10000) program.Host.ProcessEvents(50);
    ok = Save(form, dir, "main_service.png") && ok;
    // The curve preview as its own "Opslaan als PNG..." writes it.
    const QString curves = dir.filePath(QStringLiteral("curve_preview.png"));
    const bool curvesSaved = form.TabSheetService->CurvePreview->SavePng(curves);
    std::fprintf(curvesSaved ? stdout : stderr, "%s %s\n", curvesSaved ? "wrote" : "cannot write", qPrintable(curves));
    ok = curvesSaved && ok;
    program.AdvancedSettings->setWindowTitle(form.windowTitle());
    program.AdvancedSettings->show();
    QApplication::processEvents();
    ok = Save(*program.AdvancedSettings, dir, "advanced_settings.png") && ok;
    program.AdvancedSettings->hide();

    // Changes not written yet: marked, counted in both windows.
    korvel::TSettingsTransfer& transfer = *form.SettingsTransfer;
    auto set = [&transfer](const char* control, double value) {
        transfer.Controls().SetValue(korvel::FindNvmParameter(control)->Address / 2u, value);
    };
    set("onfPumpStartupTime", 45);
    set("onfNightOff", 20.5);
    set("StooklijnRH.YMax", 85.0);
    set("rgTestmode", 1);
    set("onfTableUp03", -15);
    set("TimeConstantsRH.X2Max", 240);
    QApplication::processEvents();
    ok = Save(form, dir, "main_service_marked.png") && ok;
    program.AdvancedSettings->show();
    QApplication::processEvents();
    ok = Save(*program.AdvancedSettings, dir, "advanced_settings_marked.png") && ok;
    program.AdvancedSettings->hide();

    // Two writes, each after a snapshot; then the list they can be taken back from. The first one
    // recorded to a capture, and seen in the traffic window.
    // The capture stays beside the pictures: a sample of the window's own for tshark and --replay.
    form.StartCaptureActionAccept(dir.filePath(QStringLiteral("korvel-2026-01-14_09-30-00.pcapng")));
    form.SetSettingsAction->trigger();
    QApplication::processEvents();
    ok = Save(form, dir, "main_capture.png") && ok;
    form.StopCaptureActionExecute();
    // A glitch on the line, as the window shows one: a block whose check value is off, and noise.
    form.CommsDataModule->LineRecord.Record(korvel::TLineDirection::Inbound,
                                           std::vector<uint8_t>{0xFF, 0x10, 0x02, 0x25, 0x41, 0xA0, 0x10, 0x03},
                                           korvel::CaptureNowUs());
    form.CommsDataModule->LineRecord.Record(korvel::TLineDirection::Inbound, std::vector<uint8_t>{0x00, 0x7F},
                                           korvel::CaptureNowUs());
    form.TrafficAction->trigger();
    QApplication::processEvents();
    form.TrafficForm->List->scrollToBottom();
    QApplication::processEvents();
    ok = Save(*form.TrafficForm, dir, "traffic.png") && ok;
    form.TrafficForm->hide();
    set("onfPumpStartupTime", 60);
    form.SetSettingsAction->trigger();
    set("onfDelayHibernation", 1800);
    if (auto entries = transfer.SnapshotEntries()) {
        korvel::TSnapshotDialog snapshots(std::move(*entries), QStringLiteral("~/.local/share/Ventrabo/KorvelSim/snapshots"),
                                          &form);
        snapshots.Select(1);
        snapshots.show();
        QApplication::processEvents();
        ok = Save(snapshots, dir, "snapshot_list.png") && ok;
    } else {
        ok = false;
    }

    // A write to a board that has gone silent: the strip counts the wait and offers to stop.
    program.DemoBoard->SetSilent(true);
    QTimer::singleShot(3600, &form, [&] {
        ok = Save(form, dir, "main_write_waiting.png") && ok;
        form.btnStopRun->click();
    });
    form.SetSettingsAction->trigger();
    program.DemoBoard->SetSilent(false);

    form.ModeSnifAction->trigger();
    QApplication::processEvents();
    form.DatablockNotification(nullptr, static_cast<int32_t>(korvel::REALTIME_REPORT_SIZE + 2), report.data());
    program.AdvancedView->ShowFrom(form.windowTitle());
    QApplication::processEvents();
    ok = Save(*program.AdvancedView, dir, "advanced_view.png") && ok;
    // The same values once the line has gone: the last ones, and shown as such.
    form.DisconnectActionExecute();
    QApplication::processEvents();
    ok = Save(form, dir, "main_monitor_stale.png") && ok;
    ok = Save(*program.AdvancedView, dir, "advanced_view_stale.png") && ok;

    program.About->show();
    QApplication::processEvents();
    ok = Save(*program.About, dir, "about.png") && ok;
    program.About->hide();
    program.AdvancedView->hide();

    // The trend after a quarter of an hour of reports, fed at once with their own times: a
    // winter morning as the boiler makes tap water and the heat pump cycles.
    form.DisconnectAction->trigger();
    const QDateTime morning(QDate(2026, 1, 14), QTime(6, 52, 0));
    QDateTime now = morning;
    form.Now = [&now] { return now; };
    form.TrendHistory.Clear();
    form.ChartAction->trigger();
    for (int i = 0; i < 15 * 60; ++i) {
        std::array<uint8_t, 515> block{};
        const std::vector<uint8_t> r = korvel::sim::ScenarioReport(korvel::ChartTime(now));
        std::copy(r.begin(), r.end(), block.begin());
        form.DatablockNotification(nullptr, static_cast<int32_t>(r.size() + 2), block.data());
        now = now.addSecs(1);
    }
    // What the engineer did meanwhile, the evaporator's temperature ticked, and the pointer resting
    // on the store's mark.
    const double t0 = korvel::ChartTime(morning);
    form.TrendHistory.AddMark(t0 + 240, korvel::TTrendMarkKind::Mode, "Mode: Instellen");
    form.TrendHistory.AddMark(t0 + 420, korvel::TTrendMarkKind::Job, "Instellingen wegschrijven: Geprogrammeerd.");
    form.TrendHistory.AddMark(t0 + 600, korvel::TTrendMarkKind::Mode, "Mode: Meekijken");
    form.TrendForm->SetSeriesShown(korvel::TrendSeriesIndex("nfModBus4410"), true);
    form.TrendForm->SetWindow(korvel::TChartForm::TWindow::All);
    form.TrendForm->Installation = [] { return QStringLiteral("Fam. Jansen, Dorpsstraat 1"); };
    QApplication::processEvents();
    form.TrendForm->Plot->SetCursorAt(t0 + 420);
    QApplication::processEvents();
    ok = Save(*form.TrendForm, dir, "trend.png") && ok;
    ok = form.TrendForm->SavePng(dir.filePath(QStringLiteral("trend_saved.png"))) && ok;
    form.TrendForm->Plot->HideCursor();

    // The visit's report after that morning: two parameters changed, a fault that came and went.
    {
        korvel::TServiceVisit& visit = form.Visit;
        visit.SetInstallation("Dorpsstraat 3, Ede");
        visit.SetPort("COM5");
        visit.Engineer = "J. de Vries";
        visit.Notes = "Nachtverlaging verhoogd op verzoek van de klant.\nFlowschakelaar gereinigd.";
        const korvel::TNvmWords before = korvel::NvmDefaultWords({});
        korvel::TNvmWords after = before;
        after[23] = static_cast<uint16_t>(after[23] + 256);  // nachtstand, 1/256 °C
        after[21] = static_cast<uint16_t>(after[21] + 30);
        visit.ParameterReport(korvel::ChartTime(morning), before);
        visit.ParameterReport(korvel::ChartTime(now), after);
        korvel::TFaultState fault{};
        fault[static_cast<size_t>(korvel::FaultSourceIndex("cbPumpFlowError"))] = 1;
        visit.Faults().Add(korvel::ChartTime(morning.addSecs(300)), fault);
        visit.Faults().Add(korvel::ChartTime(morning.addSecs(420)), korvel::TFaultState{});
        form.FaultHistoryActionExecute();
        QApplication::processEvents();
        ok = Save(*form.FaultListForm, dir, "fault_history.png") && ok;
        form.FaultListForm->hide();
        korvel::TServiceReportDialog ask(QString::fromStdString(visit.Installation()),
                                         QString::fromStdString(visit.Engineer),
                                         QString::fromStdString(visit.Notes), &form);
        ask.show();
        QApplication::processEvents();
        ok = Save(ask, dir, "service_report_dialog.png") && ok;
        ask.hide();
        const QString pdf = dir.filePath(QStringLiteral("servicerapport.pdf"));
        ok = form.ServiceReportAccept(pdf) && ok;
        std::printf("wrote %s\n", qPrintable(pdf));
        // The first page as a picture, where poppler's pdftoppm is there to draw it.
        QProcess draw;
        draw.start(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("60"),
                                                QStringLiteral("-singlefile"), pdf, dir.filePath(QStringLiteral("servicerapport"))});
        if (draw.waitForFinished(30000) && draw.exitCode() == 0) std::printf("wrote %s\n", qPrintable(dir.filePath(QStringLiteral("servicerapport.png"))));
    }

    // A week of logging, one row every 5 seconds, opened as from the menu.
    QTemporaryDir temp;
    const QString logPath = temp.filePath(QStringLiteral("week.csv"));
    {
        QFile log(logPath);
        const std::string text = korvel::sim::ScenarioLog(120960, korvel::ChartTime(QDateTime(QDate(2026, 1, 12), QTime(0, 0))),
                                                          5, korvel::sim::LogStyle::Dutch);
        ok = log.open(QIODevice::WriteOnly) && log.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size()) && ok;
    }
    if (korvel::TChartForm* week = korvel::TChartForm::OpenLog(logPath, program.Host, &form)) {
        QApplication::processEvents();
        ok = Save(*week, dir, "log_week.png") && ok;
    } else {
        ok = false;
    }

    // The port dialog as a laptop with two identical adapters and a built-in port shows it.
    const korvel::TPortList ports = {
        {"COM1", 1, "/dev/ttyS0", ""},
        {"COM33", 33, "/dev/ttyUSB0", "FT232R USB UART, serienummer A50285BI"},
        {"COM34", 34, "/dev/ttyUSB1", "FT232R USB UART, serienummer A9Q1XZ7C"},
        {"COM97", 97, "/dev/ttyACM0", "USB Modem, serienummer 0001"},
    };
    korvel::TSelectCOMPortForm portDialog(ports, "COM33", &form);
    portDialog.show();
    QApplication::processEvents();
    ok = Save(portDialog, dir, "port_dialog.png") && ok;
    // And with no port at all: what the engineer is told instead of an empty list.
    korvel::TSelectCOMPortForm noPorts({}, "", &form);
    noPorts.show();
    QApplication::processEvents();
    ok = Save(noPorts, dir, "port_dialog_empty.png") && ok;
    noPorts.hide();

    // The manual as F1 opens it, and at its table of fault flags.
    form.HelpManualAction->trigger();
    QApplication::processEvents();
    ok = Save(*form.ManualForm, dir, "manual.png") && ok;
    form.ManualForm->Browser->scrollToAnchor(QStringLiteral("fouten"));
    QApplication::processEvents();
    ok = Save(*form.ManualForm, dir, "manual_faults.png") && ok;

    // A board behind a network serial server, chosen before: its address, and the others used.
    korvel::TSelectCOMPortForm network(ports, "rfc2217://ketelhuis.example.nl:7000", &form);
    network.SetRecentAddresses({"rfc2217://ketelhuis.example.nl:7000", "tcp://192.168.10.20:4001",
                                "rfc2217://[fd00::17]:7000"});
    network.show();
    QApplication::processEvents();
    ok = Save(network, dir, "port_dialog_network.png") && ok;
    return ok ? 0 : 1;
}
