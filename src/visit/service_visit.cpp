#include "visit/service_visit.h"

#include <algorithm>

#include "messages/realtime_report.h"
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
