// The settings job the window and the command line share: fetch the board's parameters, write
// them word by word, have the board store them in flash and check its answer word by word. It
// works on 115 words; the window's fields and the command line's files are what they come from
// and go to. Runs on the thread that owns the communications module and waits cooperatively.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "settings/nvm_parameters.h"

namespace korvel {

class TCommsDataModule;

enum class TWriteResult : uint8_t {
    Stored,           // every word written, stored, and the store's answer holds them all
    StoreDiffers,     // stored, but the answer holds other words for some rows (Mismatches)
    StoreUnverified,  // the store was answered, but without an image to check
    WriteUnanswered,  // a write request got no answer: nothing more was sent, nothing stored
    StoreUnanswered,  // every word written, the store request got no answer
    LineLostInWrite,  // the line went during the writes: nothing stored
    LineLostInStore,  // the line went after the store request: whether it stored is unknown
    Stopped,          // stopped between two exchanges: nothing more sent, no store requested
    StoppedInStore,   // stopped while the store's answer was awaited: whether it stored is unknown
};

// A write's outcome in a few words, for the list of snapshots: "Opgeslagen", "Niet opgeslagen: ...".
const char* WriteOutcomeText(TWriteResult result);

struct TStoreMismatch {
    size_t Row;
    uint16_t Written;
    uint16_t Stored;
};

struct TWriteOutcome {
    TWriteResult Result = TWriteResult::Stored;
    // Write requests the board answered: rows 0 .. Answered-1 reached it (address order).
    size_t Answered = 0;
    // Write requests sent: Answered, or one more when the last went out and got no answer.
    size_t Sent = 0;
    std::vector<TStoreMismatch> Mismatches;
    std::optional<TNvmWords> StoredImage;  // the store's answer, when it came whole
    bool Ok() const { return Result == TWriteResult::Stored; }
};

class TSettingsJob {
public:
    explicit TSettingsJob(TCommsDataModule& comms);

    // The fetch request (166). The report arrives later as block 38.
    void Fetch();
    // The fetch request, then the wait for the report, as long as a write waits for its answer.
    std::optional<TNvmWords> FetchAndWait();

    // Writes every word in address order, then the store request, then checks the answer.
    TWriteOutcome Write(const TNvmWords& words);
    // Ends a run between two exchanges (a running wait ends at its next pass): nothing more is
    // sent and no store is requested. Safe from a signal-driven flag check or a button.
    void Stop();
    bool Running() const { return FRunning; }
    bool AwaitingStore() const { return FAwaitingStore; }

    // Where a run stands, for a view that shows the wait: rows handled, and the tick at which the
    // exchange now waiting was sent (0 when none waits).
    size_t Handled() const { return FHandled; }
    uint32_t WaitingSince() const { return FWaitingSince; }

    // Every request sent (the keep-alive counts from there).
    std::function<void()> OnRequestSent;
    // After each row: rows handled of all. A failed run still walks the rows it does not send.
    std::function<void(size_t handled, size_t total)> OnProgress;

private:
    // sent: the request went out (a send that fails is a lost line, not a request).
    bool Exchange(const uint8_t* request, uint32_t size, uint8_t expected, std::vector<uint8_t>* answer,
                  bool* sent = nullptr);

    TCommsDataModule& FComms;
    bool FRunning = false;
    bool FAwaitingStore = false;
    bool FStop = false;
    bool FLineLost = false;
    size_t FHandled = 0;
    uint32_t FWaitingSince = 0;
};

}  // namespace korvel
