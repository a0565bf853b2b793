#include "datalog/log_time.h"

#include <algorithm>
#include <ctime>
#include <vector>

#include "host/local_time.h"
#include "host/utf8.h"

namespace korvel {

namespace {

// What one piece of a picture stands for.
enum class TPart : uint8_t { Text, Day, DayName, Month, MonthName, Year, Hour12, Hour24, Minute, Second, Meridiem, Zone };

struct TPiece {
    TPart Part;
    // Digits: 1 = as many as needed, 2 = two, 4 = four. Names: 3 short, 4 long. Meridiem: 1 for
    // the upper-case texts, 0 for the lower-case ones.
    uint8_t Width = 0;
    std::string Text;  // TPart::Text only
};
using TPicture = std::vector<TPiece>;

bool Numeric(const TPiece& p) {
    return p.Part == TPart::Day || p.Part == TPart::Month || p.Part == TPart::Year || p.Part == TPart::Hour12 ||
           p.Part == TPart::Hour24 || p.Part == TPart::Minute || p.Part == TPart::Second;
}

void AddText(TPicture& picture, std::string_view text) {
    if (picture.empty() || picture.back().Part != TPart::Text) picture.push_back({TPart::Text, 0, {}});
    picture.back().Text += text;
}

// Quoted text from the quote at p[i] on; i moves past the closing quote. A quote pair outside or
// inside quoted text is one quote.
std::string Quoted(std::string_view p, size_t& i) {
    ++i;
    if (i < p.size() && p[i] == '\'') {
        ++i;
        return "'";
    }
    std::string text;
    while (i < p.size()) {
        if (p[i] == '\'') {
            if (i + 1 < p.size() && p[i + 1] == '\'') {
                text += '\'';
                i += 2;
                continue;
            }
            ++i;
            break;
        }
        text += p[i++];
    }
    return text;
}

bool HasMeridiem(std::string_view p) {
    for (size_t i = 0; i < p.size();) {
        if (p[i] == '\'') {
            Quoted(p, i);
            continue;
        }
        if (p[i] == 'a' || p[i] == 'A') return true;
        ++i;
    }
    return false;
}

std::string_view TrimSeparators(std::string_view s, bool front) {
    auto separator = [](char c) { return c == ' ' || c == ','; };
    while (!s.empty() && separator(front ? s.front() : s.back())) front ? s.remove_prefix(1) : s.remove_suffix(1);
    return s;
}

// The zone goes, with brackets around it and the blank or comma that set it apart.
void DropZones(TPicture& picture) {
    for (size_t k = 0; k < picture.size(); ++k) {
        if (picture[k].Part != TPart::Zone) continue;
        TPiece* before = k > 0 && picture[k - 1].Part == TPart::Text ? &picture[k - 1] : nullptr;
        TPiece* after = k + 1 < picture.size() && picture[k + 1].Part == TPart::Text ? &picture[k + 1] : nullptr;
        if (before && after && !before->Text.empty() && !after->Text.empty() &&
            ((before->Text.back() == '(' && after->Text.front() == ')') ||
             (before->Text.back() == '[' && after->Text.front() == ']'))) {
            before->Text.pop_back();
            after->Text.erase(0, 1);
        }
        const bool first = before == nullptr || k == 1;
        const bool last = after == nullptr || k + 2 == picture.size();
        if (before && last) before->Text = std::string(TrimSeparators(before->Text, false));
        if (after && first) after->Text = std::string(TrimSeparators(after->Text, true));
        picture.erase(picture.begin() + static_cast<std::ptrdiff_t>(k));
        --k;
    }
    std::erase_if(picture, [](const TPiece& p) { return p.Part == TPart::Text && p.Text.empty(); });
}

// The pieces of a date or a time picture, as Qt reads them: a letter repeated counts up to the
// field's longest form, and letters of the other kind stand for themselves.
TPicture Pieces(std::string_view p, bool date) {
    TPicture picture;
    const bool twelveHours = !date && HasMeridiem(p);
    for (size_t i = 0; i < p.size();) {
        const char c = p[i];
        if (c == '\'') {
            AddText(picture, Quoted(p, i));
            continue;
        }
        size_t repeat = 1;
        while (i + repeat < p.size() && p[i + repeat] == c) ++repeat;
        auto take = [&](TPart part, size_t count, uint8_t width) {
            picture.push_back({part, width, {}});
            i += count;
        };
        if (date && (c == 'd' || c == 'M')) {
            const auto n = static_cast<uint8_t>(std::min<size_t>(repeat, 4));
            const bool name = n >= 3;
            take(c == 'd' ? (name ? TPart::DayName : TPart::Day) : (name ? TPart::MonthName : TPart::Month), n, n);
        } else if (date && c == 'y' && repeat >= 2) {
            take(TPart::Year, repeat >= 4 ? 4 : 2, repeat >= 4 ? 4 : 2);
        } else if (!date && (c == 'h' || c == 'H' || c == 'm' || c == 's')) {
            const auto n = static_cast<uint8_t>(std::min<size_t>(repeat, 2));
            const TPart part = c == 'm'   ? TPart::Minute
                               : c == 's' ? TPart::Second
                               : c == 'h' && twelveHours ? TPart::Hour12
                                                         : TPart::Hour24;
            take(part, n, n);
        } else if (!date && (c == 'a' || c == 'A')) {
            const char p2 = c == 'a' ? 'p' : 'P';
            take(TPart::Meridiem, i + 1 < p.size() && p[i + 1] == p2 ? 2 : 1, c == 'A' ? 1 : 0);
        } else if (!date && c == 't') {
            take(TPart::Zone, 1, 0);
        } else {
            AddText(picture, p.substr(i, 1));
            ++i;
        }
    }
    DropZones(picture);
    return picture;
}

// Every decimal digit zero of Unicode: a locale writes its digits from one of them.
constexpr char32_t kZeroDigits[] = {
    0x30,    0x660,   0x6F0,   0x7C0,   0x966,   0x9E6,   0xA66,   0xAE6,   0xB66,   0xBE6,   0xC66,
    0xCE6,   0xD66,   0xDE6,   0xE50,   0xED0,   0xF20,   0x1040,  0x1090,  0x17E0,  0x1810,  0x1946,
    0x19D0,  0x1A80,  0x1A90,  0x1B50,  0x1BB0,  0x1C40,  0x1C50,  0xA620,  0xA8D0,  0xA900,  0xA9D0,
    0xA9F0,  0xAA50,  0xABF0,  0xFF10,  0x104A0, 0x10D30, 0x11066, 0x110F0, 0x11136, 0x111D0, 0x112F0,
    0x11450, 0x114D0, 0x11650, 0x116C0, 0x11730, 0x118E0, 0x11950, 0x11C50, 0x11D50, 0x11DA0, 0x16A60,
    0x16AC0, 0x16B50, 0x1E140, 0x1E2F0, 0x1E950, 0x1FBF0,
};

void AppendNumber(std::string& out, int value, int width, char32_t zero) {
    const std::string digits = std::to_string(value);
    for (size_t n = digits.size(); n < static_cast<size_t>(width); ++n) AppendUtf8(out, zero);
    for (const char d : digits) AppendUtf8(out, zero + static_cast<char32_t>(d - '0'));
}

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's days_from_civil).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

size_t Weekday(const TLogTime& t) {  // 0 = Monday; 1970-01-01 was a Thursday
    const int64_t days = DaysFromCivil(t.Year, static_cast<unsigned>(t.Month), static_cast<unsigned>(t.Day));
    return static_cast<size_t>(((days % 7) + 7 + 3) % 7);
}

const std::string& Pick(const std::array<std::string, 12>& names, int month) {
    static const std::string none;
    return month >= 1 && month <= 12 ? names[static_cast<size_t>(month - 1)] : none;
}

void Format(std::string& out, const TPicture& picture, const TLogTime& t, const TLogTimeFormat& f) {
    const char32_t zero = f.ZeroDigit;
    for (const TPiece& p : picture) {
        switch (p.Part) {
            case TPart::Text: out += p.Text; break;
            case TPart::Day: AppendNumber(out, t.Day, p.Width, zero); break;
            case TPart::DayName: out += (p.Width == 3 ? f.ShortDays : f.LongDays)[Weekday(t)]; break;
            case TPart::Month: AppendNumber(out, t.Month, p.Width, zero); break;
            case TPart::MonthName: out += Pick(p.Width == 3 ? f.ShortMonths : f.LongMonths, t.Month); break;
            case TPart::Year: AppendNumber(out, p.Width == 2 ? t.Year % 100 : t.Year, p.Width, zero); break;
            case TPart::Hour12: AppendNumber(out, t.Hour % 12 == 0 ? 12 : t.Hour % 12, p.Width, zero); break;
            case TPart::Hour24: AppendNumber(out, t.Hour, p.Width, zero); break;
            case TPart::Minute: AppendNumber(out, t.Minute, p.Width, zero); break;
            case TPart::Second: AppendNumber(out, t.Second, p.Width, zero); break;
            case TPart::Meridiem: out += (p.Width ? f.Meridiem : f.MeridiemLower)[t.Hour >= 12 ? 1 : 0]; break;
            case TPart::Zone: break;
        }
    }
}

// ---- reading ----

bool StartsWithNoCase(std::string_view text, std::string_view word) {
    if (word.empty() || text.size() < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
        char a = text[i];
        char b = word[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

// The longest of the words at text[i]: its index, and i moved past it; -1 when none is there. An
// empty word is there when no other is (a locale without an AM text writes none).
template <size_t N>
int MatchWord(std::string_view text, size_t& i, const std::array<std::string, N>& words) {
    int best = -1;
    for (size_t w = 0; w < N; ++w) {
        const bool there = words[w].empty() || StartsWithNoCase(text.substr(i), words[w]);
        if (there && (best < 0 || words[w].size() > words[static_cast<size_t>(best)].size())) best = static_cast<int>(w);
    }
    if (best >= 0) i += words[static_cast<size_t>(best)].size();
    return best;
}

// Digits of one system at text[i], as many as the width allows: 1 takes one or two, else exactly
// that many.
std::optional<int> MatchNumber(std::string_view text, size_t& i, uint8_t width) {
    const size_t most = width == 1 ? 2 : width;
    int value = 0;
    size_t digits = 0;
    size_t at = i;
    while (digits < most && at < text.size()) {
        size_t next = at;
        const int d = DigitValue(NextCodePoint(text, next));
        if (d < 0) break;
        value = value * 10 + d;
        ++digits;
        at = next;
    }
    if (digits == 0 || (width != 1 && digits != width)) return std::nullopt;
    i = at;
    return value;
}

struct TReadParts {
    int Year = 2000, Month = 1, Day = 1, Hour = 0, Minute = 0, Second = 0;
    int Half = -1;  // 0 before noon, 1 after; -1 when the picture has none
    bool Hour12 = false;
};

bool Match(std::string_view text, size_t& i, const TPicture& picture, const TLogTimeFormat& f, TReadParts& r) {
    for (const TPiece& p : picture) {
        std::optional<int> n;
        switch (p.Part) {
            case TPart::Text:
                // Blanks before an empty AM/PM text end the field, and a trimmed field lacks them.
                if (i == text.size() && p.Text.find_first_not_of(' ') == std::string::npos) continue;
                if (text.substr(i, p.Text.size()) != p.Text) return false;
                i += p.Text.size();
                continue;
            case TPart::DayName:
                if (MatchWord(text, i, p.Width == 3 ? f.ShortDays : f.LongDays) < 0) return false;
                continue;
            case TPart::MonthName: {
                const int m = MatchWord(text, i, p.Width == 3 ? f.ShortMonths : f.LongMonths);
                if (m < 0) return false;
                r.Month = m + 1;
                continue;
            }
            case TPart::Meridiem:
                r.Half = MatchWord(text, i, p.Width ? f.Meridiem : f.MeridiemLower);
                if (r.Half < 0) return false;
                continue;
            case TPart::Zone: continue;
            default: break;
        }
        n = MatchNumber(text, i, p.Width);
        if (!n) return false;
        switch (p.Part) {
            case TPart::Day: r.Day = *n; break;
            case TPart::Month: r.Month = *n; break;
            case TPart::Year: r.Year = p.Width == 2 ? 2000 + *n : *n; break;
            case TPart::Hour12:
                r.Hour = *n;
                r.Hour12 = true;
                break;
            case TPart::Hour24: r.Hour = *n; break;
            case TPart::Minute: r.Minute = *n; break;
            case TPart::Second: r.Second = *n; break;
            default: break;
        }
    }
    return true;
}

int DaysInMonth(int y, int m) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : kDays[m - 1];
}

template <size_t N>
bool Distinct(const std::array<std::string, N>& words) {
    for (size_t a = 0; a < N; ++a) {
        if (words[a].empty()) return false;
        for (size_t b = a + 1; b < N; ++b)
            if (words[a].size() == words[b].size() && StartsWithNoCase(words[a], words[b])) return false;
    }
    return true;
}

std::string ProblemOf(const TPicture& date, const TPicture& time, const TLogTimeFormat& format) {
    auto has = [](const TPicture& picture, std::initializer_list<TPart> parts) {
        return std::any_of(picture.begin(), picture.end(), [&](const TPiece& p) {
            return std::find(parts.begin(), parts.end(), p.Part) != parts.end();
        });
    };
    std::vector<std::string> missing;
    if (!has(date, {TPart::Day})) missing.emplace_back("de dag");
    if (!has(date, {TPart::Month, TPart::MonthName})) missing.emplace_back("de maand");
    if (!has(date, {TPart::Year})) missing.emplace_back("het jaar");
    if (!has(time, {TPart::Hour12, TPart::Hour24})) missing.emplace_back("het uur");
    if (!has(time, {TPart::Minute})) missing.emplace_back("de minuten");
    if (!missing.empty()) {
        std::string list = missing.front();
        for (size_t k = 1; k < missing.size(); ++k) list += (k + 1 == missing.size() ? " en " : ", ") + missing[k];
        return "de datum en tijd (" + format.ShortDate + " " + format.LongTime + ") missen " + list;
    }
    for (const TPiece& p : time)
        if (p.Part == TPart::Meridiem && !Distinct(p.Width ? format.Meridiem : format.MeridiemLower))
            return "de tijd (" + format.LongTime + ") heeft een 12-uursklok zonder verschil tussen voor en na de middag";
    for (const TPiece& p : date) {
        if (p.Part == TPart::MonthName && !Distinct(p.Width == 3 ? format.ShortMonths : format.LongMonths))
            return "de datum (" + format.ShortDate + ") noemt maanden die niet alle verschillend zijn";
        if (p.Part == TPart::DayName && !Distinct(p.Width == 3 ? format.ShortDays : format.LongDays))
            return "de datum (" + format.ShortDate + ") noemt dagen die niet alle verschillend zijn";
    }
    for (const TPicture* picture : {&date, &time})
        for (size_t k = 1; k < picture->size(); ++k)
            if (Numeric((*picture)[k - 1]) && (*picture)[k - 1].Width == 1 && Numeric((*picture)[k]))
                return "twee getallen staan zonder scheidingsteken naast elkaar (" + format.ShortDate + " " +
                       format.LongTime + ")";
    return {};
}

}  // namespace

bool ValidLogTime(const TLogTime& t) {
    return t.Month >= 1 && t.Month <= 12 && t.Day >= 1 && t.Day <= DaysInMonth(t.Year, t.Month) && t.Hour >= 0 &&
           t.Hour <= 23 && t.Minute >= 0 && t.Minute <= 59 && t.Second >= 0 && t.Second <= 59;
}

int64_t WallSeconds(const TLogTime& t) {
    return DaysFromCivil(t.Year, static_cast<unsigned>(t.Month), static_cast<unsigned>(t.Day)) * 86400 +
           t.Hour * 3600 + t.Minute * 60 + t.Second;
}

int DigitValue(char32_t c) {
    for (const char32_t zero : kZeroDigits)
        if (c >= zero && c <= zero + 9) return static_cast<int>(c - zero);
    return -1;
}

std::string FormatLogTime(const TLogTime& t, const TLogTimeFormat& format) {
    std::string text;
    Format(text, Pieces(format.ShortDate, true), t, format);
    if (t.Hour == 0 && t.Minute == 0 && t.Second == 0) return text;
    text += ' ';
    Format(text, Pieces(format.LongTime, false), t, format);
    return text;
}

const TLogTimeFormat& PlatformLogTimeFormat() {
    static const TLogTimeFormat format = ReadPlatformLogTimeFormat();
    return format;
}

std::string LogTimeText(std::chrono::system_clock::time_point arrival, const TLogTimeFormat& format) {
    const std::tm local = LocalTime(std::chrono::system_clock::to_time_t(arrival));
    return FormatLogTime(
        {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec}, format);
}

struct TLogTimeReader::TPictures {
    TPicture Date, Time;
};

TLogTimeReader::TLogTimeReader(const TLogTimeFormat& format)
    : FFormat(format), FPictures(std::make_unique<TPictures>()) {
    FPictures->Date = Pieces(format.ShortDate, true);
    FPictures->Time = Pieces(format.LongTime, false);
    FProblem = ProblemOf(FPictures->Date, FPictures->Time, format);
}

TLogTimeReader::~TLogTimeReader() = default;
TLogTimeReader::TLogTimeReader(TLogTimeReader&&) noexcept = default;
TLogTimeReader& TLogTimeReader::operator=(TLogTimeReader&&) noexcept = default;

bool TLogTimeReader::DayFirst() const {
    for (const TPiece& p : FPictures->Date) {
        if (p.Part == TPart::Day) return true;
        if (p.Part == TPart::Month || p.Part == TPart::MonthName) return false;
    }
    return true;
}

std::optional<TLogTime> TLogTimeReader::Read(std::string_view text) const {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    TReadParts r;
    size_t i = 0;
    if (!Match(text, i, FPictures->Date, FFormat, r)) return std::nullopt;
    if (i < text.size()) {
        if (text[i++] != ' ' || !Match(text, i, FPictures->Time, FFormat, r) || i != text.size()) return std::nullopt;
    }
    if (r.Hour12) {
        if (r.Hour < 1 || r.Hour > 12) return std::nullopt;
        r.Hour = r.Hour % 12 + (r.Half == 1 ? 12 : 0);
    }
    const TLogTime t{r.Year, r.Month, r.Day, r.Hour, r.Minute, r.Second};
    if (!ValidLogTime(t)) return std::nullopt;
    return t;
}

}  // namespace korvel
