#include "visit/fault_history.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "charts/log_reader.h"
#include "messages/message_ids.h"

namespace korvel {
namespace {

size_t Source(const char* target) { return static_cast<size_t>(FaultSourceIndex(target)); }

TFaultState State(std::initializer_list<std::pair<const char*, uint16_t>> set) {
    TFaultState s{};
    for (const auto& [target, value] : set) s[Source(target)] = value;
    return s;
}

// "+Flow probleem", "-Toshiba foutcode 12", "*..." for one there at the start.
std::vector<std::string> Names(const std::vector<TFaultEvent>& events) {
    std::vector<std::string> names;
    for (const TFaultEvent& e : events) names.push_back((e.AtStart ? "*" : e.Appeared ? "+" : "-") + FaultName(e));
    return names;
}

struct ChangeCase {
    TFaultState before, after;
    std::vector<std::string> expected;
};

TEST(FaultHistory, ChangesFromOneStateToTheNext) {
    const ChangeCase cases[] = {
        {State({}), State({}), {}},
        {State({}), State({{"cbPumpFlowError", 1}}), {"+Flow probleem"}},
        {State({{"cbPumpFlowError", 1}}), State({}), {"-Flow probleem"}},
        {State({}), State({{"onfDiagCodes1", 12}}), {"+Toshiba foutcode 12"}},
        {State({{"onfDiagCodes1", 12}}), State({}), {"-Toshiba foutcode 12"}},
        // Another code is another fault: the one clears, the other appears.
        {State({{"onfDiagCodes1", 12}}), State({{"onfDiagCodes1", 13}}), {"-Toshiba foutcode 12", "+Toshiba foutcode 13"}},
        // What cleared comes first, each in the order of the group.
        {State({{"cbOTThermostatNotFound", 1}, {"cbSmartecError", 1}}),
         State({{"onfStickyDiagCodes1", 7}, {"cbToshibaReportsError", 1}}),
         {"-OT thermostaat gekozen maar niet gevonden", "-Externe buitenvoeler fout", "+Sticky foutcode 7",
          "+Toshiba rapporteert een fout"}},
    };
    for (const ChangeCase& c : cases) {
        const auto events = FaultChanges(c.before, c.after, 5.0);
        EXPECT_EQ(Names(events), c.expected);
        for (const TFaultEvent& e : events) EXPECT_EQ(e.Time, 5.0);
    }
}

TEST(FaultHistory, ReadsTheFaultsOfAReport) {
    std::vector<uint8_t> r(REALTIME_REPORT_SIZE, 0);
    r[0] = K2MSENDMONDATA;
    r[13] = 0x2C;  // Toshiba foutcode 300
    r[14] = 0x01;
    r[49] = 0x24;  // bit 2 NTC sensor 2, bit 5 flow
    r[50] = 0x01;  // OT thermostat
    r[95] = 9;     // sticky
    r[47] = 0xFF;  // no fault: requests and permissions
    const auto state = FaultStateOfReport(r.data(), r.size());
    ASSERT_TRUE(state);
    EXPECT_EQ(*state, State({{"onfDiagCodes1", 300}, {"onfStickyDiagCodes1", 9}, {"cbNTC2Error", 1},
                             {"cbPumpFlowError", 1}, {"cbOTThermostatNotFound", 1}}));
    EXPECT_FALSE(FaultStateOfReport(r.data(), r.size() - 1));
}

TEST(FaultHistory, KeepsItsStateAcrossALostLineAndBoundsItsEvents) {
    TFaultHistory h;
    h.Add(10, State({{"cbNTC1Error", 1}}));
    h.Add(11, State({{"cbNTC1Error", 1}}));
    // The line is lost, and the next report comes after the reconnect.
    h.Add(500, State({{"cbPumpFlowError", 1}}));
    EXPECT_EQ(Names({h.Events().begin(), h.Events().end()}),
              (std::vector<std::string>{"*NTC sensor 1 fout", "-NTC sensor 1 fout", "+Flow probleem"}));
    EXPECT_EQ(h.Events()[2].Time, 500.0);
    EXPECT_EQ(h.CurrentTime(), 500.0);

    for (size_t i = 0; i < TFaultHistory::kEventsKept; ++i)
        h.Add(1000.0 + static_cast<double>(i), i % 2 ? State({{"cbPumpFlowError", 1}}) : State({}));
    EXPECT_EQ(h.Events().size(), TFaultHistory::kEventsKept);
    EXPECT_EQ(h.Added(), TFaultHistory::kEventsKept + 3);
    EXPECT_EQ(h.Dropped(), 3u);
    EXPECT_EQ(h.Events().back().Time, 1000.0 + static_cast<double>(TFaultHistory::kEventsKept - 1));
}

TEST(FaultHistory, DerivesTheSameFromTheRowsOfALog) {
    constexpr float kEmpty = std::numeric_limits<float>::quiet_NaN();
    TLogTable table;
    table.Time = {100, 105, 110, 115};
    table.Columns.assign(LogLayout().size() - 1, std::vector<float>(table.Time.size(), 0.0f));
    auto column = [&](const char* target) -> std::vector<float>& {
        return table.Columns[static_cast<size_t>(FaultLogColumn(Source(target)))];
    };
    column("cbOTBoilerFault") = {1, 1, 0, 0};
    column("cbPumpFlowError") = {0, 1, kEmpty, 0};  // an empty cell keeps what the row before had
    column("onfStickyDiagCodes1") = {0, 0, 4, 70000};  // beyond a word: not a code the board sent
    EXPECT_EQ(FaultLogColumn(Source("cbSmartecError")), -1);

    const auto events = FaultEventsOfLog(table);
    EXPECT_EQ(Names(events), (std::vector<std::string>{"*Fout vlag van OpenTherm ketel", "+Flow probleem",
                                                       "-Fout vlag van OpenTherm ketel", "+Sticky foutcode 4",
                                                       "-Flow probleem"}));
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[1].Time, 105.0);
    EXPECT_EQ(events[4].Time, 115.0);
}

}  // namespace
}  // namespace korvel
