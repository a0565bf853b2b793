#include "charts/log_reader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numeric>

#include "host/text_format.h"
#include "host/utf8.h"

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

bool IsWordCodePoint(char32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= 0x80 && DigitValue(c) < 0);
}

// A word as compared: ASCII letters in lower case, points left out ("p.m." is "pm").
std::string WordKey(std::string_view text) {
    std::string key;
    for (char c : text) {
        if (c == '.') continue;
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        key += c;
    }
    return key;
}

// Numbers in order (digits of any system), a month word, an AM/PM word (also the running
// locale's); other words ("h", "min") and separators are passed over. False when the text holds
// more than a date and a time can.
bool Tokenize(std::string_view text, TimeTokens& t, const TLogTimeFormat* running) {
    size_t i = 0;
    char separator = 0;
    while (i < text.size()) {
        size_t next = i;
        const char32_t c = NextCodePoint(text, next);
        if (DigitValue(c) >= 0) {
            int64_t value = 0;
            size_t digits = 0;
            for (int d; i < text.size() && (next = i, d = DigitValue(NextCodePoint(text, next))) >= 0; i = next, ++digits) {
                if (digits == 4) return false;  // no part of a date or time has more
                value = value * 10 + d;
            }
            if (t.Count == t.Number.size()) return false;
            t.Number[t.Count] = static_cast<int32_t>(value);
            t.Digits[t.Count] = static_cast<uint8_t>(digits);
            t.Before[t.Count] = separator;
            separator = 0;
            ++t.Count;
        } else if (IsWordCodePoint(c)) {
            // A word may carry points inside ("p.m."): they belong to it.
            const size_t start = i;
            while (i < text.size()) {
                next = i;
                const char32_t w = NextCodePoint(text, next);
                if (!IsWordCodePoint(w) && w != '.') break;
                i = next;
                if (i - start > 64) return false;
            }
            const std::string word = WordKey(text.substr(start, i - start));
            for (const auto& m : kMeridiems)
                if (word == m.Word) t.Half = m.Value;
            if (running != nullptr)
                for (const auto* texts : {&running->Meridiem, &running->MeridiemLower})
                    for (size_t h = 0; h < 2; ++h)
                        if (!(*texts)[h].empty() && word == WordKey((*texts)[h])) t.Half = h ? Meridiem::Pm : Meridiem::Am;
            for (const auto& m : kMonths) {
                if (word.size() >= 3 && word.compare(0, m.Prefix.size(), m.Prefix) == 0) {
                    if (t.Month != 0 || t.Count > 1) return false;
                    t.Month = m.Month;
                }
            }
        } else {
            if (c != ' ' && c != '\t') separator = c < 0x80 ? static_cast<char>(c) : '?';
            i = next;
        }
    }
    return true;
}

