// A hybrid installation over days as a function of time alone: the heat pump running in cycles,
// the boiler joining when it freezes, tap water in the morning and the evening, the room
// following its day and night setpoints. Gives the report the board would send at a moment and
// the log the tool would write over a stretch, so pictures and benchmarks show a plausible
// installation and come out the same on every run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace korvel::sim {

// The 112-byte real-time report (identifier first) at t, seconds since 1970 of local time.
std::vector<uint8_t> ScenarioReport(double t);

enum class LogStyle {
    Dutch,    // "14-03-2026 13:05:09", decimal comma
    English,  // "3/14/26 1:05:09 PM", decimal point
};

// The header and rows from start on, one every step seconds, lines ended by CR LF, as the tool
// writes them in the given locale.
std::string ScenarioLog(size_t rows, double start, double step, LogStyle style);
// One row's line without its line break.
std::string ScenarioLogRow(double t, LogStyle style);

}  // namespace korvel::sim
