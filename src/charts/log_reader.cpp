#include "charts/log_reader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numeric>

namespace korvel {

namespace {

constexpr size_t kValueColumns = TDataLog::kColumns - 1;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// ---- time ----

// Howard Hinnant's days_from_civil: days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

unsigned DaysInMonth(int64_t y, unsigned m) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : kDays[m - 1];
}

// Month abbreviations a short date may spell out (the C locale writes "14 Mar 2026").
constexpr struct {
    std::string_view Prefix;
    unsigned Month;
} kMonths[] = {
    {"jan", 1}, {"feb", 2}, {"mar", 3}, {"mrt", 3}, {"m\xc3\xa4r", 3}, {"apr", 4}, {"may", 5},
    {"mei", 5}, {"mai", 5}, {"jun", 6}, {"jul", 7}, {"aug", 8}, {"sep", 9}, {"oct", 10},
    {"okt", 10}, {"nov", 11}, {"dec", 12}, {"dez", 12},
};

enum class Meridiem : uint8_t { None, Am, Pm };

// Ante and post meridiem as the locales that use a 12-hour clock write them.
constexpr struct {
    std::string_view Word;
    Meridiem Value;
} kMeridiems[] = {
    {"am", Meridiem::Am},
    {"pm", Meridiem::Pm},
    {"\xec\x98\xa4\xec\xa0\x84", Meridiem::Am},  // Korean
    {"\xec\x98\xa4\xed\x9b\x84", Meridiem::Pm},
    {"\xe4\xb8\x8a\xe5\x8d\x88", Meridiem::Am},  // Chinese
    {"\xe4\xb8\x8b\xe5\x8d\x88", Meridiem::Pm},
    {"\xe5\x8d\x88\xe5\x89\x8d", Meridiem::Am},  // Japanese
    {"\xe5\x8d\x88\xe5\xbe\x8c", Meridiem::Pm},
};

struct TimeTokens {
    std::array<int32_t, 6> Number{};
    std::array<uint8_t, 6> Digits{};
    std::array<char, 6> Before{};  // the separator before each number (blanks passed over)
    size_t Count = 0;
    unsigned Month = 0;  // from a month word; 0 when the date is all numbers
    Meridiem Half = Meridiem::None;
};

bool IsWordByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u >= 0x80;
}

// Numbers in order, a month word, an AM/PM word; other words ("h", "min") and separators are
// passed over. False when the text holds more than a date and a time can.
bool Tokenize(std::string_view text, TimeTokens& t) {
    size_t i = 0;
    char separator = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (IsDigit(c)) {
            int64_t value = 0;
            size_t digits = 0;
            for (; i < text.size() && IsDigit(text[i]); ++i, ++digits) {
                if (digits == 4) return false;  // no part of a date or time has more
                value = value * 10 + (text[i] - '0');
            }
            if (t.Count == t.Number.size()) return false;
            t.Number[t.Count] = static_cast<int32_t>(value);
            t.Digits[t.Count] = static_cast<uint8_t>(digits);
            t.Before[t.Count] = separator;
            separator = 0;
            ++t.Count;
        } else if (IsWordByte(c)) {
            // A word may carry points inside ("p.m."): they belong to it.
            std::string word;
            for (; i < text.size() && (IsWordByte(text[i]) || text[i] == '.'); ++i) {
                char w = text[i];
                if (w == '.') continue;
                if (w >= 'A' && w <= 'Z') w = static_cast<char>(w - 'A' + 'a');
                word += w;
                if (word.size() > 32) return false;
            }
            for (const auto& m : kMeridiems)
                if (word == m.Word) t.Half = m.Value;
            for (const auto& m : kMonths) {
                if (word.size() >= 3 && word.compare(0, m.Prefix.size(), m.Prefix) == 0) {
                    if (t.Month != 0 || t.Count > 1) return false;
                    t.Month = m.Month;
                }
            }
        } else {
            if (!IsBlank(c)) separator = c;
            ++i;
        }
    }
    return true;
}

// A vote from one row's date: which order its numbers allow.
void VoteDateOrder(std::string_view text, size_t& dayFirst, size_t& monthFirst) {
    TimeTokens t;
    if (!Tokenize(text, t) || t.Month != 0 || t.Count < 3 || t.Digits[0] > 2) return;
    if (t.Number[0] > 12 && t.Number[1] <= 12) ++dayFirst;
    if (t.Number[1] > 12 && t.Number[0] <= 12) ++monthFirst;
}

// ---- values ----

// The Arabic decimal separator, which a field shows in the locales that write it (ar_EG).
constexpr std::string_view kArabicDecimal = "\xd9\xab";