// A vote from one row's date: which order its numbers allow.
void VoteDateOrder(std::string_view text, size_t& dayFirst, size_t& monthFirst) {
    TimeTokens t;
    if (!Tokenize(text, t, nullptr) || t.Month != 0 || t.Count < 3 || t.Digits[0] > 2) return;
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

// The loose reading of a time in any numeric form.
std::optional<double> ParseLoose(std::string_view text, TDateOrder order, const TLogTimeFormat* running) {
    TimeTokens t;
    if (!Tokenize(text, t, running)) return std::nullopt;
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

    const size_t timeParts = t.Count - next;
    if (timeParts != 0 && timeParts != 2 && timeParts != 3) return std::nullopt;
    int hour = timeParts ? t.Number[next] : 0;
    const int minute = timeParts ? t.Number[next + 1] : 0;
    const int second = timeParts == 3 ? t.Number[next + 2] : 0;
    if (t.Half != Meridiem::None) {
        if (timeParts == 0 || hour < 1 || hour > 12) return std::nullopt;
        hour = hour % 12 + (t.Half == Meridiem::Pm ? 12 : 0);
    }
    const TLogTime time{static_cast<int>(year), static_cast<int>(month), static_cast<int>(day), hour, minute, second};
    if (!ValidLogTime(time)) return std::nullopt;
    return static_cast<double>(WallSeconds(time));
}

// The time column of one file, read as ReadLog says: Quick() for the running locale's format and
// the ISO form; the rows neither reads go to Learn(), all of them, and then to Slow().
class TTimeColumn {
public:
    TTimeColumn(std::span<const TLogTimeFormat> running, std::span<const TLogTimeFormat> others, bool loose,
                TDateOrder preferred)
        : FRunningFormat(running.front()), FIso(TLogTimeFormat{}), FOthers(others), FLoose(loose) {
        for (const TLogTimeFormat& f : running) FRunning.emplace_back(f);
        FOrder = loose || FRunning.front().DayFirst() ? preferred : TDateOrder::MonthDayYear;
    }

    // Nothing, with why in unclear, for a row in a running format that cannot give the time back.
    std::optional<double> Quick(std::string_view text, std::string& unclear) const {
        for (const TLogTimeReader& running : FRunning) {
            const auto t = running.Read(text);
            if (!t) continue;
            if (!running.Problem().empty()) {
                unclear = FormatText(MSG_LOG_FORMAT_UNCLEAR, {running.Problem()});
                return std::nullopt;
            }
            return static_cast<double>(WallSeconds(*t));
        }
        if (const auto t = FIso.Read(text)) return static_cast<double>(WallSeconds(*t));
        return std::nullopt;
    }

    void Learn(std::string_view text) {
        if (FDayFirst == 0 && FMonthFirst == 0) VoteDateOrder(text, FDayFirst, FMonthFirst);
        // The other locales' formats that read every row so far; a row none reads leaves them.
        if (!FNarrowed) {
            for (size_t k = 0; k < FOthers.size(); ++k) {
                // Many locales share their formats: each is tried once.
                if (std::find(FOthers.begin(), FOthers.begin() + static_cast<std::ptrdiff_t>(k), FOthers[k]) !=
                    FOthers.begin() + static_cast<std::ptrdiff_t>(k))
                    continue;
                TLogTimeReader reader(FOthers[k]);
                if (reader.Read(text)) FCandidates.push_back(std::move(reader));
            }
            FNarrowed = !FCandidates.empty();
            return;
        }
        std::vector<TLogTimeReader> kept;
        for (TLogTimeReader& c : FCandidates)
            if (c.Read(text)) kept.push_back(std::move(c));
        if (!kept.empty()) FCandidates.swap(kept);
    }

    // Nothing, with why in unclear, when the locales that read the file read this row differently.
    std::optional<double> Slow(std::string_view text, std::string& unclear) const {
        std::optional<TLogTime> agreed;
        for (const TLogTimeReader& c : FCandidates) {
            const auto t = c.Read(text);
            if (!t) continue;
            if (agreed && !(*agreed == *t)) {
                unclear = FormatText(MSG_LOG_READINGS, {text, FormatLogTime(*agreed), FormatLogTime(*t)});
                return std::nullopt;
            }
            agreed = t;
        }
        if (agreed) return static_cast<double>(WallSeconds(*agreed));
        TDateOrder order = FOrder;
        if (FDayFirst > 0) order = TDateOrder::DayMonthYear;
        if (FMonthFirst > 0) order = TDateOrder::MonthDayYear;
        return ParseLoose(text, order, FLoose ? nullptr : &FRunningFormat);
    }

private:
    const TLogTimeFormat& FRunningFormat;
    std::vector<TLogTimeReader> FRunning;
    TLogTimeReader FIso;
    std::span<const TLogTimeFormat> FOthers;
    bool FLoose;  // the running format is the ISO form's stand-in, not a locale's
    TDateOrder FOrder;
    std::vector<TLogTimeReader> FCandidates;
    bool FNarrowed = false;
    size_t FDayFirst = 0;
    size_t FMonthFirst = 0;
};

}  // namespace

