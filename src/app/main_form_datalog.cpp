// The data log of the window: its rows taken from the display fields, started and stopped.
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFileDialog>
#include <QLineEdit>
#include <chrono>

#include "app/main_form.h"
#include "datalog/data_log.h"

namespace korvel {

namespace {

TDataLog::TimePoint ToTimePoint(const QDateTime& t) {
    return TDataLog::TimePoint(std::chrono::milliseconds(t.toMSecsSinceEpoch()));
}

}  // namespace

std::vector<std::string> TMainForm::LogColumns() const {
    const auto layout = LogLayout().subspan(1);  // the time is not a display field
    std::vector<std::string> columns;
    columns.reserve(layout.size());
    for (const TLogColumn& column : layout) {
        QWidget* field = FindDisplayField(std::string(column.Field).c_str());
        const auto* box = qobject_cast<QCheckBox*>(field);
        QString value;
        switch (column.Kind) {
            case TLogColumnKind::Flag:
                value = QString::fromStdString(TF(box != nullptr && box->isChecked()));
                break;
            case TLogColumnKind::OnOff:
                value = box != nullptr && box->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
                break;
            case TLogColumnKind::Number:
                if (auto* edit = qobject_cast<QLineEdit*>(field)) value = edit->text();
                break;
            case TLogColumnKind::List:
                if (auto* list = qobject_cast<QComboBox*>(field)) value = list->currentText();
                break;
            case TLogColumnKind::Time:
                break;
        }
        columns.push_back(value.toStdString());
    }
    return columns;
}

void TMainForm::StartLoggingActionExecute() {
    QFileDialog dialog(this, QStringLiteral("Save Logfile as"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({QStringLiteral("All files (*.*)"), QStringLiteral("Logfiles (*.csv)")});
    dialog.selectNameFilter(QStringLiteral("All files (*.*)"));
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    StartLoggingActionAccept(dialog.selectedFiles().constFirst());
}

void TMainForm::StartLoggingActionAccept(const QString& fileName) {
    DataLog->Start(fileName.toStdString(), ToTimePoint(Now()));
    SetAllowances();
}

void TMainForm::StopLoggingActionExecute() {
    DataLog->Stop();
    SetAllowances();
}

void TMainForm::HandleLogfile() {
    if (!Logging()) return;
    const QDateTime arrival = Now();
    DataLog->HandleLogfile(ToTimePoint(arrival), ArrivalText(arrival).toStdString(), [this] { return LogColumns(); });
}

}  // namespace korvel
