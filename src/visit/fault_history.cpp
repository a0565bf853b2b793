#include "visit/fault_history.h"

#include <cmath>

#include "charts/log_reader.h"
#include "datalog/data_log.h"

namespace korvel {

namespace {

using K = TFaultKind;

constexpr TFaultSource kSources[] = {
    {"onfDiagCodes1", "Toshiba foutcode", K::Code},
    {"onfStickyDiagCodes1", "Sticky foutcode", K::Code},
    {"cbOTBoilerFault", "Fout vlag van OpenTherm ketel", K::Flag},
    {"cbOTBoilerNotFound", "OT ketel gekozen maar niet gevonden", K::Flag},
    {"cbOTThermostatNotFound", "OT thermostaat gekozen maar niet gevonden", K::Flag},
    {"cbNTC1Error", "NTC sensor 1 fout", K::Flag},
    {"cbNTC2Error", "NTC sensor 2 fout", K::Flag},
    {"cbSmartecError", "Externe buitenvoeler fout", K::Flag},
    {"cbPumpFlowError", "Flow probleem", K::Flag},
    {"cbToshibaCommsError", "Toshiba communiceert niet", K::Flag},
    {"cbToshibaReportsError", "Toshiba rapporteert een fout", K::Flag},
};
static_assert(std::size(kSources) == FAULT_SOURCE_COUNT);

TFaultEvent Event(double time, size_t source, bool appeared, uint16_t code, bool atStart = false) {
    return {time, source, appeared, code, atStart};
}

}  // namespace

std::span<const TFaultSource> FaultSources() { return kSources; }

int FaultSourceIndex(std::string_view target) {
    for (size_t i = 0; i < std::size(kSources); ++i)
        if (kSources[i].Target == target) return static_cast<int>(i);
    return -1;
}

int FaultLogColumn(size_t source) {
    if (source >= std::size(kSources)) return -1;
    const auto columns = LogLayout().subspan(1);  // the table has no column for the time
    for (size_t c = 0; c < columns.size(); ++c)
        if (columns[c].Field == kSources[source].Target) return static_cast<int>(c);
    return -1;
}

bool AnyFault(const TFaultState& state) {
    for (uint16_t v : state)
        if (v != 0) return true;
    return false;
}

TFaultState FaultStateOf(std::span<const TReportValue> report) {
    TFaultState state{};
    for (const TReportValue& v : report) {
        const int source = FaultSourceIndex(v.Target);
        if (source < 0) continue;
        const auto s = static_cast<size_t>(source);
        if (v.ValueKind == TReportValue::Kind::Flag)
            state[s] = v.Checked ? 1 : 0;
        else if (v.ValueKind == TReportValue::Kind::Number)
            state[s] = static_cast<uint16_t>(v.Number);
    }
    return state;
}

std::optional<TFaultState> FaultStateOfReport(const uint8_t* block, size_t size) {
    const std::vector<TReportValue> values = DecodeRealtimeReport(block, size);
    if (values.empty()) return std::nullopt;
    return FaultStateOf(values);
}

std::string FaultName(const TFaultEvent& event) {
    if (event.Source >= std::size(kSources)) return {};
    const TFaultSource& s = kSources[event.Source];
    std::string name(s.Caption);
    if (s.Kind == K::Code) name += ' ' + std::to_string(event.Code);
    return name;
}

std::vector<TFaultEvent> FaultChanges(const TFaultState& before, const TFaultState& after, double time) {
    std::vector<TFaultEvent> events;
    for (size_t s = 0; s < FAULT_SOURCE_COUNT; ++s)
        if (before[s] != 0 && before[s] != after[s]) events.push_back(Event(time, s, false, before[s]));
    for (size_t s = 0; s < FAULT_SOURCE_COUNT; ++s)
        if (after[s] != 0 && before[s] != after[s]) events.push_back(Event(time, s, true, after[s]));
    return events;
}

std::vector<TFaultEvent> FaultsAtStart(const TFaultState& state, double time) {
    std::vector<TFaultEvent> events;
    for (size_t s = 0; s < FAULT_SOURCE_COUNT; ++s)
        if (state[s] != 0) events.push_back(Event(time, s, true, state[s], true));
    return events;
}

std::vector<TFaultEvent> FaultEventsOfLog(const TLogTable& table) {
    std::vector<TFaultEvent> events;
    std::optional<TFaultState> last;
    for (size_t row = 0; row < table.Time.size(); ++row) {
        TFaultState state = last.value_or(TFaultState{});
        for (size_t s = 0; s < FAULT_SOURCE_COUNT; ++s) {
            const int c = FaultLogColumn(s);
            if (c < 0 || static_cast<size_t>(c) >= table.Columns.size() || row >= table.Columns[c].size()) continue;
            const float v = table.Columns[static_cast<size_t>(c)][row];
            // A code beyond a word is no code the board sent: the cell is taken as empty.
            if (std::isnan(v) || v < 0 || v > 65535) continue;
            state[s] = static_cast<uint16_t>(v);
        }
        const auto changes = last ? FaultChanges(*last, state, table.Time[row]) : FaultsAtStart(state, table.Time[row]);
        events.insert(events.end(), changes.begin(), changes.end());
        last = state;
    }
    return events;
}

void TFaultHistory::Add(double time, const TFaultState& state) {
    Push(FCurrent ? FaultChanges(*FCurrent, state, time) : FaultsAtStart(state, time));
    FCurrent = state;
    FCurrentTime = time;
}

bool TFaultHistory::AddReport(double time, const uint8_t* block, size_t size) {
    const auto state = FaultStateOfReport(block, size);
    if (!state) return false;
    Add(time, *state);
    return true;
}

void TFaultHistory::Clear() {
    FEvents.clear();
    FCurrent.reset();
    FCurrentTime = 0;
    FAdded = 0;
}

void TFaultHistory::Push(const std::vector<TFaultEvent>& events) {
    for (const TFaultEvent& e : events) {
        FEvents.push_back(e);
        ++FAdded;
        if (FEvents.size() > kEventsKept) FEvents.pop_front();
    }
}

}  // namespace korvel