std::optional<double> ParseLogTime(std::string_view text, TDateOrder order) {
    return ParseLoose(text, order, nullptr);
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

namespace {

TLogReadResult ReadLogAs(std::string_view text, TTimeColumn& times) {
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

    // Room for as many rows as the text can hold: each has a separator after every field but
    // perhaps the last. Counting line ends instead let blank lines reserve a row each.
    const size_t rows = static_cast<size_t>(std::count(text.begin(), text.end(), ';')) / (TDataLog::kColumns - 1);

    TLogTable& table = result.Table;
    table.Columns.resize(kValueColumns);
    table.Time.reserve(rows);
    for (auto& column : table.Columns) column.reserve(rows);

    auto skip = [&](size_t line) {
        if (table.SkippedRows++ == 0 || line < table.FirstSkippedLine) table.FirstSkippedLine = line;
    };
    std::string why;
    auto unclear = [&](size_t line) {
        if (table.UnclearRows++ == 0 || line < table.FirstUnclearLine) table.FirstUnclearLine = line;
        if (table.Unclear.empty()) table.Unclear = why;
    };
    // Rows whose time only the whole file can settle keep their place until it has.
    struct TDeferred {
        size_t Row;
        std::string_view Time;
        size_t Line;
    };
    std::vector<TDeferred> deferred;
    const auto layout = LogLayout();
    std::array<std::string_view, TDataLog::kColumns> fields;
    std::array<float, kValueColumns> values;
    ForEachLine(text, [&](std::string_view line, size_t number) {
        if (number <= headerLine || IsBlankLine(line)) return true;
        bool ok = SplitFields(line, fields);
        for (size_t c = 0; ok && c < kValueColumns; ++c) {
            const std::optional<float> v = ParseLogValue(fields[c + 1], layout[c + 1].Kind);
            if (v)
                values[c] = *v;
            else
                ok = false;
        }
        why.clear();
        const std::optional<double> time = ok ? times.Quick(fields[0], why) : std::nullopt;
        if (!why.empty()) {
            unclear(number);
            return true;
        }
        if (!ok) {
            skip(number);
            return true;
        }
        if (!time) {
            times.Learn(fields[0]);
            deferred.push_back({table.Time.size(), fields[0], number});
        }
        table.Time.push_back(time.value_or(0.0));
        for (size_t c = 0; c < kValueColumns; ++c) table.Columns[c].push_back(values[c]);
        return true;
    });

    std::vector<bool> gone;
    for (const TDeferred& d : deferred) {
        why.clear();
        if (const auto time = times.Slow(d.Time, why)) {
            table.Time[d.Row] = *time;
            continue;
        }
        why.empty() ? skip(d.Line) : unclear(d.Line);
        if (gone.empty()) gone.resize(table.Time.size());
        gone[d.Row] = true;
    }
    if (!gone.empty()) {
        auto drop = [&](auto& v) {
            size_t out = 0;
            for (size_t i = 0; i < v.size(); ++i)
                if (!gone[i]) v[out++] = v[i];
            v.resize(out);
        };
        drop(table.Time);
        for (auto& c : table.Columns) drop(c);
    }

    SortByTime(table);
    if (table.SkippedRows + table.UnclearRows > table.Time.size() / 8) {  // room reserved for rows that were not
        table.Time.shrink_to_fit();
        for (auto& column : table.Columns) column.shrink_to_fit();
    }
    result.Status = !table.Time.empty()     ? TLogReadStatus::Ok
                    : table.UnclearRows > 0 ? TLogReadStatus::Unclear
                                            : TLogReadStatus::NoRows;
    return result;
}

}  // namespace

TLogReadResult ReadLog(std::string_view text, std::span<const TLogTimeFormat> running,
                       std::span<const TLogTimeFormat> others) {
    if (running.empty()) return ReadLog(text);
    TTimeColumn column(running, others, false, TDateOrder::DayMonthYear);
    return ReadLogAs(text, column);
}

TLogReadResult ReadLog(std::string_view text, TDateOrder preferred) {
    const TLogTimeFormat iso;
    TTimeColumn column({&iso, 1}, {}, true, preferred);
    return ReadLogAs(text, column);
}

}  // namespace korvel
