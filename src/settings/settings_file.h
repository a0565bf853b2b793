// The settings file: the 115 parameters as the engineer sees them, in a text file that a
// spreadsheet and a script both open, to back up, restore and compare a board's settings.
//
//   <BOM>KORVEL instellingen;16.6.0.0;2026-12-09 15:30:00;Dorpsstraat 3;COM5;131
//   Adres;Naam;Omschrijving;Waarde;Woord
//   0;StooklijnRL.XMin;Radiatoren stooklijn Laag XMin;-10.0;65436
//   ...
//   224;rgTestmode;Test standen;0;0
//
// One row per parameter in address order, the value as its field shows it (the test mode as its
// item index) and the word the board holds, lines ended by CR LF. The word keeps what the value's
// text cannot show (the 1/256 field's 19.0 may be 4864 or 4865); files without it still read.
// The first line ends with what the file was made for: installation, port and firmware version,
// each empty when not known (none at all when nothing is); files whose first line ends after the
// time still read.
#pragma once

#include <cstddef>
#include <ctime>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "settings/nvm_parameters.h"
#include "visit/visit_stamp.h"

namespace korvel {

inline constexpr std::string_view SETTINGSFILEMARK = "KORVEL instellingen";
// A real file is about 7 kB; read no more than this from disk, the reader refuses it anyway.
inline constexpr size_t SETTINGSFILEMAXSIZE = 1 << 20;

// values: as the fields show them (one per row; std::invalid_argument otherwise); words: what the
// board holds or a write sends for them (NvmWordsOf(values) from the fields, NvmValuesOf(words)
// from the board). decimalSeparator: the user's, ',' or '.'; any other is written as '.', which
// every reader takes.
// The file's time line for a moment: "2026-03-14 13:05:09", local time.
std::string SettingsFileTime(std::time_t moment);

std::string WriteSettingsFile(std::span<const double> values, const TNvmWords& words, std::string_view toolVersion,
                              std::string_view timestamp, char decimalSeparator, const TVisitStamp& stamp = {});
// The same for words alone, shown as a fetch shows them.
inline std::string WriteSettingsFile(const TNvmWords& words, std::string_view toolVersion, std::string_view timestamp,
                                     char decimalSeparator, const TVisitStamp& stamp = {}) {
    return WriteSettingsFile(NvmValuesOf(words), words, toolVersion, timestamp, decimalSeparator, stamp);
}

struct TSettingsFileRead {
    TNvmWords Words{};           // what a restore sends
    std::vector<double> Values;  // what the controls hold for them, one per row; empty when refused
    std::string Error;           // why the file was refused, in Dutch, naming the line; empty when read
    bool NotRead = false;        // it could not be read at all; Error says why (the system's text)
    TVisitStamp Stamp;           // what the file was made for; empty cells for an older file
    bool Ok() const { return Error.empty(); }
};

// Takes the file only whole: every parameter once, under its own address and name, its value
// fitting its field's mask, and within its limits where the engineer can edit the field. A row's
// word counts where its value shows as the word does; a value edited in a spreadsheet counts
// over a word left as it was. '.' and ',' both count as decimal separator; CR LF or LF, a UTF-8
// BOM, rows in any order, blank rows, quoted cells and the empty cells a spreadsheet pads rows
// with are accepted. The caption column is not read: a spreadsheet may have re-coded it.
// boardsOwn: the file holds what a board reported (a snapshot), so values outside their limits are
// taken as a fetch takes them; the fields show them in red.
TSettingsFileRead ReadSettingsFile(std::string_view text, bool boardsOwn = false);
// The same for a file on disk, judged as it lies there: one over SETTINGSFILEMAXSIZE is refused
// whatever it starts with. A folder, a missing file or one without access is NotRead.
TSettingsFileRead ReadSettingsFileAt(const std::filesystem::path& path, bool boardsOwn = false);

// A value as its field shows it: through its picture mask, trimmed; the test mode as its index.
std::string SettingsValueText(const TNvmParameter& p, double value, char decimalSeparator);

struct TSettingsDifference {
    const TNvmParameter* Parameter;
    std::string A, B;  // both values as shown; the test mode with its item ("1 (Pompen aan)")
};

// Rows whose words differ. Two words that show as the same value (the 1/256 field) are listed
// with the words beside the values, so no row shows the same text twice. skipRowsWithoutDefault
// leaves out the two rows the defaults do not cover, for comparing with the defaults.
std::vector<TSettingsDifference> CompareSettings(const TNvmWords& a, const TNvmWords& b, bool skipRowsWithoutDefault,
                                                 char decimalSeparator);

// The differences as lines for the clipboard, "Adres 46, Temperatuur voor nachtstand: 19.0 / 20.0",
// each ended by '\n'.
std::string SettingsDifferencesText(std::span<const TSettingsDifference> differences);

}  // namespace korvel
