// The main window: owner of the communications module, carrier of every user command, the two
// working modes, the keep-alive in service mode, the progress strip and the data log.
#pragma once

#include <QDateTime>
#include <QMainWindow>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/status_strip.h"
#include "capture/traffic_log.h"
#include "charts/trend_history.h"
#include "comms/comms_data_module.h"
#include "host/ui_host.h"
#include "messages/monitor_page.h"
#include "messages/msg2text.h"
#include "messages/service_session.h"
#include "settings/advanced_settings_form.h"
#include "settings/settings_transfer.h"
#include "visit/service_visit.h"

class QAction;
class QActionGroup;
class QFrame;
class QLabel;
class QTabWidget;
class QTimer;
class QToolBar;
class QToolButton;
class QCloseEvent;
class QMenuBar;
class QDialog;
class QComboBox;

namespace korvel {

class TAdvancedViewForm;
class TAdvancedSettingsForm;
class TGlobalDataModule;
class TChartForm;
class TManualForm;
class TPercentageMeter;
class TDataLog;
class TSettingsPage;
class TTrafficFeed;
class TTrafficForm;
class TWidgetFormState;
class TFaultListForm;


inline constexpr const char* MAIN_CAPTION = "Korvel Service gereedschap";
inline constexpr const char* MSG_PROGRESS_ERROR =
    "Er is een fout opgetreden. De gegevens zijn mogelijk niet compleet.";
inline constexpr const char* MSG_SWITCH_TO_PROGRAM = "Zet de RUN/PROGRAM schakelaar in de stand PROGRAM.";
inline constexpr const char* MSG_SWITCH_TO_RUN = "Zet de RUN/PROGRAM schakelaar in de stand RUN.";
// A line that went away by itself (adapter pulled, board unpowered): values stop changing, so the
// engineer is told rather than left to notice the indicator.
inline constexpr const char* MSG_LINE_LOST = "De verbinding met het KORVEL bord is verbroken.";
inline constexpr const char* MSG_CLOSE_WHILE_WRITING =
    "De instellingen worden nog weggeschreven. Wacht tot het klaar is, of kies \"Stoppen\" in de balk onderin.";
inline constexpr const char* MSG_FLASH_WARNING =
    "U gaat nu nieuwe firmware naar het KORVEL bord sturen.\n"
    "Mocht dit mislukken dan moet het bord terug naar de fabrikant voor service.";

class TMainForm : public QMainWindow, public TBoardMessages, public TSettingsOwner {
    Q_OBJECT
public:
    explicit TMainForm(UiHost& host, QWidget* parent = nullptr);  // FormCreate
    ~TMainForm() override;                                         // FormDestroy

    UiHost& Host() override { return host_; }
    TServiceSession& Service() override { return *ServiceSession; }

    // Components.
    QMenuBar* ActionMainMenuBar1 = nullptr;
    QToolBar* ActionToolBar1 = nullptr;
    std::vector<QAction*> ActionList;  // every action once; "category" property as in the menus
    QAction* FileExitAction = nullptr;
    QAction* StartLoggingAction = nullptr;
    QAction* StopLoggingAction = nullptr;
    QAction* PortOptionsAction = nullptr;
    QAction* ConnectAction = nullptr;
    QAction* DisconnectAction = nullptr;
    QAction* ModeSnifAction = nullptr;
    QAction* ModeServiceAction = nullptr;
    QAction* FlashAction = nullptr;
    QAction* GetSettingsAction = nullptr;
    QAction* SetSettingsAction = nullptr;
    QAction* DefaultSettingsAction = nullptr;
    QAction* HelpAboutAction = nullptr;
    QAction* HelpManualAction = nullptr;  // F1
    // The settings file: back up, restore and compare.
    QAction* SaveSettingsAction = nullptr;
    QAction* LoadSettingsAction = nullptr;
    QAction* CompareSettingsAction = nullptr;
    // Loads a snapshot taken before an earlier write back into the fields.
    QAction* RestoreSnapshotAction = nullptr;
    QAction* ChartAction = nullptr;
    // The line's record: a capture file of what crosses the line, and the traffic window.
    QAction* StartCaptureAction = nullptr;
    QAction* StopCaptureAction = nullptr;
    QAction* TrafficAction = nullptr;
    // The visit: its fault history and its report.
    QAction* FaultHistoryAction = nullptr;
    QAction* ServiceReportAction = nullptr;
    QComboBox* cbInstallation = nullptr;  // "Installatie", in the tool bar
    QActionGroup* ModeGroup = nullptr;
    QTabWidget* PageControl1 = nullptr;
    TMonitorPage* TabSheetToshiba = nullptr;
    TSettingsPage* TabSheetService = nullptr;
    QWidget* ServiceBox = nullptr;
    QWidget* Panel2 = nullptr;
    QLabel* ProgressLabel = nullptr;
    TPercentageMeter* ProgressMeter = nullptr;
    QToolButton* btnStopRun = nullptr;  // "Stoppen", in the strip while a write runs
    QFrame* ConnectedIndicator = nullptr;
    QLabel* CaptureLabel = nullptr;  // in the strip while a capture is written
    // Drives ProgressLabel and ProgressMeter: a lengthy operation takes them with
    // StatusStrip->Operation(); otherwise the label tells how the link stands.
    TStatusStrip* StatusStrip = nullptr;
    QTimer* KeepInServiceModeTimer = nullptr;

    std::unique_ptr<TGlobalDataModule> GlobalDataModule;  // the window-placement stores
    std::unique_ptr<TCommsDataModule> CommsDataModule;
    std::unique_ptr<TServiceSession> ServiceSession;  // the handshake and the keep-alive
    std::unique_ptr<TSettingsTransfer> SettingsTransfer;

