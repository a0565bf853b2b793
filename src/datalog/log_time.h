// The data log's time column: the arrival time in the user's locale, its short date, a blank and
// its long time, the date alone at exactly midnight. Written and read back through one picture
// syntax, with the locale's formats given as data by the caller: the window takes them from its
// toolkit, korvel-cli from the platform.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace korvel {

// A local wall-clock time, as the clock shows it.
struct TLogTime {
    int Year = 0, Month = 0, Day = 0;
    int Hour = 0, Minute = 0, Second = 0;
    bool operator==(const TLogTime&) const = default;
};

// A locale's formats in the picture syntax Qt and Windows share: d dd ddd dddd, M MM MMM MMMM,
// yy yyyy; h hh (12-hour beside AP) H HH, m mm, s ss, AP A (upper case) ap a (lower case); text
// in single quotes ('' is a quote); every other character stands for itself. A zone ('t') is
// left out, with the brackets or blank around it. The default is the ISO form
// "2026-03-14 13:05:09" that korvel-cli prints and earlier versions wrote into logs.
struct TLogTimeFormat {
    std::string ShortDate = "yyyy-MM-dd";
    std::string LongTime = "HH:mm:ss";
    std::array<std::string, 2> Meridiem{"AM", "PM"};       // as "AP" writes them
    std::array<std::string, 2> MeridiemLower{"am", "pm"};  // as "ap" writes them
    char32_t ZeroDigit = U'0';                             // the locale's digits are ZeroDigit + 0..9
    std::array<std::string, 12> ShortMonths{}, LongMonths{};  // for MMM, MMMM
    std::array<std::string, 7> ShortDays{}, LongDays{};       // Monday first, for ddd, dddd
    bool operator==(const TLogTimeFormat&) const = default;
};

std::string FormatLogTime(const TLogTime& t, const TLogTimeFormat& format = {});

// The time column for a moment, in its local time.
std::string LogTimeText(std::chrono::system_clock::time_point arrival, const TLogTimeFormat& format = {});

// For the platform's readers: the names from the platform's numbered items, months from their
// first item on, days too (sundayFirst: the first is Sunday, as in the C library).
template <typename Item, typename Text>
void FillNames(TLogTimeFormat& f, const std::array<Item, 4>& first, bool sundayFirst, const Text& text) {
    for (size_t m = 0; m < 12; ++m) {
        f.ShortMonths[m] = text(static_cast<Item>(first[0] + m));
        f.LongMonths[m] = text(static_cast<Item>(first[1] + m));
    }
    for (size_t d = 0; d < 7; ++d) {
        const size_t item = sundayFirst ? (d + 1) % 7 : d;
        f.ShortDays[d] = text(static_cast<Item>(first[2] + item));
        f.LongDays[d] = text(static_cast<Item>(first[3] + item));
    }
}

// The locale the platform gives a program without a window: the C library's LC_TIME from the
// environment on POSIX, the user's own formats on Windows. Read once, by the platform's file.
const TLogTimeFormat& PlatformLogTimeFormat();
TLogTimeFormat ReadPlatformLogTimeFormat();

// Reads time columns written in exactly one format. Digits of any of the systems a locale writes
// in are read as digits; a two-digit year is 2000 + yy.
class TLogTimeReader {
public:
    explicit TLogTimeReader(const TLogTimeFormat& format);
    ~TLogTimeReader();
    TLogTimeReader(TLogTimeReader&&) noexcept;
    TLogTimeReader& operator=(TLogTimeReader&&) noexcept;

    // Nothing when the text is not in the format.
    std::optional<TLogTime> Read(std::string_view text) const;
    // Why a time in this format cannot be read back to the second (Dutch, for the viewer's
    // message); empty when it can.
    const std::string& Problem() const { return FProblem; }
    // The day stands before the month in a numeric date.
    bool DayFirst() const;

private:
    struct TPictures;
    TLogTimeFormat FFormat;
    std::unique_ptr<TPictures> FPictures;
    std::string FProblem;
};

// A date and time that exist (the day in its month, hours 0..23 and so on).
bool ValidLogTime(const TLogTime& t);
// Seconds since 1970-01-01 00:00 of the wall-clock time as written, taken as it stands (no zone).
int64_t WallSeconds(const TLogTime& t);

// The value of a digit of any system a locale writes in ('0', U+0660, U+0966 ...); -1 otherwise.
int DigitValue(char32_t c);

}  // namespace korvel
