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

#include "app/main_form.h"
#include "app/status_strip.h"
#include "host/text_format.h"
#include "messages/message_ids.h"
#include "app/korvel_version.h"
#include "settings/advanced_settings_form.h"
#include "settings/settings_compare_dialog.h"
#include "settings/settings_page.h"
#include "widgets/percentage_meter.h"
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

TSettingsTransfer::TSettingsTransfer(TMainForm& form) : Form(form) {}

TParameterControls TSettingsTransfer::Controls() const {
    return TParameterControls(Form.TabSheetService, AdvancedSettingsForm);
}

void TSettingsTransfer::DecodeNvmContents(const uint8_t* Data, int32_t Size) {
    UiHost& host = Form.Host();
    Form.KeepInServiceModeTicker = 0;
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
    if (FRunning && !(FAwaitingStore && Data[0] == K2PRFLASHNVM)) {
        // A fetch's late answer must not replace what is being written: a run that fails leaves
        // the engineer's values in the controls, and one that stores refills them from the board.
        host.Trace("NVM report held back: a write is running");
        return;
    }
    if (FAwaitingStore) FStoredImage.emplace(block.begin() + 1, block.begin() + NVM_REPORT_SIZE);
    Controls().SetValues(*values);
    Form.SettingsCollected = true;
    FHoldsValues = true;
    Form.SettingsFileActionsAllowances();
}

void TSettingsTransfer::Fetch() {
    // A fetch inside a write run would refill the controls while they are being written.
    if (FRunning) return;
    DataOut[0] = P2KGETNVM;
    Form.CommsDataModule->SendBlock(DataOut, 1);
    Form.KeepInServiceModeTicker = 0;
}

void TSettingsTransfer::SetDefaults() {
    TParameterControls controls = Controls();
    const auto table = NvmParameters();
    for (size_t i = 0; i < table.size(); ++i)
        if (table[i].HasDefault) controls.SetValue(i, table[i].Default);
    FHoldsValues = true;
}

void TSettingsTransfer::TabSheetServiceShow() {
    if (Form.SettingsCollected) return;
    // The show follows the window's allowances, which also run while a command unwinds after the
    // adapter was pulled: the port is closed before the disconnect reaches the window, and that
    // disconnect tells the engineer. An error here must not escape.
    try {
        Fetch();
    } catch (const std::exception& e) {
        Form.Host().Trace(std::string("NVM fetch on showing the settings not sent: ") + e.what());
    }
}

void TSettingsTransfer::TabSheetServiceHide() {
    // A write run that loses the line says so itself; nothing could be stored now anyway.
    if (Form.SettingsCollected && !FRunning)
        Form.Host().MessageBox(TMsgDlgType::mtConfirmation, MSG_SAVE_REMINDER, TMsgDlgButtons::mbOK);
}

bool TSettingsTransfer::LineUp() const {
    return Form.CommsDataModule->ConnectionState() == csConnected && Form.CommsDataModule->ZylSerialPort.IsConnected();
}

bool TSettingsTransfer::CheckWritable(const TParameterControls& controls) {
    UiHost& host = Form.Host();
    if (!FHoldsValues || !controls.Complete()) {
        host.MessageBox(TMsgDlgType::mtError, MSG_NOTHING_TO_WRITE, TMsgDlgButtons::mbOK);
        return false;
    }
    std::vector<std::string> invalid;
    const auto table = NvmParameters();
    for (size_t i = 0; i < table.size(); ++i)
        if (!controls.Valid(i))
            invalid.push_back(NvmDisplayName(table[i]) + ": " + controls.Shown(i).toStdString());
    if (invalid.empty()) return true;
    host.MessageBox(TMsgDlgType::mtError, FormatText(MSG_INVALID_ENTRIES, {Lines(invalid)}), TMsgDlgButtons::mbOK);
    return false;
}

bool TSettingsTransfer::Exchange(uint32_t Size, uint8_t ExpectedResponsecode) {
    try {
        OK = Form.CommsDataModule->TransceiveBlock(DataOut, Size, ExpectedResponsecode);
    } catch (const std::exception&) {
        // A send that fails is the line lost (adapter pulled), also before the window has heard
        // of the disconnect: the port closes first, the connection state follows a hand-over later.
        OK = false;
        FLineLost = true;
    }
    if (!OK && !LineUp()) FLineLost = true;
    if (FLineLost) Form.CommsDataModule->LineLost();  // told once, by the run's own message
    return OK;
}

bool TSettingsTransfer::SendItem(int64_t Address, int64_t Value) {
    const auto request = EncodeNvmWrite(Address, Value);
    std::copy(request.begin(), request.end(), DataOut);
    if (OK) Exchange(static_cast<uint32_t>(request.size()), K2PRSETNVM);
    Form.KeepInServiceModeTicker = 0;
    Progress += 2;
    Form.ProgressMeter->SetPercent(static_cast<int>(Progress * 100 / MaxProgress));
    return OK;
}

// The row of an address scales the value: tenths and 1/256 truncated toward zero, the
// single-precision fields to the tenth they show.
bool TSettingsTransfer::Send10xItem(int64_t Address, double Value) {
    return SendItem(Address, ScaleNvmValue(NvmParameters()[static_cast<size_t>(Address) / 2], Value));
}

