// The settings transfer's commands on files: save, load and compare the settings file, and put a
// snapshot back into the fields.
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <ctime>
#include <filesystem>
#include <string>

#include "host/text_format.h"
#include "host/ui_host.h"
#include "korvel_version.h"
#include "settings/settings_compare_dialog.h"
#include "settings/settings_transfer.h"
#include "settings/snapshot_dialog.h"

namespace korvel {

namespace {

std::string Name(const QString& path) { return QFileInfo(path).fileName().toStdString(); }

const QString kFileFilters = QStringLiteral("Instellingen (*.csv);;Alle bestanden (*)");

QString Folder(const std::filesystem::path& folder) { return QString::fromStdString(PathText(folder)); }

}  // namespace

bool TSettingsTransfer::SaveToFile(const QString& path) {
    const TParameterControls controls = Controls();
    const auto words = FieldWords(controls, "opgeslagen");
    if (!words) return false;
    const std::string text =
        WriteSettingsFile(controls.Values(), *words, KORVEL_FILE_VERSION_TEXT,
                          SettingsFileTime(std::time(nullptr)),
                          SettingsDecimalSeparator(), Owner.VisitStamp());
    // Written aside and put in place whole, so a full disk never leaves half a backup behind.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) ||
        !file.commit()) {
        Owner.Host().MessageBox(TMsgDlgType::mtError,
                               FormatText(MSG_FILE_NOT_WRITTEN, {Name(path), file.errorString().toStdString()}),
                               TMsgDlgButtons::mbOK);
        return false;
    }
    // What the board holds is saved whole, also a value outside its field's limits; but such a
    // backup cannot be loaded back, and the engineer should know that now, not at the restore.
    const TSettingsFileRead check = ReadSettingsFile(text);
    if (!check.Ok())
        Owner.Host().MessageBox(TMsgDlgType::mtWarning, FormatText(MSG_FILE_UNLOADABLE, {Name(path), check.Error}),
                               TMsgDlgButtons::mbOK);
    return true;
}

std::optional<TSettingsFileRead> TSettingsTransfer::ReadFile(const QString& path) {
    TSettingsFileRead read = ReadSettingsFileAt(std::filesystem::path(path.toStdU16String()));
    if (read.NotRead) {
        Owner.Host().MessageBox(TMsgDlgType::mtError, FormatText(MSG_FILE_NOT_READ, {Name(path), read.Error}),
                               TMsgDlgButtons::mbOK);
        return std::nullopt;
    }
    if (!read.Ok()) {
        Owner.Host().MessageBox(TMsgDlgType::mtError, FormatText(MSG_FILE_REFUSED, {Name(path), read.Error}),
                               TMsgDlgButtons::mbOK);
        return std::nullopt;
    }
    return read;
}

bool TSettingsTransfer::MayUseFor(const TVisitStamp& made) {
    const std::string other = OtherInstallationText(made, Owner.VisitStamp());
    if (other.empty()) return true;
    return Owner.Host().MessageBox(TMsgDlgType::mtConfirmation, other + "\n" + MSG_LOAD_ANYWAY,
                                   TMsgDlgButtons::mbOKCancel) == TModalResult::mrOk;
}

std::string TSettingsTransfer::WithFirmwareNote(std::string text, const TVisitStamp& made) {
    const std::string firmware = OtherFirmwareText(made, Owner.VisitStamp());
    if (!firmware.empty()) text.append("\n\n").append(firmware);
    return text;
}

bool TSettingsTransfer::LoadFromFile(const QString& path) {
    if (Running()) return false;
    const auto read = ReadFile(path);
    // A refused file changes nothing, so there is nothing to ask about before it.
    if (!read || !MayUseFor(read->Stamp) || !MayDiscardChanges(TDiscard::File)) return false;
    PutValues(read->Values);
    Owner.Host().MessageBox(TMsgDlgType::mtInformation,
                            WithFirmwareNote(FormatText(MSG_FILE_LOADED, {Name(path)}), read->Stamp),
                            TMsgDlgButtons::mbOK);
    return true;
}

std::optional<std::vector<TSettingsDifference>> TSettingsTransfer::CompareWithFile(const QString& path) {
    const auto words = FieldWords(Controls(), "vergeleken");
    if (!words) return std::nullopt;
    const auto read = ReadFile(path);
    if (!read) return std::nullopt;
    return CompareSettings(*words, read->Words, false, SettingsDecimalSeparator());
}

std::optional<std::vector<TSettingsDifference>> TSettingsTransfer::CompareWithDefaults() {
    const auto words = FieldWords(Controls(), "vergeleken");
    if (!words) return std::nullopt;
    return CompareSettings(*words, NvmDefaultWords(*words), true, SettingsDecimalSeparator());
}

std::optional<std::vector<TSettingsDifference>> TSettingsTransfer::CompareWithBoard() {
    const auto& board = FMarks.BoardWords();
    const auto words = board ? FieldWords(Controls(), "vergeleken") : std::nullopt;
    if (!words) return std::nullopt;
    return CompareSettings(*words, *board, false, SettingsDecimalSeparator());
}

