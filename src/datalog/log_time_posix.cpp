// The time formats of the C library's LC_TIME from the environment (LC_ALL, LC_TIME, LANG), read
// without touching the process's own locale.
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cstring>

#include "datalog/log_time.h"

namespace korvel {

namespace {

// The locale's texts are in its own code set; the log is UTF-8.
class TToUtf8 {
public:
    explicit TToUtf8(const char* codeset) {
        if (codeset != nullptr && std::strcmp(codeset, "UTF-8") != 0 && std::strcmp(codeset, "ANSI_X3.4-1968") != 0)
            cd_ = iconv_open("UTF-8", codeset);
    }
    ~TToUtf8() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    TToUtf8(const TToUtf8&) = delete;
    TToUtf8& operator=(const TToUtf8&) = delete;

    std::string operator()(const char* text) const {
        std::string in = text != nullptr ? text : "";
        if (cd_ == reinterpret_cast<iconv_t>(-1) || in.empty()) return in;
        std::string out(in.size() * 4, '\0');
        char* src = in.data();
        size_t srcLeft = in.size();
        char* dst = out.data();
        size_t dstLeft = out.size();
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd_, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) return {};
        out.resize(out.size() - dstLeft);
        return out;
    }

private:
    iconv_t cd_ = reinterpret_cast<iconv_t>(-1);
};

// Letters and quotes of the C library's text would be fields in a picture: quoted.
void AddLiteral(std::string& picture, char c) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (c == '\'')
        picture += "''";
    else if (letter)
        picture += std::string("'") + c + "'";
    else
        picture += c;
}

// A strftime format as a picture; conversions without one (week numbers, eras) are left out.
template <typename Text>
std::string PictureOf(const std::string& format, const Text& text, int depth = 0) {
    std::string picture;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            AddLiteral(picture, format[i]);
            continue;
        }
        // Flags, a width and the E/O modifiers change little that a picture can say.
        while (i + 1 < format.size() && std::strchr("_-0^#EO123456789", format[i + 1]) != nullptr) ++i;
        if (++i >= format.size()) break;
        const char c = format[i];
        auto expand = [&](nl_item item) {
            if (depth < 2) picture += PictureOf(text(item), text, depth + 1);
        };
        switch (c) {
            case 'd': picture += "dd"; break;
            case 'e': picture += 'd'; break;
            case 'm': picture += "MM"; break;
            case 'b':
            case 'h': picture += "MMM"; break;
            case 'B': picture += "MMMM"; break;
            case 'a': picture += "ddd"; break;
            case 'A': picture += "dddd"; break;
            case 'y': picture += "yy"; break;
            case 'Y': picture += "yyyy"; break;
            case 'H': picture += "HH"; break;
            case 'k': picture += 'H'; break;
            case 'I': picture += "hh"; break;
            case 'l': picture += 'h'; break;
            case 'M': picture += "mm"; break;
            case 'S': picture += "ss"; break;
            case 'p': picture += "AP"; break;
            case 'P': picture += "ap"; break;
            case 'D': picture += "MM/dd/yy"; break;
            case 'F': picture += "yyyy-MM-dd"; break;
            case 'T': picture += "HH:mm:ss"; break;
            case 'R': picture += "HH:mm"; break;
            case 'r': expand(T_FMT_AMPM); break;
            case 'x': expand(D_FMT); break;
            case 'X': expand(T_FMT); break;
            case 'Z':
            case 'z': picture += 't'; break;
            case 'n':
            case 't': picture += ' '; break;
            case '%': picture += '%'; break;
            default: break;
        }
    }
    return picture;
}

std::string AsciiLower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

}  // namespace

TLogTimeFormat ReadPlatformLogTimeFormat() {
    locale_t locale = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    // A locale the environment names but the system lacks leaves a program in the C locale.
    if (locale == static_cast<locale_t>(nullptr))
        locale = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
    if (locale == static_cast<locale_t>(nullptr)) return {};
    const TToUtf8 utf8(nl_langinfo_l(CODESET, locale));
    auto text = [&](nl_item item) { return utf8(nl_langinfo_l(item, locale)); };

    TLogTimeFormat f;
    f.ShortDate = PictureOf(text(D_FMT), text);
    f.LongTime = PictureOf(text(T_FMT), text);
    f.Meridiem = {text(AM_STR), text(PM_STR)};
    f.MeridiemLower = {AsciiLower(f.Meridiem[0]), AsciiLower(f.Meridiem[1])};
    FillNames(f, std::array<nl_item, 4>{ABMON_1, MON_1, ABDAY_1, DAY_1}, true, text);
    freelocale(locale);
    return f;
}

}  // namespace korvel