    // State.
    bool Logging() const;
    bool SettingsCollected = false;

    void SetAllowances();
    void ConnectActionExecute();
    void PortOptionsActionExecute();
    void DisconnectActionExecute();
    void ChangeModeActionExecute();
    void KeepInServiceModeTimerTimer();
    // Service settings; the work is done by SettingsTransfer.
    void GetSettingsActionExecute();
    void SetSettingsActionExecute();
    void DefaultSettingsActionExecute();
    void SetDefaults();
    void TabSheetServiceShow();
    void TabSheetServiceHide();
    void btnShowAdvancedSettingsClick();
    void RestoreSnapshotActionExecute();
    // Enables the settings-file commands: saving and comparing once the controls hold values (also
    // after the line has gone, so edits can be kept); loading in service mode once the board
    // has reported.
    void SettingsFileActionsAllowances() override;
    void ProgressNotification(TCommsDataModule* Sender, uint32_t Progress, uint32_t MaxProgress, bool Error,
                              const std::string& Status, bool& Cancel);
    void DatablockNotification(TCommsDataModule* Sender, int32_t Size, const uint8_t* Data);
    void DataErrorNotification(TCommsDataModule* Sender);
    void btnShowAdvancedViewerClick();
    void ChartActionExecute();
    void HelpManualActionExecute();

    // Capture file and traffic window (main_form_capture.cpp).
    void StartCaptureActionAccept(const QString& fileName);
    void StopCaptureActionExecute();
    void TrafficActionExecute();
    TTrafficLog TrafficLog;  // the latest blocks of the line, kept whether the window is open or not
    std::unique_ptr<TTrafficFeed> TrafficFeed;
    std::unique_ptr<TTrafficForm> TrafficForm;  // made when first asked for

    // Data log.
    void StartLoggingActionAccept(const QString& fileName);
    void StopLoggingActionExecute();
    void HandleLogfile();
    std::vector<std::string> LogColumns() const;  // columns 2..49 from the display fields
    static QString ArrivalText(const QDateTime& arrival);
    std::function<QDateTime()> Now = [] { return QDateTime::currentDateTime(); };

    // Firmware: the file has been chosen; the dialog stays in the action's slot.
    void FlashActionExecute(const QString& fileName);

    // Runs a handler; an error reaches the general error display.
    void Guarded(const std::function<void()>& handler);

    // The visit of this run (main_form_visit.cpp): a lost line and a new connect go on in it.
    TServiceVisit Visit;
    std::unique_ptr<TFaultListForm> FaultListForm;  // made when first asked for
    void SetInstallation(const QString& typed);
    void FaultHistoryActionExecute();
    void ServiceReportActionExecute();
    bool ServiceReportAccept(const QString& path);  // the PDF; a failure is told to the user
    std::vector<std::pair<QString, QString>> LiveValues() const;  // the monitor page's, with units

    // The live trend: the reports since the last connect, and its window once opened (declared
    // after the history, so it goes first).
    TTrendHistory TrendHistory;
    std::unique_ptr<TChartForm> TrendForm;
    std::unique_ptr<TWidgetFormState> TrendFormState;  // its placement, kept as the other windows keep theirs
    std::unique_ptr<TManualForm> ManualForm;  // made when first asked for

    // What the message decoder hands over.
    void RealtimeReport(const uint8_t* Data, int32_t Size) override;
    void NvmContents(const uint8_t* Data, int32_t Size) override;
    void ServiceConfirmed(bool first) override;
    void KeepAliveStarted() override;

    // What the settings transfer needs.
    TCommsDataModule& Comms() override { return *CommsDataModule; }
    QWidget* OwnerWindow() override { return this; }
    QWidget* SettingsTab() override;
    TVisitStamp VisitStamp() override { return Visit.Stamp(); }
    bool& SettingsCollectedFlag() override { return SettingsCollected; }
    void BeginRun(const QString& caption) override;
    void RunProgress(int percent) override;
    void RunStatus(const QString& text) override;
    void EndRun() override;
    void WriteEnded(const std::string& text) override;

protected:
    // Changes not written are asked about first; a write run is not left behind.
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* NewAction(const char* name, const char* category, const QString& caption);
    QAction* PlaceAt(QAction* action, const char* caption);
    void BuildActions();
    void BuildMenusAndToolBar();
    void BuildClientArea();
    void BuildInstallationField();
    void VisitBlock(const uint8_t* Data, int32_t Size);
    void StartLoggingActionExecute();
    void StartCaptureActionExecute();
    void BuildCapture();
    void CaptureAllowances();
    void FlashActionOpen();
    QWidget* FindDisplayField(const char* name) const;
    void LineLost();
    // Whether "Verbinding maken" has something to open: the adapter, or a chosen port present.
    bool PortToOpen() const;
    void MarkValuesStale(bool stale);
    void ShowLineInCaption(bool connected);

    UiHost& host_;
    std::unique_ptr<TDataLog> DataLog;
    std::optional<TStatusStrip::TOperation> FRunOperation;  // the strip, while a write runs
    bool FServiceTabShown = false;
    QDateTime FLastReport;  // arrival of the report the monitor fields show
    bool FValuesStale = false;
    QString FLineInCaption;  // what ShowLineInCaption added to the caption
};

// One instance each for the whole run; set by program start (null until created).
extern TMainForm* MainForm;
extern QDialog* AboutForm;
extern TAdvancedViewForm* AdvancedViewForm;

}  // namespace korvel
