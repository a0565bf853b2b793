#include "settings/settings_job.h"

#include <exception>
#include <stdexcept>

#include "comms/comms_data_module.h"
#include "messages/message_ids.h"

namespace korvel {

const char* WriteOutcomeText(TWriteResult result) {
    switch (result) {
        case TWriteResult::Stored: return "Weggeschreven en opgeslagen";
        case TWriteResult::StoreDiffers: return "Opgeslagen, maar het bord houdt andere waarden";
        case TWriteResult::StoreUnverified: return "Opgeslagen, niet nagekeken";
        case TWriteResult::WriteUnanswered: return "Mislukt: geen antwoord, niets opgeslagen";
        case TWriteResult::StoreUnanswered: return "Weggeschreven, opslaan niet beantwoord";
        case TWriteResult::LineLostInWrite: return "Mislukt: verbinding verbroken, niets opgeslagen";
        case TWriteResult::LineLostInStore: return "Verbinding verbroken bij het opslaan: onbekend";
        case TWriteResult::Stopped: return "Gestopt, niets opgeslagen";
        case TWriteResult::StoppedInStore: return "Gestopt bij het opslaan: onbekend";
    }
    return "";
}


TSettingsJob::TSettingsJob(TCommsDataModule& comms) : FComms(comms) {}

void TSettingsJob::Fetch() {
    const uint8_t request[1] = {P2KGETNVM};
    FComms.SendBlock(request, 1);
    if (OnRequestSent) OnRequestSent();
}

std::optional<TNvmWords> TSettingsJob::FetchAndWait() {
    const uint8_t request[1] = {P2KGETNVM};
    std::vector<uint8_t> answer;
    if (!Exchange(request, 1, K2PRGETNVM, &answer)) return std::nullopt;
    return NvmWordsOfReport(answer);
}

void TSettingsJob::Stop() {
    if (!FRunning) return;
    FStop = true;
    FComms.AbortTransceive();
}

bool TSettingsJob::Exchange(const uint8_t* request, uint32_t size, uint8_t expected, std::vector<uint8_t>* answer,
                            bool* sent) {
    bool ok = false;
    if (sent != nullptr) *sent = true;
    FWaitingSince = FComms.DelayTimer.Host().TickCount() | 1u;  // 0 means "not waiting"
    try {
        ok = FComms.TransceiveBlock(request, size, expected, answer);
    } catch (const std::exception&) {
        // A send that fails is the line lost (adapter pulled), also before the owner has heard of
        // the disconnect: the port closes first, the connection state follows a hand-over later.
        FLineLost = true;
        if (sent != nullptr) *sent = false;
    }
    FWaitingSince = 0;
    if (OnRequestSent) OnRequestSent();
    if (!ok && (FComms.ConnectionState() != csConnected || !FComms.ZylSerialPort.IsConnected())) FLineLost = true;
    if (FLineLost) FComms.LineLost();  // told once, by the run's own outcome
    return ok && !FLineLost;
}

TWriteOutcome TSettingsJob::Write(const TNvmWords& words) {
    TWriteOutcome outcome;
    if (FRunning) throw std::logic_error("settings: a write is already running");
    FRunning = true;
    FStop = false;
    FLineLost = false;
    FHandled = 0;
    struct Done {
        TSettingsJob& job;
        ~Done() {
            job.FRunning = false;
            job.FAwaitingStore = false;
            job.FWaitingSince = 0;
        }
    } done{*this};

    const auto table = NvmParameters();
    bool ok = true;
    for (size_t i = 0; i < table.size(); ++i) {
        if (FStop || FLineLost) break;
        // After an unanswered write the rows are still walked, so the meter runs to its end, but
        // nothing more is sent.
        if (ok) {
            const auto request = EncodeNvmWrite(table[i].Address, words[i]);
            bool sent = false;
            ok = Exchange(request.data(), static_cast<uint32_t>(request.size()), K2PRSETNVM, nullptr, &sent);
            if (sent) outcome.Sent = i + 1;
            if (ok) outcome.Answered = i + 1;
        }
        FHandled = i + 1;
        if (OnProgress) OnProgress(FHandled, table.size());
    }
    if (FLineLost) return outcome.Result = TWriteResult::LineLostInWrite, outcome;
    if (FStop) return outcome.Result = TWriteResult::Stopped, outcome;
    if (!ok) return outcome.Result = TWriteResult::WriteUnanswered, outcome;

    const uint8_t store[1] = {P2KFLASHNVM};
    std::vector<uint8_t> answer;
    FAwaitingStore = true;
    ok = Exchange(store, 1, K2PRFLASHNVM, &answer);
    FAwaitingStore = false;
    if (FLineLost) return outcome.Result = TWriteResult::LineLostInStore, outcome;
    if (!ok && FStop) return outcome.Result = TWriteResult::StoppedInStore, outcome;
    if (!ok) return outcome.Result = TWriteResult::StoreUnanswered, outcome;

    outcome.StoredImage = NvmWordsOfReport(answer);
    if (!outcome.StoredImage) return outcome.Result = TWriteResult::StoreUnverified, outcome;
    for (size_t i = 0; i < table.size(); ++i)
        if ((*outcome.StoredImage)[i] != words[i]) outcome.Mismatches.push_back({i, words[i], (*outcome.StoredImage)[i]});
    outcome.Result = outcome.Mismatches.empty() ? TWriteResult::Stored : TWriteResult::StoreDiffers;
    return outcome;
}

}  // namespace korvel
