// Reads a log the tool wrote (its own ';' format, either decimal separator, CR LF or LF) back into
// numbers for a chart. A pure function over the file's text: no file access; the locales' time
// formats come from the caller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
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
inline constexpr char MSG_LOG_UNCLEAR[] =
    "%s regel(s) van \"%s\" zijn niet getoond, de eerste is regel %s: hun tijd is niet eenduidig terug te lezen. "
    "%s";
// Why: the running locale's format, or the formats of several locales reading a row differently.
inline constexpr char MSG_LOG_FORMAT_UNCLEAR[] = "De notatie van deze computer is daarvoor niet geschikt: %s.";
inline constexpr char MSG_LOG_READINGS[] =
    "Ze passen bij de notatie van meer dan één taal en regio, elk met een andere tijd: \"%s\" is %s of %s. "
    "Open het bestand op een computer met de taal- en regio-instellingen waarmee het is geschreven.";

// How the day and the month stand in a numeric date: the log holds dates as the writer's locale
// wrote them. A date whose year comes first ("2026-03-14") needs no order.
enum class TDateOrder : uint8_t { DayMonthYear, MonthDayYear };

enum class TLogReadStatus : uint8_t {
    Ok,
    Empty,    // nothing but blanks and line breaks
    Foreign,  // the first line is not the log header
    NoRows,   // a header and not one readable row
    Unclear,  // no row shown, and some only for want of a time that reads one way
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
    // Rows whose time cannot be read one way only (the running locale's format cannot give it
    // back, or locales that read the file read it differently), and why (the first reason).
    size_t UnclearRows = 0;
    size_t FirstUnclearLine = 0;
    std::string Unclear;
};

struct TLogReadResult {
    TLogReadStatus Status = TLogReadStatus::Empty;
    TLogTable Table;
};

// Rows that cannot be read (wrong number of fields, a time or value that is not one) are skipped
// and counted. A time is read in the running locale's formats first (as the toolkit and as the C
// library give them, in that order), then as the ISO form earlier
// versions wrote, then in the formats of the other locales that read every row of the file, and
// last, when none does, in any numeric form (below): there the first date that can be read only
// one way decides the order for the file, else the running locale's order does. A row is not shown,
// but counted with the reason, when the running format cannot give its time back or the other
// locales read it differently.
TLogReadResult ReadLog(std::string_view text, std::span<const TLogTimeFormat> running,
                       std::span<const TLogTimeFormat> others = {});
inline TLogReadResult ReadLog(std::string_view text, const TLogTimeFormat& running,
                              std::span<const TLogTimeFormat> others = {}) {
    return ReadLog(text, std::span(&running, 1), others);
}
// The ISO form and the numeric forms alone; preferred decides an order no date settles.
TLogReadResult ReadLog(std::string_view text, TDateOrder preferred = TDateOrder::DayMonthYear);

// The time column in any locale the tool can write it in ("14-03-2026 13:05:09",
// "3/14/26 1:05:09 PM", "14 Mar 2026 13:05:09", "2026-03-14 13.05.09", a date alone at midnight).
std::optional<double> ParseLogTime(std::string_view text, TDateOrder order);

// One value column; NaN for an empty field; nullopt when it is not what the column holds.
std::optional<float> ParseLogValue(std::string_view text, TLogColumnKind kind);

}  // namespace korvel
