// The main window's part in the settings: its handlers of the settings actions, what the settings
// transfer asks of it (the strip during a write run, the commands' allowances), and the close,
// which asks before changes not written are lost.
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "app/main_form.h"
#include "settings/advanced_settings_form.h"
#include "settings/settings_page.h"
#include "widgets/percentage_meter.h"

namespace korvel {

void TMainForm::GetSettingsActionExecute() { SettingsTransfer->Fetch(); }
void TMainForm::SetSettingsActionExecute() { SettingsTransfer->Write(); }
void TMainForm::DefaultSettingsActionExecute() { SetDefaults(); }
void TMainForm::SetDefaults() { SettingsTransfer->SetDefaults(); }
void TMainForm::TabSheetServiceShow() { SettingsTransfer->TabSheetServiceShow(); }
void TMainForm::TabSheetServiceHide() { SettingsTransfer->TabSheetServiceHide(); }

void TMainForm::btnShowAdvancedSettingsClick() {
    if (AdvancedSettingsForm == nullptr) return;
    if (AdvancedSettingsForm->isVisible()) {
        AdvancedSettingsForm->raise();
        AdvancedSettingsForm->activateWindow();
        return;
    }
    if (!AskPinCode(host_)) return;
    SettingsTransfer->Marks().Refresh();  // its fields too, made after this window
    // Its fields take the keys of the main window's commands, not their letters.
    AdvancedSettingsForm->addActions({GetSettingsAction, SaveSettingsAction});
    AdvancedSettingsForm->setWindowTitle(windowTitle());
    AdvancedSettingsForm->show();
}

void TMainForm::RestoreSnapshotActionExecute() { SettingsTransfer->RestoreSnapshot(); }

void TMainForm::SettingsFileActionsAllowances() {
    const bool idle = SettingsTransfer && !SettingsTransfer->Running();
    const bool holds = idle && SettingsTransfer->HoldsValues();
    SaveSettingsAction->setEnabled(holds);
    CompareSettingsAction->setEnabled(holds);
    DefaultSettingsAction->setEnabled(!SettingsTransfer || !SettingsTransfer->EditsKept());
    // Values put in before the board's report would meet the fetch of service mode at once.
    const bool fill = idle && ModeServiceAction->isChecked() && SettingsCollected;
    LoadSettingsAction->setEnabled(fill);
    RestoreSnapshotAction->setEnabled(fill);
}

void TMainForm::NvmContents(const uint8_t* Data, int32_t Size) { SettingsTransfer->DecodeNvmContents(Data, Size); }

void TMainForm::ServiceConfirmed(bool first) {
    ServiceBox->setEnabled(true);
    FlashAction->setEnabled(true);
    if (first || !GetSettingsAction->isEnabled()) {
        GetSettingsAction->setEnabled(true);
        if (SettingsTransfer->Marks().Count() == 0) {
            SettingsTransfer->AutoFetch();
        } else {
            // It asks first: not inside the hand-over of the board's block, whose receive thread
            // would wait on the open question.
            QTimer::singleShot(0, this, [this] {
                Guarded([this] {
                    if (ModeServiceAction->isChecked() && GetSettingsAction->isEnabled()) SettingsTransfer->AutoFetch();
                });
            });
        }
    }
    SetSettingsAction->setEnabled(true);
}

QWidget* TMainForm::SettingsTab() { return TabSheetService; }

void TMainForm::BeginRun(const QString& caption) {
    FRunOperation.emplace(StatusStrip->Operation());
    ProgressLabel->setText(caption);
    ProgressMeter->SetPercent(0);
    ProgressMeter->show();
    // The strip stays live (readable, counting the wait, offering to stop); the rest takes no input.
    for (QWidget* w : {static_cast<QWidget*>(PageControl1), static_cast<QWidget*>(ActionMainMenuBar1),
                       static_cast<QWidget*>(ActionToolBar1)})
        w->setEnabled(false);
    btnStopRun->setEnabled(true);
    btnStopRun->show();
}

void TMainForm::RunProgress(int percent) { ProgressMeter->SetPercent(percent); }

void TMainForm::RunStatus(const QString& text) {
    if (ProgressLabel->text() != text && btnStopRun->isEnabled()) ProgressLabel->setText(text);
}

void TMainForm::EndRun() {
    btnStopRun->hide();
    for (QWidget* w : {static_cast<QWidget*>(PageControl1), static_cast<QWidget*>(ActionMainMenuBar1),
                       static_cast<QWidget*>(ActionToolBar1)})
        w->setEnabled(true);
    FRunOperation.reset();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (SettingsTransfer && SettingsTransfer->Running()) {
        host_.MessageBox(TMsgDlgType::mtInformation, MSG_CLOSE_WHILE_WRITING, TMsgDlgButtons::mbOK);
        event->ignore();
        return;
    }
    if (SettingsTransfer && !SettingsTransfer->MayDiscardChanges(TDiscard::Close)) {
        event->ignore();
        return;
    }
    // The tool goes, the board stays at PROGRAM: the same reminder as leaving service mode.
    if (ModeServiceAction->isChecked()) host_.MessageBox(TMsgDlgType::mtWarning, MSG_SWITCH_TO_RUN, TMsgDlgButtons::mbOK);
    QMainWindow::closeEvent(event);
}

}  // namespace korvel
