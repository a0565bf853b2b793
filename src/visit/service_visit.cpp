#include "visit/service_visit.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "messages/realtime_report.h"
#include "host/text_format.h"
#include "host/utf8.h"

namespace korvel {

namespace {

bool Blank(char c) { return c == ' ' || c == '\t'; }

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && Blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && Blank(s.back())) s.remove_suffix(1);
    return s;
}

}  // namespace

std::string InstallationName(std::string_view typed) {
    std::string name;
    for (size_t i = 0; i < typed.size();) {
        const char32_t c = NextCodePoint(typed, i);
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) {
            name += ' ';  // a tab or a line break still parts two words
            continue;
        }
        AppendUtf8(name, c);
    }
    return std::string(Trim(name));
}

bool SameInstallation(std::string_view a, std::string_view b) {
    a = Trim(a);
    b = Trim(b);
    if (a.empty() || b.empty()) return true;
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

std::string FileNamePart(std::string_view name) {
    constexpr size_t kMaxBytes = 60;
    constexpr std::string_view kRefused = "<>:\"/\\|?*";
    std::string part;
    const std::string kept = InstallationName(name);
    for (size_t i = 0; i < kept.size();) {
        const size_t at = i;
        const char32_t c = NextCodePoint(kept, i);
        std::string piece;
        if (c < 0x80 && (Blank(static_cast<char>(c)) || kRefused.find(static_cast<char>(c)) != std::string_view::npos))
            piece = "_";
        else
            piece.assign(kept, at, i - at);
        if (part.size() + piece.size() > kMaxBytes) break;
        part += piece;
    }
    // Windows drops dots at the end of a name: the file would not be where it was proposed.
    while (!part.empty() && (part.back() == '.' || part.back() == '_')) part.pop_back();
    return part;
}

std::string VisitTitle(const TVisitStamp& stamp) {
    std::string title;
    const auto add = [&title](const char* label, const std::string& value) {
        if (value.empty()) return;
        if (!title.empty()) title += " \u00B7 ";
        title += label;
        title += ": ";
        title += value;
    };
    add("Installatie", stamp.Installation);
    add("Poort", stamp.Port);
    add("Firmware", stamp.Firmware);
    return title;
}

std::string OtherInstallationText(const TVisitStamp& made, const TVisitStamp& now) {
    if (SameInstallation(made.Installation, now.Installation)) return {};
    return FormatText(MSG_OTHER_INSTALLATION, {made.Installation, now.Installation});
}

std::string OtherFirmwareText(const TVisitStamp& made, const TVisitStamp& now) {
    if (made.Firmware.empty() || now.Firmware.empty() || made.Firmware == now.Firmware) return {};
    return FormatText(MSG_OTHER_FIRMWARE, {made.Firmware, now.Firmware});
}

namespace {

struct TWall {
    int Year, Month, Day, Hour, Minute, Second;
};

TWall WallOf(double seconds) {
    using namespace std::chrono;
    const auto whole = static_cast<int64_t>(std::floor(std::isfinite(seconds) ? seconds : 0));
    const sys_days day = floor<days>(sys_seconds(std::chrono::seconds(whole)));
    const year_month_day ymd(day);
    const int64_t inDay = whole - duration_cast<std::chrono::seconds>(day.time_since_epoch()).count();
    return {static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
            static_cast<int>(static_cast<unsigned>(ymd.day())), static_cast<int>(inDay / 3600),
            static_cast<int>(inDay / 60 % 60), static_cast<int>(inDay % 60)};
}

}  // namespace

std::string VisitTimeText(double seconds, bool withDate) {
    const TWall w = WallOf(seconds);
    char text[32];
    if (withDate)
        std::snprintf(text, sizeof text, "%02d-%02d-%04d %02d:%02d:%02d", w.Day, w.Month, w.Year, w.Hour, w.Minute,
                      w.Second);
    else
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", w.Hour, w.Minute, w.Second);
    return text;
}

std::string ServiceReportFileName(std::string_view installation, double seconds) {
    const TWall w = WallOf(seconds);
    char date[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", w.Year, w.Month, w.Day);
    std::string name = "servicerapport-";
    const std::string part = FileNamePart(installation);
    if (!part.empty()) {
        name += part;
        name += '-';
    }
    name += date;
    name += ".pdf";
    return name;
}

std::vector<TFaultLine> FaultLines(const TFaultHistory& history) {
    std::vector<TFaultLine> lines;
    lines.reserve(history.Events().size());
    for (const TFaultEvent& e : history.Events())
        lines.push_back({VisitTimeText(e.Time), e.AtStart ? "al aanwezig" : e.Appeared ? "verschenen" : "verdwenen",
                         FaultName(e)});
    return lines;
}

void TServiceVisit::SetInstallation(std::string_view typed) { FInstallation = InstallationName(typed); }

void TServiceVisit::SetPort(std::string_view port) { FPort = std::string(Trim(port)); }

bool TServiceVisit::RealtimeReport(double time, const uint8_t* block, size_t size) {
    const std::vector<TReportValue> values = DecodeRealtimeReport(block, size);
    if (values.empty()) return false;
    FLastReport.assign(block, block + REALTIME_REPORT_SIZE);
    FLastReportTime = time;
    for (const TReportValue& v : values)
        if (v.Target == "onfFirmLo") FFirmware = static_cast<int>(v.Number);
    FFaults.Add(time, FaultStateOf(values));
    return true;
}

void TServiceVisit::ParameterReport(double time, const TNvmWords& words) {
    if (!FFirst) {
        FFirst = words;
        FFirstTime = time;
    }
    FLast = words;
    FLastTime = time;
}

std::vector<TSettingsDifference> TServiceVisit::Changes(char decimalSeparator) const {
    if (!FFirst || !FLast) return {};
    return CompareSettings(*FFirst, *FLast, false, decimalSeparator);
}

TVisitStamp TServiceVisit::Stamp() const {
    return {FInstallation, FPort, FFirmware ? std::to_string(*FFirmware) : std::string()};
}

}  // namespace korvel
