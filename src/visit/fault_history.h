// Faults as faults: the real-time report's fault indications (the flags of the group
// "Foutmeldingen" and the two error codes) and a session's history of when each appeared and
// cleared. One derivation from successive states serves the live reports, the rows of an opened
// data log and the marks of the trend.
//
// Times are the caller's seconds; the window uses the chart's time (local wall clock since 1970,
// read as it stands), so marks, the trend and a log's rows meet on one axis.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "messages/realtime_report.h"

namespace korvel {

struct TLogTable;

enum class TFaultKind : uint8_t {
    Flag,  // on or off
    Code,  // a number; 0 is no fault
};

struct TFaultSource {
    std::string_view Target;   // display field: "cbPumpFlowError", "onfDiagCodes1"
    std::string_view Caption;  // as the monitor page names it: "Flow probleem", "Toshiba foutcode"
    TFaultKind Kind;
};

inline constexpr size_t FAULT_SOURCE_COUNT = 11;

// In the order of the "Foutmeldingen" group: the two codes, then the flags.
std::span<const TFaultSource> FaultSources();
// Index in FaultSources() of the source this display field shows, or -1.
int FaultSourceIndex(std::string_view target);
// Column of the source in a log's table (TLogTable::Columns), or -1: the log has no column for
// "Externe buitenvoeler fout".
int FaultLogColumn(size_t source);

// Each source's value at one report: a flag as 0 or 1, a code as its number.
using TFaultState = std::array<uint16_t, FAULT_SOURCE_COUNT>;

bool AnyFault(const TFaultState& state);
TFaultState FaultStateOf(std::span<const TReportValue> report);
// The state a real-time report (identifier first) tells; nothing for a block that is no complete
// report.
std::optional<TFaultState> FaultStateOfReport(const uint8_t* block, size_t size);

struct TFaultEvent {
    double Time = 0;
    size_t Source = 0;      // in FaultSources()
    bool Appeared = false;  // false: cleared
    uint16_t Code = 1;      // the code that appeared or cleared; 1 for a flag
    // Already there at the first state of the history: it was not seen appearing.
    bool AtStart = false;
};

// "Flow probleem", "Toshiba foutcode 12": what an event is about, in the monitor page's words.
std::string FaultName(const TFaultEvent& event);

// What changed from one state to the next, at time: first what cleared, then what appeared, each
// in source order. A code that went from one number to another clears the one and brings the other.
std::vector<TFaultEvent> FaultChanges(const TFaultState& before, const TFaultState& after, double time);
// The faults already there at a first state, as AtStart appearances.
std::vector<TFaultEvent> FaultsAtStart(const TFaultState& state, double time);

// The history of an opened log's rows, as the live history would have recorded them. A cell
// without a value keeps the source as the row before it had it.
std::vector<TFaultEvent> FaultEventsOfLog(const TLogTable& table);

// The session's history. A lost line clears nothing: the first report after it is compared with
// the last one before it, so a fault that came and went meanwhile is not seen, and one that came
// is dated at the report that shows it.
class TFaultHistory {
public:
    // A flag going on and off every report for days must not eat the memory: the oldest go first.
    static constexpr size_t kEventsKept = 10000;

    // A report's state at time; the first one's faults are recorded as there at the start.
    void Add(double time, const TFaultState& state);
    // The same for a real-time report (identifier first); false, and nothing added, for a block that
    // is no complete report.
    bool AddReport(double time, const uint8_t* block, size_t size);
    void Clear();

    // Oldest first.
    const std::deque<TFaultEvent>& Events() const { return FEvents; }
    // Events added since the last Clear, those let go included: a reader that has seen n of them
    // finds the new ones at the end.
    uint64_t Added() const { return FAdded; }
    size_t Dropped() const { return static_cast<size_t>(FAdded - FEvents.size()); }
    // The last state added, and its time.
    const std::optional<TFaultState>& Current() const { return FCurrent; }
    double CurrentTime() const { return FCurrentTime; }

private:
    void Push(const std::vector<TFaultEvent>& events);

    std::deque<TFaultEvent> FEvents;
    std::optional<TFaultState> FCurrent;
    double FCurrentTime = 0;
    uint64_t FAdded = 0;
};

}  // namespace korvel