void TSettingsTransfer::SaveAs() {
    QFileDialog dialog(Owner.OwnerWindow(), QStringLiteral("Instellingen opslaan als"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(kFileFilters);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    SaveToFile(dialog.selectedFiles().constFirst());
}

void TSettingsTransfer::Load() {
    const QString path = QFileDialog::getOpenFileName(Owner.OwnerWindow(), QStringLiteral("Instellingen laden uit bestand"), QString(),
                                                      kFileFilters);
    if (!path.isEmpty()) LoadFromFile(path);
}

void TSettingsTransfer::Compare() {
    QMessageBox ask(QMessageBox::Question, QStringLiteral("Instellingen vergelijken"),
                    QStringLiteral("Waarmee wilt u de instellingen in de vensters vergelijken?"), QMessageBox::Cancel,
                    Owner.OwnerWindow());
    QPushButton* withFile = ask.addButton(QStringLiteral("Met een &bestand..."), QMessageBox::AcceptRole);
    QPushButton* withDefaults = ask.addButton(QStringLiteral("Met de &standaardwaarden"), QMessageBox::AcceptRole);
    QPushButton* withBoard = ask.addButton(QStringLiteral("Met het &KORVEL bord"), QMessageBox::AcceptRole);
    const QString reported = FMarks.BoardTime().toString(QStringLiteral("HH:mm:ss"));
    withBoard->setEnabled(FMarks.BoardWords().has_value());
    withBoard->setToolTip(FMarks.BoardWords() ? QStringLiteral("Wat het bord om %1 meldde").arg(reported)
                                              : QStringLiteral("Het bord heeft zijn instellingen nog niet gemeld"));
    ask.exec();
    if (ask.clickedButton() == withDefaults) {
        if (const auto differences = CompareWithDefaults())
            ShowDifferences(*differences, QStringLiteral("de standaardwaarden"), QStringLiteral("Standaard"));
    } else if (ask.clickedButton() == withBoard) {
        if (const auto differences = CompareWithBoard())
            ShowDifferences(*differences, QStringLiteral("wat het KORVEL bord om %1 meldde").arg(reported),
                            QStringLiteral("Op het bord"));
    } else if (ask.clickedButton() == withFile) {
        const QString path = QFileDialog::getOpenFileName(Owner.OwnerWindow(), QStringLiteral("Instellingen vergelijken met bestand"),
                                                          QString(), kFileFilters);
        if (path.isEmpty()) return;
        if (const auto differences = CompareWithFile(path))
            ShowDifferences(*differences, QStringLiteral("het bestand ") + QFileInfo(path).fileName(),
                            QStringLiteral("In het bestand"));
    }
}

void TSettingsTransfer::ShowDifferences(const std::vector<TSettingsDifference>& differences, const QString& other,
                                        const QString& heading) {
    TSettingsCompareDialog dialog(differences, other, heading, Owner.OwnerWindow());
    dialog.exec();
}

// ---- snapshots ----

std::optional<std::vector<TSnapshotEntry>> TSettingsTransfer::SnapshotEntries() {
    const auto words = FieldWords(Controls(), "vergeleken");
    if (!words) return std::nullopt;
    std::vector<TSnapshotEntry> entries;
    for (const TSnapshot& snapshot : FSnapshots.List()) {
        TSnapshotEntry entry{snapshot.Path, QString::fromStdString(snapshot.Time), ReadSnapshot(snapshot.Path), {},
                             QString::fromStdString(snapshot.Outcome)};
        if (entry.Read->Ok())
            entry.Differences = CompareSettings(*words, entry.Read->Words, false, SettingsDecimalSeparator());
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool TSettingsTransfer::LoadSnapshot(const TSnapshotEntry& entry) {
    if (Running()) return false;
    // Read again: the list may have been open for a while.
    const TSettingsFileRead read = ReadSnapshot(entry.Path);
    UiHost& host = Owner.Host();
    if (!read.Ok()) {
        host.MessageBox(TMsgDlgType::mtError, FormatText(MSG_SNAPSHOT_REFUSED, {entry.Time.toStdString(), read.Error}),
                        TMsgDlgButtons::mbOK);
        return false;
    }
    if (!MayUseFor(read.Stamp) || !MayDiscardChanges(TDiscard::Snapshot)) return false;
    PutValues(read.Values);
    host.MessageBox(TMsgDlgType::mtInformation,
                    WithFirmwareNote(FormatText(MSG_SNAPSHOT_LOADED, {entry.Time.toStdString()}), read.Stamp),
                    TMsgDlgButtons::mbOK);
    return true;
}

void TSettingsTransfer::RestoreSnapshot() {
    if (Running()) return;
    auto entries = SnapshotEntries();
    if (!entries) return;
    const QString folder = Folder(FSnapshots.Folder());
    if (entries->empty()) {
        Owner.Host().MessageBox(TMsgDlgType::mtInformation, FormatText(MSG_NO_SNAPSHOTS, {folder.toStdString()}),
                                TMsgDlgButtons::mbOK);
        return;
    }
    TSnapshotDialog dialog(std::move(*entries), folder, Owner.OwnerWindow());
    if (dialog.exec() != QDialog::Accepted || dialog.Chosen() == nullptr) return;
    LoadSnapshot(*dialog.Chosen());
}

}  // namespace korvel