bool TSettingsTransfer::Send256xItem(int64_t Address, double Value) {
    return SendItem(Address, ScaleNvmValue(NvmParameters()[static_cast<size_t>(Address) / 2], Value));
}

bool TSettingsTransfer::BurnNVM() {
    DataOut[0] = P2KFLASHNVM;
    FStoredImage.reset();
    FAwaitingStore = true;
    Exchange(1, K2PRFLASHNVM);
    FAwaitingStore = false;
    Form.KeepInServiceModeTicker = 0;
    return OK;
}

void TSettingsTransfer::Write() {
    if (FRunning) return;
    TParameterControls controls = Controls();
    if (!CheckWritable(controls)) return;

    UiHost& host = Form.Host();
    OK = true;
    FLineLost = false;
    Progress = 0;
    MaxProgress = 2 * NVM_PARAMETER_COUNT;
    // The strip is the run's until it ends, on every way out; ending it puts the meter back to
    // 0 % and hides it.
    const auto operation = Form.StatusStrip->Operation();
    Form.ProgressLabel->setText(QStringLiteral("Instellingen wegschrijven"));
    Form.ProgressMeter->SetPercent(0);
    Form.ProgressMeter->show();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    // While the run waits for the board, nothing may change what is being written or start a
    // second run, a fetch, a mode change or a download: the windows take no input until it ends.
    FRunning = true;
    Form.setEnabled(false);
    if (AdvancedSettingsForm != nullptr) AdvancedSettingsForm->setEnabled(false);
    struct Restore {
        TSettingsTransfer& t;
        ~Restore() {
            QGuiApplication::restoreOverrideCursor();
            t.FRunning = false;
            t.FAwaitingStore = false;
            t.Form.setEnabled(true);
            if (AdvancedSettingsForm != nullptr) AdvancedSettingsForm->setEnabled(true);
            t.Form.SettingsFileActionsAllowances();
        }
    } restore{*this};

    // What the engineer saw when he chose to write is what goes out.
    const auto table = NvmParameters();
    const std::vector<double> values = controls.Values();
    std::vector<uint16_t> written;
    std::vector<QString> shown;
    for (size_t i = 0; i < table.size(); ++i) {
        written.push_back(NvmWordOf(ScaleNvmValue(table[i], values[i])));
        shown.push_back(controls.Shown(i));
    }
    for (size_t i = 0; i < table.size() && !FLineLost; ++i) {
        const TNvmParameter& p = table[i];
        const double value = values[i];
        switch (p.Encoding) {
            case TNvmEncoding::Raw: SendItem(p.Address, ScaleNvmValue(p, value)); break;
            case TNvmEncoding::Tenths: Send10xItem(p.Address, value); break;
            case TNvmEncoding::Div256: Send256xItem(p.Address, value); break;
        }
    }
    if (FLineLost) {
        host.MessageBox(TMsgDlgType::mtError, Form.CommsDataModule->LineLostText(MSG_WRITE_LINE_LOST),
                        TMsgDlgButtons::mbOK);
        return;
    }
    if (!OK) {
        host.MessageBox(TMsgDlgType::mtError, MSG_COMMS_FAILED, TMsgDlgButtons::mbOK);
        return;
    }
    BurnNVM();
    if (FLineLost) {
        // The store request may have gone out: whether the board stored is not known.
        host.MessageBox(TMsgDlgType::mtError, Form.CommsDataModule->LineLostText(MSG_STORE_LINE_LOST),
                        TMsgDlgButtons::mbOK);
        return;
    }
    if (!OK) {
        host.MessageBox(TMsgDlgType::mtError, MSG_NOT_PROGRAMMED, TMsgDlgButtons::mbOK);
        return;
    }
    host.MessageBox(TMsgDlgType::mtInformation, MSG_PROGRAMMED, TMsgDlgButtons::mbOK);
    VerifyStore(written, shown);
}

void TSettingsTransfer::VerifyStore(const std::vector<uint16_t>& written, const std::vector<QString>& shown) {
    UiHost& host = Form.Host();
    if (!FStoredImage) {
        host.MessageBox(TMsgDlgType::mtWarning, MSG_STORE_UNVERIFIED, TMsgDlgButtons::mbOK);
        return;
    }
    std::vector<std::string> differing;
    const auto table = NvmParameters();
    for (size_t i = 0; i < table.size(); ++i) {
        const TNvmParameter& p = table[i];
        const uint16_t stored = NvmWordAt(*FStoredImage, p.Address);
        if (stored == written[i]) continue;
        std::string was = shown[i].toStdString();
        std::string is = SettingsValueText(p, DecodeNvmWord(p, stored), DecimalSeparator());
        // Two words can show as the same value (the 1/256 field); the words tell them apart.
        if (was == is) {
            was += " (woord " + std::to_string(written[i]) + ')';
            is += " (woord " + std::to_string(stored) + ')';
        }
        differing.push_back(NvmDisplayName(p) + ": weggeschreven " + was + ", opgeslagen " + is);
    }
    if (!differing.empty())
        host.MessageBox(TMsgDlgType::mtWarning, FormatText(MSG_STORE_DIFFERS, {Lines(differing)}),
                        TMsgDlgButtons::mbOK);
}