// Blanks around, a sign, digits with at most one decimal separator among them ('.', ',' or the
// Arabic one): the only numbers a display field shows. Parsed exactly as decimal digits, so
// "21,50" and "21.50" give the same float.
std::optional<float> ParseNumber(std::string_view s) {
    s = Trim(s);
    if (s.empty()) return std::numeric_limits<float>::quiet_NaN();
    bool negative = false;
    if (s.front() == '-') {
        negative = true;
        s.remove_prefix(1);
    }
    int64_t mantissa = 0;
    int digits = 0;
    int decimals = -1;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        const bool arabic = s.substr(i, kArabicDecimal.size()) == kArabicDecimal;
        if (IsDigit(c)) {
            if (++digits > 15) return std::nullopt;
            mantissa = mantissa * 10 + (c - '0');
            if (decimals >= 0) ++decimals;
        } else if ((c == '.' || c == ',' || arabic) && decimals < 0) {
            decimals = 0;
            if (arabic) i += kArabicDecimal.size() - 1;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0) return std::nullopt;
    static constexpr double kScale[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7,
                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const double value = static_cast<double>(mantissa) / kScale[std::max(decimals, 0)];
    return static_cast<float>(negative ? -value : value);
}

bool EqualsNoCase(std::string_view a, std::string_view upper) {
    if (a.size() != upper.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char c = a[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != upper[i]) return false;
    }
    return true;
}

std::optional<float> ParseFlag(std::string_view s) {
    s = Trim(s);
    if (EqualsNoCase(s, "TRUE") || s == "1") return 1.0f;
    if (EqualsNoCase(s, "FALSE") || s == "0") return 0.0f;
    return std::nullopt;
}

// The item's text starts with its number ("3 - Alleen buitenunit", "1: Heat").
std::optional<float> ParseListItem(std::string_view s) {
    s = Trim(s);
    if (s.empty()) return std::numeric_limits<float>::quiet_NaN();
    int value = 0;
    size_t digits = 0;
    while (digits < s.size() && IsDigit(s[digits])) {
        if (digits == 3) return std::nullopt;
        value = value * 10 + (s[digits] - '0');
        ++digits;
    }
    if (digits == 0 || (digits < s.size() && IsDigit(s[digits]))) return std::nullopt;
    return static_cast<float>(value);
}

// ---- lines ----

// Calls f(line, number) for each line without its CR LF or LF; false from f stops.
template <typename F>
void ForEachLine(std::string_view text, F&& f) {
    size_t start = 0;
    size_t number = 0;
    while (start < text.size()) {
        const void* nl = std::memchr(text.data() + start, '\n', text.size() - start);
        const size_t end = nl ? static_cast<size_t>(static_cast<const char*>(nl) - text.data()) : text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!f(line, ++number)) return;
        start = end + 1;
    }
}

bool IsBlankLine(std::string_view line) { return Trim(line).empty(); }

// Splits a line into exactly n fields, each followed by ';' (the last may lack it, as after a
// spreadsheet saved the file again). False for any other count.
template <size_t N>
bool SplitFields(std::string_view line, std::array<std::string_view, N>& fields) {
    const char* p = line.data();
    const char* const end = p + line.size();
    for (size_t c = 0; c < N; ++c) {
        const char* start = p;
        while (p != end && *p != ';') ++p;
        fields[c] = std::string_view(start, static_cast<size_t>(p - start));
        if (p == end) return c + 1 == N;
        ++p;
    }
    return Trim(std::string_view(p, static_cast<size_t>(end - p))).empty();
}

bool IsHeader(std::string_view line) {
    std::array<std::string_view, TDataLog::kColumns> fields;
    if (!SplitFields(line, fields)) return false;
    const auto layout = LogLayout();
    for (size_t c = 0; c < fields.size(); ++c)
        if (Trim(fields[c]) != layout[c].Header) return false;
    return true;
}

void SortByTime(TLogTable& table) {
    if (std::is_sorted(table.Time.begin(), table.Time.end())) return;
    std::vector<uint32_t> order(table.Time.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return table.Time[a] < table.Time[b]; });
    auto permute = [&](auto& v) {
        std::remove_reference_t<decltype(v)> sorted(v.size());
        for (size_t i = 0; i < order.size(); ++i) sorted[i] = v[order[i]];
        v.swap(sorted);
    };
    permute(table.Time);
    for (auto& column : table.Columns) permute(column);
}

}  // namespace

