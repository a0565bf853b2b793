// Reads a log the tool wrote (its own ';' format, either decimal separator, CR LF or LF) back into
// numbers for a chart. A pure function over the file's text: no file access, no locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "datalog/data_log.h"

namespace korvel {

inline constexpr char MSG_LOG_EMPTY[] = "Het bestand \"%s\" is leeg.";
inline constexpr char MSG_LOG_FOREIGN[] =
    "Het bestand \"%s\" is geen logfile van dit programma: de eerste regel is niet de kop van een logfile.";
inline constexpr char MSG_LOG_NO_ROWS[] = "Het logfile \"%s\" bevat nog geen regels met waarden.";
inline constexpr char MSG_LOG_SKIPPED[] =
    "%s regel(s) van \"%s\" konden niet gelezen worden en zijn overgeslagen; de eerste is regel %s.";

// How the day and the month stand in a numeric date: the log holds dates as the writer's locale
// wrote them. A date whose year comes first ("2026-03-14") needs no order.
enum class TDateOrder : uint8_t { DayMonthYear, MonthDayYear };

enum class TLogReadStatus : uint8_t {
    Ok,
    Empty,    // nothing but blanks and line breaks
    Foreign,  // the first line is not the log header
    NoRows,   // a header and not one readable row
};

struct TLogTable {
    // Per row: the written wall-clock time as seconds since 1970-01-01 00:00, taken as it stands
    // (no zone); ascending. Rows with equal or backward times keep their file order among equals.
    std::vector<double> Time;
    // One column per log column after the time, in file order (LogLayout()[c + 1]); a number, a
    // flag as 0 or 1, a list as its item's number; NaN where the row holds nothing.
    std::vector<std::vector<float>> Columns;
    size_t SkippedRows = 0;
    size_t FirstSkippedLine = 0;  // 1-based; 0 when none was skipped
};

struct TLogReadResult {
    TLogReadStatus Status = TLogReadStatus::Empty;
    TLogTable Table;
};

// Rows that cannot be read (wrong number of fields, a time or value that is not one) are skipped
// and counted. The first date that can be read only one way decides the order for the file;
// preferred decides when none can.
TLogReadResult ReadLog(std::string_view text, TDateOrder preferred = TDateOrder::DayMonthYear);

// The time column in any locale the tool can write it in ("14-03-2026 13:05:09",
// "3/14/26 1:05:09 PM", "14 Mar 2026 13:05:09", "2026-03-14 13.05.09", a date alone at midnight).
std::optional<double> ParseLogTime(std::string_view text, TDateOrder order);

// One value column; NaN for an empty field; nullopt when it is not what the column holds.
std::optional<float> ParseLogValue(std::string_view text, TLogColumnKind kind);

}  // namespace korvel
