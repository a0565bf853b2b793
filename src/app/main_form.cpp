#include "app/main_form.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/action_proxy.h"
#include "datalog/data_log.h"
#include "datalog/locale_log_time.h"
#include "app/global_data_module.h"
#include "app/widget_form_state.h"
#include "app/general_error.h"
#include "app/manual_form.h"
#include "app/menu_letters.h"
#include "app/recent_addresses.h"
#include "app/status_strip.h"
#include "capture/traffic_form.h"
#include "charts/chart_form.h"
#include "link/net_address.h"
#include "link/port_names.h"
#include "link/select_com_port_form.h"
#include "messages/advanced_view_form.h"
#include "messages/message_ids.h"
#include "messages/monitor_page.h"
#include "messages/msg2text.h"
#include "messages/realtime_report_view.h"
#include "settings/advanced_settings_form.h"
#include "settings/curve_preview.h"
#include "settings/settings_page.h"
#include "settings/settings_transfer.h"
#include "visit/fault_list_form.h"
#include "widgets/display_only.h"
#include "widgets/percentage_meter.h"

namespace korvel {

TMainForm* MainForm = nullptr;
QDialog* AboutForm = nullptr;
TAdvancedViewForm* AdvancedViewForm = nullptr;
TAdvancedSettingsForm* AdvancedSettingsForm = nullptr;  // declared with its class

namespace {

const QColor kIndicatorOff(128, 128, 0);  // olive
const QColor kIndicatorOn(255, 255, 0);   // yellow

}  // namespace

TMainForm::TMainForm(UiHost& host, QWidget* parent) : QMainWindow(parent), host_(host) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QString::fromUtf8(MAIN_CAPTION));
    GlobalDataModule = std::make_unique<TGlobalDataModule>();
    Visit = TServiceVisit(ChartTime(Now()));
    BuildActions();
    BuildMenusAndToolBar();
    BuildClientArea();

    KeepInServiceModeTimer = new QTimer(this);
    KeepInServiceModeTimer->setObjectName(QStringLiteral("KeepInServiceModeTimer"));
    KeepInServiceModeTimer->setInterval(KEEPALIVE_TICK_MS);
    connect(KeepInServiceModeTimer, &QTimer::timeout, this, [this] { Guarded([this] { KeepInServiceModeTimerTimer(); }); });

    resize(907, 682);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        move(avail.center() - QPoint(907 / 2, 682 / 2));
    }

    CommsDataModule = std::make_unique<TCommsDataModule>(host_);
    CommsDataModule->OnProgress = [this](TCommsDataModule* s, uint32_t p, uint32_t m, bool e, const std::string& st,
                                         bool& c) { ProgressNotification(s, p, m, e, st, c); };
    CommsDataModule->OnDatablock = [this](TCommsDataModule* s, int32_t size, const uint8_t* data) {
        DatablockNotification(s, size, data);
    };
    CommsDataModule->OnDataError = [this](TCommsDataModule* s) { DataErrorNotification(s); };
    // A pulled adapter must not leave the window showing a connection.
    CommsDataModule->OnStatusChange = [this](TCommsDataModule*) { SetAllowances(); };
    CommsDataModule->OnLineLost = [this](TCommsDataModule*) { LineLost(); };
    ServiceSession = std::make_unique<TServiceSession>(*CommsDataModule);
    // The board asks while the PROGRAM box is still open, and must not be answered while the RUN
    // box is: the wish follows the choice itself, not the allowances after the box.
    connect(ModeServiceAction, &QAction::toggled, this, [this](bool on) { ServiceSession->SetWanted(on); });
    // The strip's advice follows the adapter in and out while nothing is connected.
    TFTDIEvent arrival = std::move(CommsDataModule->FTDI_VCOM.OnArrival);
    CommsDataModule->FTDI_VCOM.OnArrival = [this, arrival](TFTDI_VCOM* sender) {
        if (arrival) arrival(sender);
        if (StatusStrip != nullptr) StatusStrip->Refresh();
    };
    CommsDataModule->FTDI_VCOM.OnRemove = [this](TFTDI_VCOM*) {
        if (StatusStrip != nullptr) StatusStrip->Refresh();
    };
    SettingsTransfer = std::make_unique<TSettingsTransfer>(*this);
    StatusStrip = new TStatusStrip(ProgressLabel, ProgressMeter, host_, [this] {
        if (CommsDataModule && CommsDataModule->ConnectionState() == csConnecting) {
            TLinkState link;
            link.Port = CommsDataModule->ZylSerialPort.PortName();
            link.Connecting = true;
            return link;
        }
        if (!CommsDataModule) return TLinkState{};
        if (CommsDataModule->ConnectionState() != csConnected) {
            TLinkState link;
            link.NothingToOpen = !PortToOpen();
            if (CommsDataModule->ZylSerialPort.GetPort() != spNone) link.Port = CommsDataModule->ZylSerialPort.PortName();
            return link;
        }
        // The board's answer 32 is what enables the service box.
        return TLinkState{true, CommsDataModule->ZylSerialPort.PortName(), ModeServiceAction->isChecked(),
                          ServiceBox->isEnabled()};
    }, this);
    DataLog = std::make_unique<TDataLog>(host_);
    DataLog->OnLoggingChange = [this] { SetAllowances(); };
    BuildCapture();
    SettingsCollected = false;
    SetAllowances();
}

