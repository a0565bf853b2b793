// The time formats the user chose in Windows' regional settings: the same the window's toolkit
// reads there, in the same picture syntax but for the AM/PM marker.
#include <windows.h>

#include "datalog/log_time.h"

namespace korvel {

namespace {

std::string Info(LCTYPE type) {
    wchar_t wide[128] = {};
    const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, wide, 128);
    if (n <= 1) return {};
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, n - 1, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, n - 1, text.data(), bytes, nullptr, nullptr);
    return text;
}

// Windows writes the marker as "tt" (or "t", its first letter) and knows eras ("g"); the rest
// reads the same. Quoted text passes unchanged.
std::string PictureOf(const std::string& windows) {
    std::string picture;
    bool quoted = false;
    for (size_t i = 0; i < windows.size(); ++i) {
        const char c = windows[i];
        if (c == '\'') quoted = !quoted;
        if (quoted || c == '\'') {
            picture += c;
            continue;
        }
        if (c == 't') {
            while (i + 1 < windows.size() && windows[i + 1] == 't') ++i;
            picture += "AP";
        } else if (c != 'g') {
            picture += c;
        }
    }
    return picture;
}

}  // namespace

TLogTimeFormat ReadPlatformLogTimeFormat() {
    TLogTimeFormat f;
    const std::string date = Info(LOCALE_SSHORTDATE);
    const std::string time = Info(LOCALE_STIMEFORMAT);  // the long time
    if (date.empty() || time.empty()) return f;
    f.ShortDate = PictureOf(date);
    f.LongTime = PictureOf(time);
    f.Meridiem = {Info(LOCALE_S1159), Info(LOCALE_S2359)};
    f.MeridiemLower = f.Meridiem;
    FillNames(f,
              std::array<LCTYPE, 4>{LOCALE_SABBREVMONTHNAME1, LOCALE_SMONTHNAME1, LOCALE_SABBREVDAYNAME1,
                                    LOCALE_SDAYNAME1},
              false, Info);
    return f;
}

}  // namespace korvel
