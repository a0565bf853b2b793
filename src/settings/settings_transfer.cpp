#include "settings/settings_transfer.h"

#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <exception>
#include <span>
#include <string>

#include "comms/comms_data_module.h"
#include "host/text_format.h"
#include "korvel_version.h"
#include "messages/message_ids.h"
#include "messages/service_session.h"
#include "settings/advanced_settings_form.h"
#include "settings/settings_compare_dialog.h"
#include "widgets/picture_mask.h"

namespace korvel {

namespace {

// The user's decimal separator where it is one of the two a file may carry.
char DecimalSeparator() {
    const QString point = QLocale().decimalPoint();
    return point == QStringLiteral(",") ? ',' : '.';
}

std::string Name(const QString& path) { return QFileInfo(path).fileName().toStdString(); }

const QString kFileFilters = QStringLiteral("Instellingen (*.csv);;Alle bestanden (*)");

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += "- " + line + '\n';
    if (!text.empty()) text.pop_back();
    return text;
}

}  // namespace

TSettingsTransfer::TSettingsTransfer(TSettingsOwner& owner) : Owner(owner), FJob(owner.Comms()) {
    FJob.OnRequestSent = [this] { Owner.Service().Traffic(); };
    FJob.OnProgress = [this](size_t handled, size_t total) {
        Owner.RunProgress(static_cast<int>(handled * 100 / total));
    };
}

TParameterControls TSettingsTransfer::Controls() const {
    return TParameterControls(Owner.SettingsTab(), AdvancedSettingsForm);
}

void TSettingsTransfer::DecodeNvmContents(const uint8_t* Data, int32_t Size) {
    UiHost& host = Owner.Host();
    Owner.Service().Traffic();
    // Size counts the two check bytes. A report too short for the whole image would fill the
    // controls from bytes of earlier blocks, and a write after it would send them to the board.
    const size_t blockSize = Data == nullptr || Size < 2 ? 0 : static_cast<size_t>(Size) - 2;
    const std::span<const uint8_t> block(Data, blockSize);
    const auto values = DecodeNvmReport(block);
    if (!values) {
        host.Trace("NVM report ignored: " + std::to_string(blockSize) + " bytes, " + std::to_string(NVM_REPORT_SIZE) +
                   " expected");
        return;
    }
    if (FJob.Running() && !(FJob.AwaitingStore() && Data[0] == K2PRFLASHNVM)) {
        // A fetch's late answer must not replace what is being written: a run that fails leaves
        // the engineer's values in the controls, and one that stores refills them from the board.
        host.Trace("NVM report held back: a write is running");
        return;
    }
    Controls().SetValues(*values);
    Owner.SettingsCollectedFlag() = true;
    FHoldsValues = true;
    Owner.SettingsFileActionsAllowances();
}

void TSettingsTransfer::Fetch() {
    // A fetch inside a write run would refill the controls while they are being written.
    if (FJob.Running()) return;
    FJob.Fetch();
}

void TSettingsTransfer::SetDefaults() {
    TParameterControls controls = Controls();
    const auto table = NvmParameters();
    for (size_t i = 0; i < table.size(); ++i)
        if (table[i].HasDefault) controls.SetValue(i, table[i].Default);
    FHoldsValues = true;
}

void TSettingsTransfer::TabSheetServiceShow() {
    if (Owner.SettingsCollectedFlag()) return;
    // The show follows the window's allowances, which also run while a command unwinds after the
    // adapter was pulled: the port is closed before the disconnect reaches the window, and that
    // disconnect tells the engineer. An error here must not escape.
    try {
        Fetch();
    } catch (const std::exception& e) {
        Owner.Host().Trace(std::string("NVM fetch on showing the settings not sent: ") + e.what());
    }
}

void TSettingsTransfer::TabSheetServiceHide() {
    // A write run that loses the line says so itself; nothing could be stored now anyway.
    if (Owner.SettingsCollectedFlag() && !FJob.Running())
        Owner.Host().MessageBox(TMsgDlgType::mtConfirmation, MSG_SAVE_REMINDER, TMsgDlgButtons::mbOK);
}