TMainForm::~TMainForm() {
    KeepInServiceModeTimer->stop();
    if (TrendFormState) TrendFormState->WindowDestroying();  // saved while the store is there
    TrendFormState.reset();
    // The field loses its focus as the window's widgets go, after this part of it has gone.
    if (cbInstallation != nullptr) cbInstallation->lineEdit()->disconnect(this);
    // Nothing of the line may reach the traffic window or this window once they are going.
    CommsDataModule->LineRecord.SetFileErrorHandler(nullptr);
    TrafficForm.reset();
    TrafficFeed.reset();
    DataLog->OnLoggingChange = nullptr;
    DataLog.reset();  // closes an open log, so no row is lost at exit
    CommsDataModule.reset();
    GlobalDataModule.reset();
    if (MainForm == this) MainForm = nullptr;
}

QAction* TMainForm::NewAction(const char* name, const char* category, const QString& caption) {
    auto* action = new QAction(caption, this);
    action->setObjectName(QString::fromLatin1(name));
    action->setProperty("category", QString::fromUtf8(category));
    ActionList.push_back(action);
    return action;
}

QAction* TMainForm::PlaceAt(QAction* action, const char* caption) {
    return new TActionProxy(action, QString::fromUtf8(caption), this);
}

void TMainForm::Guarded(const std::function<void()>& handler) { RunGuarded(host_, handler); }