// ---- the settings file ----

bool TSettingsTransfer::SaveToFile(const QString& path) {
    const std::string text =
        WriteSettingsFile(Controls().Values(), KORVEL_FILE_VERSION_TEXT,
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString(),
                          DecimalSeparator());
    // Written aside and put in place whole, so a full disk never leaves half a backup behind.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) ||
        !file.commit()) {
        Form.Host().MessageBox(TMsgDlgType::mtError,
                               FormatText(MSG_FILE_NOT_WRITTEN, {Name(path), file.errorString().toStdString()}),
                               TMsgDlgButtons::mbOK);
        return false;
    }
    // What the board holds is saved whole, also a value outside its field's limits; but such a
    // backup cannot be loaded back, and the engineer should know that now, not at the restore.
    const TSettingsFileRead check = ReadSettingsFile(text);
    if (!check.Ok())
        Form.Host().MessageBox(TMsgDlgType::mtWarning, FormatText(MSG_FILE_UNLOADABLE, {Name(path), check.Error}),
                               TMsgDlgButtons::mbOK);
    return true;
}

std::optional<TSettingsFileRead> TSettingsTransfer::ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Form.Host().MessageBox(TMsgDlgType::mtError,
                               FormatText(MSG_FILE_NOT_READ, {Name(path), file.errorString().toStdString()}),
                               TMsgDlgButtons::mbOK);
        return std::nullopt;
    }
    const QByteArray bytes = file.read(static_cast<qint64>(SETTINGSFILEMAXSIZE) + 1);
    TSettingsFileRead read = ReadSettingsFile(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    if (!read.Ok()) {
        Form.Host().MessageBox(TMsgDlgType::mtError, FormatText(MSG_FILE_REFUSED, {Name(path), read.Error}),
                               TMsgDlgButtons::mbOK);
        return std::nullopt;
    }
    return read;
}

bool TSettingsTransfer::LoadFromFile(const QString& path) {
    if (FRunning) return false;
    const auto read = ReadFile(path);
    if (!read) return false;
    Controls().SetValues(read->Values);
    FHoldsValues = true;
    Form.Host().MessageBox(TMsgDlgType::mtInformation, FormatText(MSG_FILE_LOADED, {Name(path)}), TMsgDlgButtons::mbOK);
    return true;
}

std::optional<std::vector<TSettingsDifference>> TSettingsTransfer::CompareWithFile(const QString& path) {
    const auto read = ReadFile(path);
    if (!read) return std::nullopt;
    return CompareSettings(Controls().Values(), read->Values, false, DecimalSeparator());
}

std::vector<TSettingsDifference> TSettingsTransfer::CompareWithDefaults() {
    std::vector<double> defaults;
    for (const TNvmParameter& p : NvmParameters()) defaults.push_back(p.Default);
    return CompareSettings(Controls().Values(), defaults, true, DecimalSeparator());
}

void TSettingsTransfer::SaveAs() {
    QFileDialog dialog(&Form, QStringLiteral("Instellingen opslaan als"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(kFileFilters);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    SaveToFile(dialog.selectedFiles().constFirst());
}

void TSettingsTransfer::Load() {
    const QString path = QFileDialog::getOpenFileName(&Form, QStringLiteral("Instellingen laden uit bestand"), QString(),
                                                      kFileFilters);
    if (!path.isEmpty()) LoadFromFile(path);
}

void TSettingsTransfer::Compare() {
    QMessageBox ask(QMessageBox::Question, QStringLiteral("Instellingen vergelijken"),
                    QStringLiteral("Waarmee wilt u de instellingen in de vensters vergelijken?"), QMessageBox::Cancel,
                    &Form);
    QPushButton* withFile = ask.addButton(QStringLiteral("Met een &bestand..."), QMessageBox::AcceptRole);
    QPushButton* withDefaults = ask.addButton(QStringLiteral("Met de &standaardwaarden"), QMessageBox::AcceptRole);
    ask.exec();
    if (ask.clickedButton() == withDefaults) {
        ShowDifferences(CompareWithDefaults(), QStringLiteral("de standaardwaarden"), QStringLiteral("Standaard"));
    } else if (ask.clickedButton() == withFile) {
        const QString path = QFileDialog::getOpenFileName(&Form, QStringLiteral("Instellingen vergelijken met bestand"),
                                                          QString(), kFileFilters);
        if (path.isEmpty()) return;
        if (const auto differences = CompareWithFile(path))
            ShowDifferences(*differences, QStringLiteral("het bestand ") + QFileInfo(path).fileName(),
                            QStringLiteral("In het bestand"));
    }
}

void TSettingsTransfer::ShowDifferences(const std::vector<TSettingsDifference>& differences, const QString& other,
                                        const QString& heading) {
    TSettingsCompareDialog dialog(differences, other, heading, &Form);
    dialog.exec();
}

}  // namespace korvel
