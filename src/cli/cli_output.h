// What the command line writes besides its results: a progress bar on a terminal, JSON strings,
// and the user's decimal separator and clock.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

namespace korvel::cli {

// A bar with percent and time left, redrawn in place on stderr; nothing at all when off (stderr
// is not a terminal), so a log of a script's run holds only results and errors.
class TProgressBar {
public:
    TProgressBar(std::ostream& err, bool on, std::string caption);
    ~TProgressBar();  // ends the line
    void Show(uint64_t done, uint64_t total);

private:
    std::ostream& FErr;
    bool FOn;
    std::string FCaption;
    uint32_t FStart;
    int FLastPercent = -1;
    bool FDrawn = false;
};

std::string JsonString(std::string_view text);

// The one vocabulary of the JSON output: the key of each of the report's display fields that
// info and watch give (README lists them with their units). Empty for a field without one.
struct TJsonKey {
    std::string_view Field;
    std::string_view Key;
};
std::span<const TJsonKey> ReportJsonKeys();
std::string_view ReportJsonKey(std::string_view field);

// ',' or '.': the user's decimal separator where it is one of the two the files take.
char UserDecimalSeparator();

uint32_t MillisecondsNow();

}  // namespace korvel::cli