std::optional<double> ParseLogTime(std::string_view text, TDateOrder order) {
    TimeTokens t;
    if (!Tokenize(text, t)) return std::nullopt;
    int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    size_t next = 0;
    if (t.Month != 0) {
        if (t.Count < 2) return std::nullopt;
        const bool yearFirst = t.Digits[0] >= 3;
        year = t.Number[yearFirst ? 0 : 1];
        day = static_cast<unsigned>(t.Number[yearFirst ? 1 : 0]);
        month = t.Month;
        if (t.Digits[yearFirst ? 0 : 1] <= 2) year += 2000;
        next = 2;
    } else {
        if (t.Count < 3) return std::nullopt;
        const auto& n = t.Number;
        size_t yearAt = 2;
        if (t.Digits[0] >= 3) {
            yearAt = 0;
            month = static_cast<unsigned>(n[1]);
            day = static_cast<unsigned>(n[2]);
        } else if (order == TDateOrder::DayMonthYear) {
            day = static_cast<unsigned>(n[0]);
            month = static_cast<unsigned>(n[1]);
        } else {
            month = static_cast<unsigned>(n[0]);
            day = static_cast<unsigned>(n[1]);
        }
        year = n[yearAt];
        if (t.Digits[yearAt] <= 2) year += 2000;  // "yy" keeps the last two digits
        next = 3;
    }
    // A time alone ("13:05:09") is no date; a year far off is a damaged row, not a point that
    // would stretch the chart over centuries.
    for (size_t i = 1; i < next; ++i)
        if (t.Before[i] == ':') return std::nullopt;
    if (year < 1980 || year > 2200) return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return std::nullopt;

    const size_t timeParts = t.Count - next;
    if (timeParts != 0 && timeParts != 2 && timeParts != 3) return std::nullopt;
    int hour = timeParts ? t.Number[next] : 0;
    const int minute = timeParts ? t.Number[next + 1] : 0;
    const int second = timeParts == 3 ? t.Number[next + 2] : 0;
    if (t.Half != Meridiem::None) {
        if (timeParts == 0 || hour < 1 || hour > 12) return std::nullopt;
        hour = hour % 12 + (t.Half == Meridiem::Pm ? 12 : 0);
    }
    if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
    return static_cast<double>(DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second);
}

std::optional<float> ParseLogValue(std::string_view text, TLogColumnKind kind) {
    switch (kind) {
        case TLogColumnKind::Number: return ParseNumber(text);
        case TLogColumnKind::Flag:
        case TLogColumnKind::OnOff: return ParseFlag(text);
        case TLogColumnKind::List: return ParseListItem(text);
        case TLogColumnKind::Time: break;
    }
    return std::nullopt;
}

TLogReadResult ReadLog(std::string_view text, TDateOrder preferred) {
    TLogReadResult result;
    if (text.substr(0, 3) == "\xef\xbb\xbf") text.remove_prefix(3);  // a BOM, as editors may add

    size_t headerLine = 0;
    bool foreign = false;
    ForEachLine(text, [&](std::string_view line, size_t number) {
        if (IsBlankLine(line)) return true;
        if (IsHeader(line))
            headerLine = number;
        else
            foreign = true;
        return false;
    });
    if (headerLine == 0) {
        result.Status = foreign ? TLogReadStatus::Foreign : TLogReadStatus::Empty;
        return result;
    }

    // The first row that can only be read one way ("14/03") settles the order for them all.
    size_t dayFirst = 0;
    size_t monthFirst = 0;
    ForEachLine(text, [&](std::string_view line, size_t number) {
        if (number > headerLine) VoteDateOrder(line.substr(0, line.find(';')), dayFirst, monthFirst);
        return dayFirst == 0 && monthFirst == 0;
    });
    TDateOrder order = preferred;
    if (dayFirst > 0) order = TDateOrder::DayMonthYear;
    if (monthFirst > 0) order = TDateOrder::MonthDayYear;
    // Room for as many rows as the text can hold: each has a separator after every field but
    // perhaps the last. Counting line ends instead let blank lines reserve a row each.
    const size_t rows = static_cast<size_t>(std::count(text.begin(), text.end(), ';')) / (TDataLog::kColumns - 1);

    TLogTable& table = result.Table;
    table.Columns.resize(kValueColumns);
    table.Time.reserve(rows);
    for (auto& column : table.Columns) column.reserve(rows);

    const auto layout = LogLayout();
    std::array<std::string_view, TDataLog::kColumns> fields;
    std::array<float, kValueColumns> values;
    ForEachLine(text, [&](std::string_view line, size_t number) {
        if (number <= headerLine || IsBlankLine(line)) return true;
        bool ok = SplitFields(line, fields);
        std::optional<double> time;
        if (ok) time = ParseLogTime(fields[0], order);
        ok = ok && time.has_value();
        for (size_t c = 0; ok && c < kValueColumns; ++c) {
            const std::optional<float> v = ParseLogValue(fields[c + 1], layout[c + 1].Kind);
            if (v)
                values[c] = *v;
            else
                ok = false;
        }
        if (!ok) {
            if (table.SkippedRows++ == 0) table.FirstSkippedLine = number;
            return true;
        }
        table.Time.push_back(*time);
        for (size_t c = 0; c < kValueColumns; ++c) table.Columns[c].push_back(values[c]);
        return true;
    });

    SortByTime(table);
    if (table.SkippedRows > table.Time.size() / 8) {  // room reserved for rows that were not
        table.Time.shrink_to_fit();
        for (auto& column : table.Columns) column.shrink_to_fit();
    }
    result.Status = table.Time.empty() ? TLogReadStatus::NoRows : TLogReadStatus::Ok;
    return result;
}

}  // namespace korvel
