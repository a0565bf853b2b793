#include "settings/settings_transfer.h"

#include <QDateTime>
#include <QGuiApplication>
#include <QTimer>
#include <ctime>
#include <exception>
#include <span>
#include <string>

#include "comms/comms_data_module.h"
#include "host/text_format.h"
#include "korvel_version.h"
#include "messages/message_ids.h"
#include "messages/service_session.h"
#include "settings/advanced_settings_form.h"
#include "widgets/picture_mask.h"

namespace korvel {

namespace {

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += "- " + line + '\n';
    if (!text.empty()) text.pop_back();
    return text;
}

std::string Quoted(size_t row) { return NvmDisplayName(NvmParameters()[row]); }

// What reached the board before a run ended early: the rows it answered, then the one it did not.
std::string SentText(const TWriteOutcome& outcome) {
    const size_t answered = outcome.Answered;
    if (outcome.Sent == 0) return MSG_NONE_SENT;
    std::string text;
    if (answered == 1) text = FormatText(MSG_ONE_SENT, {Quoted(0)});
    if (answered > 1)
        text = FormatText(MSG_SOME_SENT, {std::to_string(answered), std::to_string(NVM_PARAMETER_COUNT), Quoted(0),
                                          Quoted(answered - 1)});
    if (outcome.Sent > answered)
        text += (text.empty() ? "" : " ") + FormatText(answered == 0 ? MSG_ONLY_UNANSWERED : MSG_THEN_UNANSWERED,
                                                       {Quoted(answered)});
    return text;
}

// A wait longer than this is no longer an exchange on a working line: the strip says so.
constexpr uint32_t kSlowAnswerMs = 1000;

}  // namespace

TSettingsTransfer::TSettingsTransfer(TSettingsOwner& owner)
    : Owner(owner), FJob(owner.Comms()), FMarks([&owner] { return owner.SettingsTab(); }),
      FWaitTimer(new QTimer(&FMarks)) {
    FJob.OnRequestSent = [this] { Owner.Service().Traffic(); };
    FJob.OnProgress = [this](size_t handled, size_t total) {
        Owner.RunProgress(static_cast<int>(handled * 100 / total));
    };
    FWaitTimer->setInterval(250);
    QObject::connect(FWaitTimer, &QTimer::timeout, &FMarks, [this] { ShowWaiting(); });
}

TParameterControls TSettingsTransfer::Controls() const {
    return TParameterControls(Owner.SettingsTab(), AdvancedSettingsForm);
}