void TMainForm::BuildActions() {
    FileExitAction = NewAction("FileExitAction", "&File", QStringLiteral("&Sluiten"));
    StartLoggingAction = NewAction("StartLoggingAction", "&File", QStringLiteral("Start &Logfile..."));
    StopLoggingAction = NewAction("StopLoggingAction", "&File", QStringLiteral("Stop &Loggen"));
    PortOptionsAction = NewAction("PortOptionsAction", "&Verbinding", QStringLiteral("&Com poort..."));
    ConnectAction = NewAction("ConnectAction", "&Verbinding", QStringLiteral("Verbinding &maken"));
    DisconnectAction = NewAction("DisconnectAction", "&Verbinding", QStringLiteral("Verbinding &verbreken"));
    ModeSnifAction = NewAction("ModeSnifAction", "&Mode", QStringLiteral("&Meekijken"));
    ModeServiceAction = NewAction("ModeServiceAction", "&Mode", QStringLiteral("&Instellen"));
    FlashAction = NewAction("FlashAction", "&Gereedschappen", QStringLiteral("&Firmware flashen..."));
    GetSettingsAction = NewAction("GetSettingsAction", "&Gereedschappen", QStringLiteral("Instellingen &ophalen"));
    SetSettingsAction = NewAction("SetSettingsAction", "&Gereedschappen", QStringLiteral("Instellingen &wegschrijven"));
    DefaultSettingsAction =
        NewAction("DefaultSettingsAction", "&Gereedschappen", QStringLiteral("Instellingen &standaard"));
    HelpAboutAction = NewAction("HelpAboutAction", "&Help", QStringLiteral("&Over..."));
    SaveSettingsAction =
        NewAction("SaveSettingsAction", "&Gereedschappen", QStringLiteral("Instellingen opslaan &als..."));
    LoadSettingsAction =
        NewAction("LoadSettingsAction", "&Gereedschappen", QStringLiteral("Instellingen &laden uit bestand..."));
    CompareSettingsAction =
        NewAction("CompareSettingsAction", "&Gereedschappen", QStringLiteral("Instellingen &vergelijken..."));
    RestoreSnapshotAction =
        NewAction("RestoreSnapshotAction", "&Gereedschappen", QStringLiteral("Vorige instellingen &terugzetten..."));
    ChartAction = NewAction("ChartAction", "&Gereedschappen", QStringLiteral("&Grafiek"));
    HelpManualAction = NewAction("HelpManualAction", "&Help", QStringLiteral("&Handleiding"));
    StartCaptureAction = NewAction("StartCaptureAction", "&File", QStringLiteral("Start &Opname..."));
    StopCaptureAction = NewAction("StopCaptureAction", "&File", QStringLiteral("Stop O&pname"));
    TrafficAction = NewAction("TrafficAction", "&Gereedschappen", QStringLiteral("V&erkeer"));
    FaultHistoryAction = NewAction("FaultHistoryAction", "&Gereedschappen", QStringLiteral("Fo&utgeschiedenis..."));
    ServiceReportAction =
        NewAction("ServiceReportAction", "&Gereedschappen", QStringLiteral("Service&rapport opslaan..."));

    // The keys an engineer expects: save the backup, refresh from the board, help.
    SaveSettingsAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    GetSettingsAction->setShortcut(QKeySequence(Qt::Key_F5));
    HelpManualAction->setShortcut(QKeySequence(Qt::Key_F1));
    // Also from the other windows of the tool, while no dialog holds the input.
    HelpManualAction->setShortcutContext(Qt::ApplicationShortcut);

    // Auto-check alone in its group: each use flips its check mark.
    StopLoggingAction->setCheckable(true);

    ModeGroup = new QActionGroup(this);
    ModeGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    for (QAction* mode : {ModeSnifAction, ModeServiceAction}) {
        mode->setCheckable(true);
        ModeGroup->addAction(mode);
    }
    ModeSnifAction->setChecked(true);

    auto bind = [this](QAction* action, void (TMainForm::*handler)()) {
        connect(action, &QAction::triggered, this, [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
    };
    connect(FileExitAction, &QAction::triggered, this, &QWidget::close);
    bind(StartLoggingAction, &TMainForm::StartLoggingActionExecute);
    bind(StopLoggingAction, &TMainForm::StopLoggingActionExecute);
    bind(PortOptionsAction, &TMainForm::PortOptionsActionExecute);
    bind(ConnectAction, &TMainForm::ConnectActionExecute);
    bind(DisconnectAction, &TMainForm::DisconnectActionExecute);
    bind(ModeSnifAction, &TMainForm::ChangeModeActionExecute);
    bind(ModeServiceAction, &TMainForm::ChangeModeActionExecute);
    bind(FlashAction, &TMainForm::FlashActionOpen);
    bind(GetSettingsAction, &TMainForm::GetSettingsActionExecute);
    bind(SetSettingsAction, &TMainForm::SetSettingsActionExecute);
    bind(DefaultSettingsAction, &TMainForm::DefaultSettingsActionExecute);
    connect(HelpAboutAction, &QAction::triggered, this, [this] {
        Guarded([] {
            if (AboutForm != nullptr) AboutForm->exec();
        });
    });
    connect(SaveSettingsAction, &QAction::triggered, this, [this] { Guarded([this] { SettingsTransfer->SaveAs(); }); });
    connect(LoadSettingsAction, &QAction::triggered, this, [this] { Guarded([this] { SettingsTransfer->Load(); }); });
    connect(CompareSettingsAction, &QAction::triggered, this,
            [this] { Guarded([this] { SettingsTransfer->Compare(); }); });
    bind(RestoreSnapshotAction, &TMainForm::RestoreSnapshotActionExecute);
    bind(ChartAction, &TMainForm::ChartActionExecute);
    bind(HelpManualAction, &TMainForm::HelpManualActionExecute);
    bind(StartCaptureAction, &TMainForm::StartCaptureActionExecute);
    bind(StopCaptureAction, &TMainForm::StopCaptureActionExecute);
    bind(TrafficAction, &TMainForm::TrafficActionExecute);
    bind(FaultHistoryAction, &TMainForm::FaultHistoryActionExecute);
    bind(ServiceReportAction, &TMainForm::ServiceReportActionExecute);
}

void TMainForm::BuildMenusAndToolBar() {
    ActionMainMenuBar1 = new QMenuBar(this);
    ActionMainMenuBar1->setObjectName(QStringLiteral("ActionMainMenuBar1"));
    setMenuBar(ActionMainMenuBar1);

    QMenu* file = ActionMainMenuBar1->addMenu(QStringLiteral("&File"));
    file->addAction(StartLoggingAction);
    file->addAction(PlaceAt(StopLoggingAction, "&Stop Loggen"));
    file->addAction(StartCaptureAction);
    file->addAction(StopCaptureAction);
    file->addAction(PlaceAt(FileExitAction, "Sl&uiten"));

    QMenu* link = ActionMainMenuBar1->addMenu(QStringLiteral("&Verbinding"));
    link->addAction(PortOptionsAction);
    link->addSeparator();
    link->addAction(PlaceAt(ConnectAction, "C&onnect"));
    link->addAction(DisconnectAction);

    QMenu* mode = ActionMainMenuBar1->addMenu(QStringLiteral("&Mode"));
    mode->addAction(ModeSnifAction);
    mode->addAction(ModeServiceAction);

    QMenu* tools = ActionMainMenuBar1->addMenu(QStringLiteral("&Gereedschappen"));
    for (QAction* a : {PortOptionsAction, FlashAction, GetSettingsAction, DefaultSettingsAction, SetSettingsAction})
        tools->addAction(a);
    tools->addSeparator();
    for (QAction* a : {SaveSettingsAction, LoadSettingsAction, CompareSettingsAction, RestoreSnapshotAction})
        tools->addAction(a);
    tools->addSeparator();
    tools->addAction(ChartAction);
    tools->addAction(TrafficAction);
    tools->addAction(FaultHistoryAction);
    tools->addSeparator();
    tools->addAction(ServiceReportAction);

    QMenu* help = ActionMainMenuBar1->addMenu(QStringLiteral("&Help"));
    help->addAction(HelpManualAction);
    help->addAction(HelpAboutAction);

    ActionToolBar1 = new QToolBar(this);
    ActionToolBar1->setObjectName(QStringLiteral("ActionToolBar1"));
    ActionToolBar1->setMovable(false);
    ActionToolBar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    addToolBar(Qt::TopToolBarArea, ActionToolBar1);
    ActionToolBar1->addAction(ConnectAction);
    ActionToolBar1->addAction(DisconnectAction);
    ActionToolBar1->addSeparator();
    ActionToolBar1->addAction(PlaceAt(ModeSnifAction, "M&eekijken"));
    ActionToolBar1->addAction(ModeServiceAction);
    ActionToolBar1->addSeparator();
    ActionToolBar1->addAction(StartLoggingAction);
    ActionToolBar1->addAction(PlaceAt(StopLoggingAction, "S&top Loggen"));
    ActionToolBar1->addSeparator();
    ActionToolBar1->addAction(FileExitAction);
    ActionToolBar1->addSeparator();
    ActionToolBar1->addAction(ChartAction);
    ActionToolBar1->addAction(PlaceAt(TrafficAction, "Ve&rkeer"));
    BuildInstallationField();
}

void TMainForm::BuildClientArea() {
    auto* client = new QWidget(this);
    auto* column = new QVBoxLayout(client);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    PageControl1 = new QTabWidget(client);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    TabSheetToshiba = new TMonitorPage(PageControl1);
    TabSheetToshiba->setObjectName(QStringLiteral("TabSheetToshiba"));
    PageControl1->addTab(TabSheetToshiba, QStringLiteral("&Meekijken"));
    if (TabSheetToshiba->btnShowAdvancedViewer != nullptr)
        connect(TabSheetToshiba->btnShowAdvancedViewer, &QPushButton::clicked, this,
                [this] { Guarded([this] { btnShowAdvancedViewerClick(); }); });

    TabSheetService = new TSettingsPage(host_, GetSettingsAction, SetSettingsAction, DefaultSettingsAction, FlashAction,
                                        PageControl1);
    ServiceBox = TabSheetService->ServiceBox;
    TabSheetService->CurvePreview->Title = [this] { return QString::fromStdString(VisitTitle(Visit.Stamp())); };
    connect(TabSheetService->btnShowAdvancedSettings, &QPushButton::clicked, this,
            [this] { Guarded([this] { btnShowAdvancedSettingsClick(); }); });
    PageControl1->addTab(TabSheetService, QStringLiteral("&Instellingen"));
    PageControl1->setCurrentWidget(TabSheetToshiba);
    GiveMenusTheirAltLetters(ActionMainMenuBar1, PageControl1->tabBar());
    for (const QString& clash : MenuLetterClashes(ActionMainMenuBar1)) host_.Trace(clash.toStdString());
    column->addWidget(PageControl1, 1);

    Panel2 = new QWidget(client);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFixedHeight(17);
    auto* strip = new QHBoxLayout(Panel2);
    strip->setContentsMargins(0, 0, 0, 0);
    strip->setSpacing(4);
    ProgressLabel = new QLabel(Panel2);
    ProgressLabel->setObjectName(QStringLiteral("ProgressLabel"));
    ProgressLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ProgressLabel->setMinimumWidth(240);
    ProgressMeter = new TPercentageMeter(Panel2);
    ProgressMeter->setObjectName(QStringLiteral("ProgressMeter"));
    ProgressMeter->SetForeColor(QColor(192, 192, 192));
    ProgressMeter->setToolTip(QStringLiteral("Progress"));
    ProgressMeter->setStatusTip(QStringLiteral("How far a lengthy operation has progressed"));
    ProgressMeter->setMinimumWidth(160);  // a long status must not push it out of sight
    btnStopRun = new QToolButton(Panel2);
    btnStopRun->setObjectName(QStringLiteral("btnStopRun"));
    btnStopRun->setText(QStringLiteral("Stoppen"));
    btnStopRun->setToolTip(QStringLiteral("Het wegschrijven stoppen: er gaat daarna niets meer naar het bord"));
    btnStopRun->setAutoRaise(false);
    btnStopRun->setFixedHeight(17);
    btnStopRun->hide();
    connect(btnStopRun, &QToolButton::clicked, this, [this] {
        btnStopRun->setEnabled(false);
        ProgressLabel->setText(QStringLiteral("Stoppen..."));
        SettingsTransfer->Stop();
    });
    strip->addWidget(ProgressLabel);
    strip->addWidget(ProgressMeter, 1);
    strip->addWidget(btnStopRun);
    ProgressMeter->hide();  // the strip starts as a cleared one: nothing is in progress yet
    column->addWidget(Panel2);

    ConnectedIndicator = new QFrame(client);
    ConnectedIndicator->setObjectName(QStringLiteral("ConnectedIndicator"));
    ConnectedIndicator->setFrameShape(QFrame::NoFrame);
    ConnectedIndicator->setFixedHeight(15);
    ConnectedIndicator->setAutoFillBackground(true);
    ConnectedIndicator->setToolTip(QStringLiteral("Connected"));
    ConnectedIndicator->setStatusTip(QStringLiteral("Lit if a connection is active."));
    column->addWidget(ConnectedIndicator);

    setCentralWidget(client);
}

bool TMainForm::Logging() const { return DataLog && DataLog->Logging(); }

void TMainForm::SetAllowances() {
    const TConnectionState state = CommsDataModule ? CommsDataModule->ConnectionState() : csDisconnected;
    const bool connected = state == csConnected;
    const bool disconnected = state == csDisconnected;

    ConnectAction->setEnabled(disconnected);
    PortOptionsAction->setEnabled(disconnected);
    // A network connect takes a moment: it can be given up meanwhile.
    DisconnectAction->setEnabled(connected || state == csConnecting);
    ModeServiceAction->setEnabled(connected);

    // The fields keep the last values after the connection ends; they must not pass for live ones.
    if (disconnected && FLastReport.isValid() && !FValuesStale) MarkValuesStale(true);

    QPalette palette = ConnectedIndicator->palette();
    palette.setColor(QPalette::Window, connected ? kIndicatorOn : kIndicatorOff);
    ConnectedIndicator->setPalette(palette);

    if (auto* c2e = TabSheetToshiba->findChild<QWidget*>(QStringLiteral("C2EBox"))) c2e->setEnabled(false);

    if (!connected && ModeServiceAction->isChecked()) {
        ModeServiceAction->setChecked(false);
        // Without a connection the tool watches: the mode menu must say so.
        ModeSnifAction->setChecked(true);
    }

    const bool service = ModeServiceAction->isChecked();
    if (!service) {
        KeepInServiceModeTimer->stop();
        ServiceBox->setEnabled(false);
        FlashAction->setEnabled(false);
        GetSettingsAction->setEnabled(false);
        SetSettingsAction->setEnabled(false);
    }

    const int serviceIndex = PageControl1->indexOf(TabSheetService);
    const int monitorIndex = PageControl1->indexOf(TabSheetToshiba);
    PageControl1->setTabVisible(serviceIndex, service);
    if (!service && AdvancedSettingsForm != nullptr) AdvancedSettingsForm->hide();
    PageControl1->setTabVisible(monitorIndex, !service);
    if (service && AdvancedViewForm != nullptr) AdvancedViewForm->hide();
    PageControl1->setCurrentIndex(service ? serviceIndex : monitorIndex);

    StopLoggingAction->setEnabled(Logging());
    StartLoggingAction->setEnabled(!Logging());
    CaptureAllowances();
    SettingsFileActionsAllowances();

    // The service tab's show and hide follow its visibility here, where it changes, so they do
    // not depend on whether the window itself is on screen.
    if (service != FServiceTabShown) {
        FServiceTabShown = service;
        if (service)
            TabSheetServiceShow();
        else
            TabSheetServiceHide();
    }
    if (StatusStrip != nullptr) StatusStrip->Refresh();
    ShowLineInCaption(connected);
}

void TMainForm::ShowLineInCaption(bool connected) {
    // A board far away is named in the caption, so the engineer knows which one the window holds.
    const std::string port = TrimSpaces(CommsDataModule ? CommsDataModule->ZylSerialPort.PortName() : std::string());
    const QString line = connected && IsNetAddress(port) ? QStringLiteral(" - ") + QString::fromStdString(port) : QString();
    if (line == FLineInCaption) return;
    QString caption = windowTitle();
    if (!FLineInCaption.isEmpty() && caption.endsWith(FLineInCaption)) caption.chop(FLineInCaption.size());
    FLineInCaption = line;
    setWindowTitle(caption + line);
}

void TMainForm::ConnectActionExecute() {
    // With no port chosen there is nothing to open: ask for one instead of doing nothing.
    if (CommsDataModule->ZylSerialPort.GetPort() == spNone) {
        PortOptionsActionExecute();
        return;
    }
    ModeSnifAction->setChecked(true);
    CommsDataModule->Connect();
    TrendHistory.Clear();
    SetAllowances();
    const std::string port = TrimSpaces(CommsDataModule->ZylSerialPort.PortName());
    if (CommsDataModule->ConnectionState() != csDisconnected) Visit.SetPort(port);
    if (CommsDataModule->ConnectionState() == csConnected && IsNetAddress(port)) {
        try {
            RememberAddress(GlobalDataModule->OvcRegistryStore, port);
        } catch (const std::exception& e) {
            host_.Trace(std::string("Address not remembered: ") + e.what());
        }
    }
}

void TMainForm::PortOptionsActionExecute() {
    struct Allowances {
        TMainForm* form;
        ~Allowances() { form->SetAllowances(); }  // also when Connect raises
    } allowances{this};
    TPortList ports;
    CommsDataModule->FillAvailableComPortsList(ports);
    // The chosen port when it is there (a device path or an address always is), else the adapter
    // the detector found.
    std::string start = CommsDataModule->ZylSerialPort.PortName();
    const auto listed = [&ports](const std::string& name) {
        return PortNumberFromName(name) == 0 ||
               std::any_of(ports.begin(), ports.end(), [&name](const TPortListItem& p) { return p.Name == name; });
    };
    if (!listed(start) && !CommsDataModule->FTDI_VCOM.Adapters().empty())
        start = CommsDataModule->FTDI_VCOM.Adapters().front().Name;
    TSelectCOMPortForm dialog(ports, start, this);
    dialog.SetRecentAddresses(ReadRecentAddresses(GlobalDataModule->OvcRegistryStore));
    if (dialog.exec() != QDialog::Accepted || dialog.SelectedPort().empty()) return;
    PreselectPort(CommsDataModule->ZylSerialPort, dialog.SelectedPort());  // a name, a device path or an address
    ConnectActionExecute();  // watching, connected, a fresh trend: as the connect command does it
}

bool TMainForm::PortToOpen() const {
    const TZylSerialPort& port = CommsDataModule->ZylSerialPort;
    const TCommPort chosen = port.GetPort();
    if (CommsDataModule->FTDI_VCOM.Count > 0 || chosen == spCustom) return true;  // a path or address: trusted
    return chosen != spNone && port.GetExistingCommPorts().test(static_cast<size_t>(chosen));
}

void TMainForm::DisconnectActionExecute() {
    const bool service = ModeServiceAction->isChecked();
    if (service && !SettingsTransfer->MayDiscardChanges(TDiscard::Disconnect)) return;
    CommsDataModule->Disconnect();
    SetAllowances();
    // Service mode ends here as surely as through the mode menu, and leaves the switch at PROGRAM.
    if (service) host_.MessageBox(TMsgDlgType::mtWarning, MSG_SWITCH_TO_RUN, TMsgDlgButtons::mbOK);
}

void TMainForm::LineLost() {
    // The download and the settings write say so themselves.
    const bool toldThere = CommsDataModule->FlashingFirmware() || SettingsTransfer->Running();
    // Shown after the hand-over that reported it has returned, so the port's ending thread is
    // not held up by an open box.
    QTimer::singleShot(0, this, [this, toldThere] {
        // The window may be closing: closing the port dispatches events, this one among them.
        if (!CommsDataModule) return;
        if (!toldThere)
            host_.MessageBox(TMsgDlgType::mtWarning, CommsDataModule->LineLostText(MSG_LINE_LOST), TMsgDlgButtons::mbOK);
        CommsDataModule->TakeMissedArrival();
    });
}

void TMainForm::ChangeModeActionExecute() {
    // Leaving service mode leaves the changes unwritten: asked first, and staying undoes the choice.
    if (FServiceTabShown && !ModeServiceAction->isChecked() &&
        !SettingsTransfer->MayDiscardChanges(TDiscard::LeaveService)) {
        ModeServiceAction->setChecked(true);
        return;
    }
    const bool connected = CommsDataModule->ConnectionState() == csConnected;
    if (connected && ModeServiceAction->isChecked()) {
        host_.MessageBox(TMsgDlgType::mtWarning, MSG_SWITCH_TO_PROGRAM, TMsgDlgButtons::mbOK);
        SettingsCollected = false;
    }
    if (connected && !ModeServiceAction->isChecked()) {
        SettingsCollected = false;
        host_.MessageBox(TMsgDlgType::mtWarning, MSG_SWITCH_TO_RUN, TMsgDlgButtons::mbOK);
    }
    if (connected)
        TrendHistory.AddMark(ChartTime(Now()), TTrendMarkKind::Mode,
                             ModeServiceAction->isChecked() ? "Mode: Instellen" : "Mode: Meekijken");
    SetAllowances();
}

void TMainForm::KeepInServiceModeTimerTimer() { ServiceSession->KeepAliveTick(); }

void TMainForm::ProgressNotification(TCommsDataModule*, uint32_t Progress, uint32_t MaxProgress, bool Error,
                                     const std::string& Status, bool&) {
    StatusStrip->ShowProgress(Progress, MaxProgress, Status);
    if (Error) host_.MessageBox(TMsgDlgType::mtError, MSG_PROGRESS_ERROR, TMsgDlgButtons::mbOK);
}

void TMainForm::RealtimeReport(const uint8_t* Data, int32_t Size) {
    if (AdvancedViewForm != nullptr) ShowRealtimeReport(Data, Size, *TabSheetToshiba, *AdvancedViewForm, host_);
}

void TMainForm::KeepAliveStarted() {
    if (!KeepInServiceModeTimer->isActive()) KeepInServiceModeTimer->start();
}

void TMainForm::DatablockNotification(TCommsDataModule*, int32_t Size, const uint8_t* Data) {
    Handle485Message(*this, Data, Size);
    StatusStrip->BlockReceived(Data, Size);
    HandleLogfile();
    VisitBlock(Data, Size);
    if (Data != nullptr && Size >= 2 && Data[0] == K2MSENDMONDATA) {
        const QDateTime now = Now();
        if (TrendHistory.AddReport(ChartTime(now), Data, static_cast<size_t>(Size - 2))) {
            FLastReport = now;
            if (FValuesStale) MarkValuesStale(false);
        }
    }
}

void TMainForm::MarkValuesStale(bool stale) {
    FValuesStale = stale;
    const QString text =
        stale ? QStringLiteral("Niet actueel: laatste waarden van %1").arg(FLastReport.toString(QStringLiteral("HH:mm:ss")))
              : QString();
    ShowValuesStale(TabSheetToshiba, TabSheetToshiba->lblStale, text);
    if (AdvancedViewForm != nullptr) ShowValuesStale(AdvancedViewForm, AdvancedViewForm->lblStale, text);
}

void TMainForm::DataErrorNotification(TCommsDataModule*) {}

void TMainForm::btnShowAdvancedViewerClick() {
    if (AdvancedViewForm != nullptr) AdvancedViewForm->ShowFrom(windowTitle());
}

void TMainForm::ChartActionExecute() {
    const bool first = !TrendForm;
    TChartForm* form = ShowTrend(TrendForm, TrendHistory, host_, this);
    if (!first) return;
    form->PortName = [this] { return QString::fromStdString(TrimSpaces(CommsDataModule->ZylSerialPort.PortName())); };
    form->Installation = [this] { return QString::fromStdString(Visit.Installation()); };
    TrendFormState = std::make_unique<TWidgetFormState>(*form, GlobalDataModule->OvcRegistryStore, "TChartForm", host_);
    TrendFormState->RestoreState();
}

void TMainForm::WriteEnded(const std::string& text) {
    TrendHistory.AddMark(ChartTime(Now()), TTrendMarkKind::Job, text);
}

void TMainForm::HelpManualActionExecute() {
    if (!ManualForm) ManualForm = std::make_unique<TManualForm>(this);
    ManualForm->Open();
}

// ---- data log ----

QString TMainForm::ArrivalText(const QDateTime& arrival) {
    const QDate d = arrival.date();
    const QTime t = arrival.time();
    return QString::fromStdString(
        FormatLogTime({d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()}, LogTimeFormatOf(QLocale())));
}

QWidget* TMainForm::FindDisplayField(const char* name) const {
    const QString objectName = QString::fromLatin1(name);
    if (auto* w = findChild<QWidget*>(objectName)) return w;
    if (AdvancedViewForm != nullptr) return AdvancedViewForm->findChild<QWidget*>(objectName);
    return nullptr;
}

// ---- firmware ----

void TMainForm::FlashActionOpen() {
    QFileDialog dialog(this, QStringLiteral("Flash firmware"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({QStringLiteral("firmware files (*.a43)"), QStringLiteral("all files (*.*)")});
    dialog.setDefaultSuffix(QStringLiteral("a43"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    FlashActionExecute(dialog.selectedFiles().constFirst());
}

void TMainForm::FlashActionExecute(const QString& fileName) {
    if (host_.MessageBox(TMsgDlgType::mtWarning, MSG_FLASH_WARNING, TMsgDlgButtons::mbOKCancel) != TModalResult::mrOk)
        return;
    if (!SettingsTransfer->TakeSnapshot(TBoardChange::Firmware)) return;
    ModeServiceAction->setChecked(false);
    SetAllowances();

    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    setEnabled(false);
    struct Restore {
        TMainForm* form;
        const char* outcome = "mislukt";
        ~Restore() {
            std::string text("Firmware flashen: ");
            text += outcome;
            form->TrendHistory.AddMark(ChartTime(form->Now()), TTrendMarkKind::Job, text);
            form->setEnabled(true);
            QGuiApplication::restoreOverrideCursor();
            form->ModeServiceAction->setChecked(true);
            form->SetAllowances();
        }
    } restore{this};
    switch (CommsDataModule->FlashFirmware(fileName.toStdString())) {
        case TCommsDataModule::TFlashResult::Done: restore.outcome = "klaar"; break;
        case TCommsDataModule::TFlashResult::InvalidFile: restore.outcome = "ongeldig bestand"; break;
        case TCommsDataModule::TFlashResult::Declined: restore.outcome = "geweigerd"; break;
        case TCommsDataModule::TFlashResult::NoAnswer: restore.outcome = "geen antwoord"; break;
        case TCommsDataModule::TFlashResult::Stopped: restore.outcome = "afgebroken"; break;
    }
}

}  // namespace korvel
