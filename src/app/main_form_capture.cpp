// The main window's side of the line's record: the capture file ("Start Opname...", "Stop
// Opname", shown in the strip while it runs) and the traffic window "Verkeer".
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>

#include "app/main_form.h"
#include "capture/traffic_form.h"

namespace korvel {

void TMainForm::BuildCapture() {
    CaptureLabel = new QLabel(Panel2);
    CaptureLabel->setObjectName(QStringLiteral("CaptureLabel"));
    CaptureLabel->hide();
    static_cast<QHBoxLayout*>(Panel2->layout())->insertWidget(0, CaptureLabel);

    TrafficFeed = std::make_unique<TTrafficFeed>(CommsDataModule->LineRecord, TrafficLog, nullptr);
    // A file that fails (a full disk) is found on whichever thread wrote last; told here.
    const QPointer<TMainForm> self(this);
    CommsDataModule->LineRecord.SetFileErrorHandler([self](const std::string& error) {
        QMetaObject::invokeMethod(
            self.data(),
            [self, error] {
                if (self == nullptr) return;
                self->SetAllowances();
                self->host_.MessageBox(TMsgDlgType::mtError, error, TMsgDlgButtons::mbOK);
            },
            Qt::QueuedConnection);
    });
}

void TMainForm::CaptureAllowances() {
    const bool recording = CommsDataModule && CommsDataModule->LineRecord.Recording();
    StartCaptureAction->setEnabled(!recording);
    StopCaptureAction->setEnabled(recording);
    if (CaptureLabel == nullptr) return;
    CaptureLabel->setVisible(recording);
    if (!recording) return;
    const QString path = QString::fromStdString(CommsDataModule->LineRecord.FilePath());
    CaptureLabel->setText(QStringLiteral("Opname: ") + QFileInfo(path).fileName());
    CaptureLabel->setToolTip(QStringLiteral("Wat over de lijn gaat, wordt opgenomen in ") + QDir::toNativeSeparators(path));
}

void TMainForm::StartCaptureActionExecute() {
    QFileDialog dialog(this, QStringLiteral("Save Opname as"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({QStringLiteral("Opnames (*.pcapng)"), QStringLiteral("All files (*.*)")});
    dialog.setDefaultSuffix(QStringLiteral("pcapng"));
    dialog.selectFile(QStringLiteral("korvel-%1.pcapng")
                          .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"))));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    StartCaptureActionAccept(dialog.selectedFiles().constFirst());
}

void TMainForm::StartCaptureActionAccept(const QString& fileName) {
    struct Allowances {
        TMainForm* form;
        ~Allowances() { form->SetAllowances(); }  // also when the file cannot be made
    } allowances{this};
    CommsDataModule->LineRecord.StartFile(fileName.toStdString());
}

void TMainForm::StopCaptureActionExecute() {
    CommsDataModule->LineRecord.StopFile();
    SetAllowances();
}

void TMainForm::TrafficActionExecute() { ShowTraffic(TrafficForm, TrafficLog, *TrafficFeed, host_, this); }

}  // namespace korvel