void TSettingsTransfer::DecodeNvmContents(const uint8_t* Data, int32_t Size) {
    FDefaultsFilled = false;
    UiHost& host = Owner.Host();
    Owner.Service().Traffic();
    // Size counts the two check bytes. A report too short for the whole image would fill the
    // controls from bytes of earlier blocks, and a write after it would send them to the board.
    const size_t blockSize = Data == nullptr || Size < 2 ? 0 : static_cast<size_t>(Size) - 2;
    const std::span<const uint8_t> block(Data, blockSize);
    const auto values = DecodeNvmReport(block);
    const auto words = NvmWordsOfReport(block);
    if (!values || !words) {
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
    // The board's word first, so the controls are compared with it as they are filled.
    FMarks.SetBoardWords(*words, QDateTime::currentDateTime());
    Controls().SetValues(*values);
    FMarks.Refresh();
    Owner.SettingsCollectedFlag() = true;
    FHoldsValues = true;
    FEditsKept = false;
    Owner.SettingsFileActionsAllowances();
}

bool TSettingsTransfer::MayDiscardChanges(TDiscard what) {
    const size_t count = FMarks.Count();
    if (count == 0) return true;
    const char* consequence = MSG_DISCARD_FETCH;
    switch (what) {
        case TDiscard::Fetch: break;
        case TDiscard::Defaults: consequence = MSG_DISCARD_DEFAULTS; break;
        case TDiscard::File: consequence = MSG_DISCARD_FILE; break;
        case TDiscard::Snapshot: consequence = MSG_DISCARD_SNAPSHOT; break;
        case TDiscard::LeaveService: consequence = MSG_DISCARD_LEAVE_SERVICE; break;
        case TDiscard::Disconnect: consequence = MSG_DISCARD_DISCONNECT; break;
        case TDiscard::Close: consequence = MSG_DISCARD_CLOSE; break;
    }
    const std::string text = count == 1 ? MSG_UNWRITTEN_ONE : FormatText(MSG_UNWRITTEN_MANY, {std::to_string(count)});
    return Owner.Host().MessageBoxWithAdvice(TMsgDlgType::mtConfirmation, text, consequence,
                                             TMsgDlgButtons::mbOKCancel) == TModalResult::mrOk;
}

void TSettingsTransfer::Fetch() {
    // A fetch inside a write run would refill the controls while they are being written.
    if (Running() || !MayDiscardChanges(TDiscard::Fetch)) return;
    FJob.Fetch();
}

void TSettingsTransfer::AutoFetch() {
    if (Running()) return;
    if (FMarks.Count() > 0) {
        // Entering service mode fetches twice (the tab shown, the board's confirmation): one
        // question for both.
        if (!FAutoFetchAgreed) FAutoFetchAgreed = MayDiscardChanges(TDiscard::Fetch);
        if (!*FAutoFetchAgreed) return;
    }
    FJob.Fetch();
}

void TSettingsTransfer::PutValues(const std::vector<double>& values) {
    Controls().SetValues(values);
    Filled();
}

void TSettingsTransfer::Filled() {
    FDefaultsFilled = false;
    FMarks.Refresh();
    FHoldsValues = true;
    Owner.SettingsFileActionsAllowances();
}

void TSettingsTransfer::SetDefaults() {
    if (Running() || FEditsKept || !MayDiscardChanges(TDiscard::Defaults)) return;
    TParameterControls controls = Controls();
    const auto table = NvmParameters();
    for (size_t i = 0; i < table.size(); ++i)
        if (table[i].HasDefault) controls.SetValue(i, table[i].Default);
    Filled();
    FDefaultsFilled = true;
}

void TSettingsTransfer::TabSheetServiceShow() {
    FMarks.Refresh();
    if (Owner.SettingsCollectedFlag()) return;
    // The show follows the window's allowances, which also run while a command unwinds after the
    // adapter was pulled: the port is closed before the disconnect reaches the window, and that
    // disconnect tells the engineer. An error here must not escape.
    try {
        AutoFetch();
    } catch (const std::exception& e) {
        Owner.Host().Trace(std::string("NVM fetch on showing the settings not sent: ") + e.what());
    }
}

void TSettingsTransfer::TabSheetServiceHide() {
    FAutoFetchAgreed.reset();  // asked anew when service mode is entered again
    FEditsKept = FMarks.Count() > 0;
    Owner.SettingsFileActionsAllowances();
    // A write run that loses the line says so itself; nothing could be stored now anyway.
    if (Owner.SettingsCollectedFlag() && !Running())
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

bool TSettingsTransfer::TakeSnapshot(TBoardChange before) {
    UiHost& host = Owner.Host();
    const char* change = before == TBoardChange::Write ? "het wegschrijven" : "het flashen";
    const auto& board = FMarks.BoardWords();
    if (!board)
        return host.MessageBox(TMsgDlgType::mtWarning, FormatText(MSG_SNAPSHOT_NO_REPORT, {change}),
                               TMsgDlgButtons::mbOKCancel) == TModalResult::mrOk;
    std::string error;
    const std::string now = SettingsFileTime(std::time(nullptr));
    FLastSnapshot.reset();
    if (const auto saved =
            FSnapshots.Save(*board, KORVEL_FILE_VERSION_TEXT, now, SettingsDecimalSeparator(), error, Owner.VisitStamp())) {
        host.Trace("snapshot saved: " + PathText(*saved));
        FLastSnapshot = *saved;
        return true;
    }
    return host.MessageBox(TMsgDlgType::mtWarning, FormatText(MSG_SNAPSHOT_FAILED, {error, change}),
                           TMsgDlgButtons::mbOKCancel) == TModalResult::mrOk;
}

void TSettingsTransfer::Write() {
    if (Running()) return;
    TParameterControls controls = Controls();
    if (!CheckWritable(controls)) return;
    if (!TakeSnapshot(TBoardChange::Write)) return;

    // What the engineer saw when he chose to write is what goes out.
    const std::vector<double> values = controls.Values();
    const TNvmWords words = NvmWordsOf(values);
    std::vector<QString> shown;
    for (size_t i = 0; i < NVM_PARAMETER_COUNT; ++i) shown.push_back(controls.Shown(i));

    // The strip is the run's until it ends, on every way out; ending it puts the meter back to
    // 0 % and hides it. While the run waits for the board nothing may change what is being
    // written or start a second run, a fetch, a mode change or a download: the pages, menus and
    // the advanced window take no input, but the strip stays live to show the wait and to stop.
    FInRun = true;
    Owner.BeginRun(QStringLiteral("Instellingen wegschrijven"));
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    if (AdvancedSettingsForm != nullptr) AdvancedSettingsForm->setEnabled(false);
    Owner.SettingsFileActionsAllowances();
    FWaitTimer->start();
    struct Restore {
        TSettingsTransfer& t;
        ~Restore() {
            t.FWaitTimer->stop();
            QGuiApplication::restoreOverrideCursor();
            if (AdvancedSettingsForm != nullptr) AdvancedSettingsForm->setEnabled(true);
            t.Owner.EndRun();
            t.FInRun = false;
            t.Owner.SettingsFileActionsAllowances();
        }
    } restore{*this};
    const TWriteOutcome outcome = FJob.Write(words);
    FWaitTimer->stop();
    if (FLastSnapshot) TSnapshotStore::RecordOutcome(*FLastSnapshot, WriteOutcomeText(outcome.Result));
    ShowOutcome(outcome, shown);
}

void TSettingsTransfer::Stop() { FJob.Stop(); }

void TSettingsTransfer::ShowWaiting() {
    const uint32_t since = FJob.WaitingSince();
    const uint32_t waited = since == 0 ? 0 : Owner.Host().TickCount() - since;
    if (waited < kSlowAnswerMs) {
        Owner.RunStatus(QStringLiteral("Instellingen wegschrijven"));
        return;
    }
    Owner.RunStatus(QString::fromUtf8(MSG_RUN_WAITING).arg(waited / 1000));
}

std::string TSettingsTransfer::LineAdvice() {
    const std::string server = Owner.Comms().ZylSerialPort.LossAdvice();
    return (server.empty() ? std::string(MSG_LOCAL_LINE_ADVICE) : server) + "\n" + MSG_VALUES_KEPT;
}

void TSettingsTransfer::ShowOutcome(const TWriteOutcome& outcome, const std::vector<QString>& shown) {
    UiHost& host = Owner.Host();
    auto box = [&](TMsgDlgType type, const char* text, const std::string& advice) {
        std::string ended(FDefaultsFilled ? "Standaardinstellingen wegschrijven: " : "Instellingen wegschrijven: ");
        ended += text;
        FDefaultsFilled = false;
        Owner.WriteEnded(ended);
        host.MessageBoxWithAdvice(type, text, advice, TMsgDlgButtons::mbOK);
    };
    switch (outcome.Result) {
        case TWriteResult::LineLostInWrite:
            return box(TMsgDlgType::mtError, MSG_COMMS_FAILED,
                       FormatText(MSG_WRITE_LINE_LOST, {SentText(outcome), LineAdvice()}));
        case TWriteResult::WriteUnanswered:
            return box(TMsgDlgType::mtError, MSG_COMMS_FAILED,
                       FormatText(MSG_WRITE_UNANSWERED, {SentText(outcome), MSG_NO_ANSWER_ADVICE}));
        case TWriteResult::Stopped:
            return box(TMsgDlgType::mtWarning, MSG_WRITE_STOPPED_TEXT, FormatText(MSG_WRITE_STOPPED, {SentText(outcome)}));
        case TWriteResult::StoppedInStore: return box(TMsgDlgType::mtWarning, MSG_WRITE_STOPPED_TEXT, MSG_STORE_STOPPED);
        case TWriteResult::LineLostInStore: {
            const std::string server = Owner.Comms().ZylSerialPort.LossAdvice();
            return box(TMsgDlgType::mtError, MSG_COMMS_FAILED,
                       std::string(MSG_STORE_LINE_LOST) + (server.empty() ? "" : "\n\n" + server));
        }
        case TWriteResult::StoreUnanswered:
            return box(TMsgDlgType::mtError, MSG_NOT_PROGRAMMED, FormatText(MSG_STORE_UNANSWERED, {MSG_NO_ANSWER_ADVICE}));
        case TWriteResult::StoreUnverified: return box(TMsgDlgType::mtWarning, MSG_PROGRAMMED, MSG_STORE_UNVERIFIED);
        case TWriteResult::Stored: return box(TMsgDlgType::mtInformation, MSG_PROGRAMMED, {});
        case TWriteResult::StoreDiffers: break;
    }
    // The store's answer filled the controls: they show what the board holds, and each word it
    // holds otherwise than written is named with both values.
    std::vector<std::string> differing;
    for (const TStoreMismatch& m : outcome.Mismatches) {
        const TNvmParameter& p = NvmParameters()[m.Row];
        std::string was = shown[m.Row].toStdString();
        std::string is = SettingsValueText(p, DecodeNvmWord(p, m.Stored), SettingsDecimalSeparator());
        // Two words can show as the same value (the 1/256 field); the words tell them apart.
        if (was == is) {
            was += " (woord " + std::to_string(m.Written) + ')';
            is += " (woord " + std::to_string(m.Stored) + ')';
        }
        differing.push_back(NvmDisplayName(p) + ": weggeschreven " + was + ", opgeslagen " + is);
    }
    box(TMsgDlgType::mtError, MSG_NOT_PROGRAMMED, FormatText(MSG_STORE_DIFFERS, {Lines(differing)}));
}

}  // namespace korvel
