// Log files come from anywhere a user's file manager points: whatever the text, the reader must
// not crash, must give a table whose columns all match its times, sorted, and must read CR LF
// and LF line ends alike.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "charts/log_reader.h"

using namespace korvel;

namespace {

// Locales' own formats, as the window gives them: a 12-hour clock with words of its own, digits of
// its own, month names; and the others they meet.
TLogTimeFormat Format(const char* date, const char* time, char32_t zero) {
    TLogTimeFormat f;
    f.ShortDate = date;
    f.LongTime = time;
    f.Meridiem = {"\xd8\xb5", "\xd9\x85"};
    f.ZeroDigit = zero;
    f.ShortMonths = {"jan", "feb", "mrt", "apr", "mei", "jun", "jul", "aug", "sep", "okt", "nov", "dec"};
    return f;
}
const TLogTimeFormat kFormats[] = {Format("d\u200f/M\u200f/yyyy", "h:mm:ss AP t", U'\u0660'),
                                   Format("dd-MM-yyyy", "HH:mm:ss", U'0'), Format("d MMM yy", "h:mm:ss ap", U'0'),
                                   Format("yy/M/d", "H:mm:ss (t)", U'\u0966')};

bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
    // An empty vector may hold no storage at all, and memcmp must never see a null pointer.
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const TLogReadResult r = ReadLog(text);
    const TLogTable& t = r.Table;
    // In a locale's formats, then others: rows shown or said, never both, and in time order.
    const TLogReadResult local = ReadLog(text, std::span(kFormats).first(2), std::span(kFormats).subspan(1));
    if ((local.Status == TLogReadStatus::Ok) == local.Table.Time.empty()) std::abort();
    if ((local.Table.UnclearRows == 0) != local.Table.Unclear.empty()) std::abort();
    if (!std::is_sorted(local.Table.Time.begin(), local.Table.Time.end())) std::abort();

    if (r.Status != TLogReadStatus::Ok && !t.Time.empty()) std::abort();
    if (r.Status == TLogReadStatus::Ok) {
        if (t.Time.empty() || t.Columns.size() != TDataLog::kColumns - 1) std::abort();
        for (const auto& column : t.Columns)
            if (column.size() != t.Time.size()) std::abort();
        if (!std::is_sorted(t.Time.begin(), t.Time.end())) std::abort();
        for (double time : t.Time)
            if (!std::isfinite(time)) std::abort();
        if ((t.SkippedRows == 0) != (t.FirstSkippedLine == 0)) std::abort();
    }

    // LF alone reads as CR LF.
    std::string crlf;
    crlf.reserve(size + size / 8);
    for (size_t i = 0; i < size; ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) crlf += '\r';
        crlf += text[i];
    }
    const TLogReadResult again = ReadLog(crlf);
    if (again.Status != r.Status || again.Table.Time != t.Time || again.Table.SkippedRows != t.SkippedRows ||
        again.Table.FirstSkippedLine != t.FirstSkippedLine || again.Table.Columns.size() != t.Columns.size())
        std::abort();
    for (size_t c = 0; c < t.Columns.size(); ++c)
        if (!SameBits(again.Table.Columns[c], t.Columns[c])) std::abort();
    return 0;
}