namespace {

// Only what the engineer can correct stops a write: a hidden or read-only field goes back to the
// board as the board reported it, whatever its limits say.
bool Correctable(const TNvmParameter& p) { return !p.Hidden && !p.ReadOnly; }

}  // namespace

bool TSettingsTransfer::CheckWritable(const TParameterControls& controls) {
    UiHost& host = Owner.Host();
    if (!FHoldsValues || !controls.Complete()) {
        host.MessageBox(TMsgDlgType::mtError, MSG_NOTHING_TO_WRITE, TMsgDlgButtons::mbOK);
        return false;
    }
    std::vector<std::string> invalid;
    const auto table = NvmParameters();
    for (size_t i = 0; i < table.size(); ++i)
        if (Correctable(table[i]) && !controls.Valid(i))
            invalid.push_back(NvmDisplayName(table[i]) + ": " + controls.Shown(i).toStdString());
    if (invalid.empty()) return true;
    host.MessageBox(TMsgDlgType::mtError, FormatText(MSG_INVALID_ENTRIES, {Lines(invalid)}), TMsgDlgButtons::mbOK);
    return false;
}

std::optional<TNvmWords> TSettingsTransfer::FieldWords(const TParameterControls& controls, const char* what) {
    // A field showing an entry it did not take still holds the value before it: saving or
    // comparing that would disagree with the screen. A value held outside its limits (the board's)
    // is what it shows, and is saved whole.
    std::vector<std::string> pending;
    const auto table = NvmParameters();
    for (size_t i = 0; i < table.size(); ++i)
        if (controls.Pending(i)) pending.push_back(NvmDisplayName(table[i]) + ": " + controls.Shown(i).toStdString());
    if (!pending.empty()) {
        Owner.Host().MessageBox(TMsgDlgType::mtError, FormatText(MSG_INVALID_FOR_FILE, {what, Lines(pending)}),
                                TMsgDlgButtons::mbOK);
        return std::nullopt;
    }
    return NvmWordsOf(controls.Values());
}

void TSettingsTransfer::Write() {
    if (FJob.Running()) return;
    TParameterControls controls = Controls();
    if (!CheckWritable(controls)) return;

    // What the engineer saw when he chose to write is what goes out.
    const TNvmWords words = NvmWordsOf(controls.Values());
    std::vector<QString> shown;
    for (size_t i = 0; i < NVM_PARAMETER_COUNT; ++i) shown.push_back(controls.Shown(i));

    // The strip is the run's until it ends, on every way out; ending it puts the meter back to
    // 0 % and hides it.
    Owner.BeginRun(QStringLiteral("Instellingen wegschrijven"));
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    // While the run waits for the board, nothing may change what is being written or start a
    // second run, a fetch, a mode change or a download: the windows take no input until it ends.
    Owner.OwnerWindow()->setEnabled(false);
    if (AdvancedSettingsForm != nullptr) AdvancedSettingsForm->setEnabled(false);
    struct Restore {
        TSettingsTransfer& t;
        ~Restore() {
            QGuiApplication::restoreOverrideCursor();
            t.Owner.OwnerWindow()->setEnabled(true);
            if (AdvancedSettingsForm != nullptr) AdvancedSettingsForm->setEnabled(true);
            t.Owner.EndRun();
            t.Owner.SettingsFileActionsAllowances();
        }
    } restore{*this};
    ShowOutcome(FJob.Write(words), shown);
}

void TSettingsTransfer::ShowOutcome(const TWriteOutcome& outcome, const std::vector<QString>& shown) {
    UiHost& host = Owner.Host();
    auto error = [&](const char* text) { host.MessageBox(TMsgDlgType::mtError, text, TMsgDlgButtons::mbOK); };
    switch (outcome.Result) {
        case TWriteResult::LineLostInWrite: return error(Owner.Comms().LineLostText(MSG_WRITE_LINE_LOST).c_str());
        case TWriteResult::WriteUnanswered:
        case TWriteResult::Stopped: return error(MSG_COMMS_FAILED);
        case TWriteResult::LineLostInStore: return error(Owner.Comms().LineLostText(MSG_STORE_LINE_LOST).c_str());
        case TWriteResult::StoreUnanswered: return error(MSG_NOT_PROGRAMMED);
        case TWriteResult::Stored:
        case TWriteResult::StoreDiffers:
        case TWriteResult::StoreUnverified: break;
    }
    host.MessageBox(TMsgDlgType::mtInformation, MSG_PROGRAMMED, TMsgDlgButtons::mbOK);
    if (outcome.Result == TWriteResult::StoreUnverified) {
        host.MessageBox(TMsgDlgType::mtWarning, MSG_STORE_UNVERIFIED, TMsgDlgButtons::mbOK);
        return;
    }
    std::vector<std::string> differing;
    for (const TStoreMismatch& m : outcome.Mismatches) {
        const TNvmParameter& p = NvmParameters()[m.Row];
        std::string was = shown[m.Row].toStdString();
        std::string is = SettingsValueText(p, DecodeNvmWord(p, m.Stored), DecimalSeparator());
        // Two words can show as the same value (the 1/256 field); the words tell them apart.
        if (was == is) {
            was += " (woord " + std::to_string(m.Written) + ')';
            is += " (woord " + std::to_string(m.Stored) + ')';
        }
        differing.push_back(NvmDisplayName(p) + ": weggeschreven " + was + ", opgeslagen " + is);
    }
    if (!differing.empty())
        host.MessageBox(TMsgDlgType::mtWarning, FormatText(MSG_STORE_DIFFERS, {Lines(differing)}),
                        TMsgDlgButtons::mbOK);
}

// ---- the settings file ----

bool TSettingsTransfer::SaveToFile(const QString& path) {
    const TParameterControls controls = Controls();
    const auto words = FieldWords(controls, "opgeslagen");
    if (!words) return false;
    const std::string text =
        WriteSettingsFile(controls.Values(), *words, KORVEL_FILE_VERSION_TEXT,
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString(),
                          DecimalSeparator());
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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Owner.Host().MessageBox(TMsgDlgType::mtError,
                               FormatText(MSG_FILE_NOT_READ, {Name(path), file.errorString().toStdString()}),
                               TMsgDlgButtons::mbOK);
        return std::nullopt;
    }
    const QByteArray bytes = file.read(static_cast<qint64>(SETTINGSFILEMAXSIZE) + 1);
    TSettingsFileRead read = ReadSettingsFile(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    if (!read.Ok()) {
        Owner.Host().MessageBox(TMsgDlgType::mtError, FormatText(MSG_FILE_REFUSED, {Name(path), read.Error}),
                               TMsgDlgButtons::mbOK);
        return std::nullopt;
    }
    return read;
}

bool TSettingsTransfer::LoadFromFile(const QString& path) {
    if (FJob.Running()) return false;
    const auto read = ReadFile(path);
    if (!read) return false;
    Controls().SetValues(read->Values);
    FHoldsValues = true;
    Owner.Host().MessageBox(TMsgDlgType::mtInformation, FormatText(MSG_FILE_LOADED, {Name(path)}), TMsgDlgButtons::mbOK);
    return true;
}

std::optional<std::vector<TSettingsDifference>> TSettingsTransfer::CompareWithFile(const QString& path) {
    const auto words = FieldWords(Controls(), "vergeleken");
    if (!words) return std::nullopt;
    const auto read = ReadFile(path);
    if (!read) return std::nullopt;
    return CompareSettings(*words, read->Words, false, DecimalSeparator());
}

std::optional<std::vector<TSettingsDifference>> TSettingsTransfer::CompareWithDefaults() {
    const auto words = FieldWords(Controls(), "vergeleken");
    if (!words) return std::nullopt;
    return CompareSettings(*words, NvmDefaultWords(*words), true, DecimalSeparator());
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
    ask.exec();
    if (ask.clickedButton() == withDefaults) {
        if (const auto differences = CompareWithDefaults())
            ShowDifferences(*differences, QStringLiteral("de standaardwaarden"), QStringLiteral("Standaard"));
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

}  // namespace korvel
