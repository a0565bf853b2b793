#include "link/port_names.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "host/text_format.h"

namespace korvel {

namespace {

struct FixedBlock {
    std::string_view prefix;  // device path without its number
    int first;                // port number of device 0
    int count;
};

constexpr std::array<FixedBlock, 3> kFixedBlocks{{
    {"/dev/ttyS", 1, 32},
    {"/dev/ttyUSB", 33, 64},
    {"/dev/ttyACM", 97, 64},
}};

// Decimal digits only, no sign, no leading zero (so "COM05" stays a custom name).
bool ParseIndex(std::string_view digits, int& value) {
    if (digits.empty() || digits.size() > 4 || (digits.size() > 1 && digits[0] == '0')) return false;
    for (char c : digits)
        if (c < '0' || c > '9') return false;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return true;
}

}  // namespace

std::string TrimSpaces(std::string_view s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(' ');
    return std::string(s.substr(first, last - first + 1));
}

int PortNumberFromName(std::string_view name) {
    int n = 0;
    if (name.size() < 4 || name.substr(0, 3) != "COM" || !ParseIndex(name.substr(3), n)) return 0;
    return (n >= 1 && n <= 254) ? n : 0;
}

std::string PortNameFromNumber(int number) {
    return (number >= 1 && number <= 254) ? "COM" + std::to_string(number) : std::string();
}

int FixedPortNumber(std::string_view devicePath) {
    for (const FixedBlock& b : kFixedBlocks) {
        if (devicePath.size() <= b.prefix.size() || devicePath.substr(0, b.prefix.size()) != b.prefix)
            continue;
        int k = 0;
        if (ParseIndex(devicePath.substr(b.prefix.size()), k) && k < b.count) return b.first + k;
    }
    return 0;
}

std::string FixedDevicePath(int number) {
    for (const FixedBlock& b : kFixedBlocks)
        if (number >= b.first && number < b.first + b.count)
            return std::string(b.prefix) + std::to_string(number - b.first);
    return {};
}

std::vector<SerialPortMapping> MapSerialDevices(std::vector<std::string> devicePaths) {
    std::sort(devicePaths.begin(), devicePaths.end());
    devicePaths.erase(std::unique(devicePaths.begin(), devicePaths.end()), devicePaths.end());

    std::vector<SerialPortMapping> out;
    std::array<bool, 256> used{};
    std::vector<const std::string*> others;
    for (const std::string& path : devicePaths) {
        const int n = FixedPortNumber(path);
        if (n == 0) {
            others.push_back(&path);
            continue;
        }
        used[n] = true;
        out.push_back({n, PortNameFromNumber(n), path});
    }
    // Free numbers start after the fixed blocks, so a plugged adapter never shifts another name.
    int next = kFixedBlocks.back().first + kFixedBlocks.back().count;
    for (const std::string* path : others) {
        while (next <= 254 && used[next]) ++next;
        if (next > 254) break;
        used[next] = true;
        out.push_back({next, PortNameFromNumber(next), *path});
    }
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.number < b.number; });
    return out;
}

std::string ResolveDevicePath(std::string_view portName, const std::vector<std::string>& presentDevices) {
    const int n = PortNumberFromName(portName);
    if (n == 0) return std::string(portName);
    if (std::string fixed = FixedDevicePath(n); !fixed.empty()) return fixed;
    for (const SerialPortMapping& m : MapSerialDevices(presentDevices))
        if (m.number == n) return m.devicePath;
    return {};
}

namespace {

// Said after the system's text when a port cannot be opened: what the user can do about it.
// The placeholders are the device as the user knows it and how the user chooses another.
constexpr const char* kAdviceAbsent = "%s is er niet: sluit de USB-adapter aan of kies %s een poort die er wel is.";
constexpr const char* kAdviceNoAccess =
    "U heeft geen toegang tot %s: laat uw gebruiker toevoegen aan de groep dialout "
    "(sudo usermod -aG dialout $USER), meld u af en weer aan en probeer het opnieuw.";
constexpr const char* kAdviceBusy = "%s is in gebruik door een ander programma: sluit dat programma en probeer het opnieuw.";
constexpr const char* kAdviceNotSerial = "%s is geen seriële poort: kies %s de poort van de USB-adapter.";
constexpr const char* kAdviceOther = "Controleer de aansluiting op %s en probeer het opnieuw.";

}  // namespace

std::string OpenFailureAdvice(TOpenFailure kind, const std::string& device, const std::string& howToChoose) {
    const char* advice = kAdviceOther;
    switch (kind) {
        case TOpenFailure::Absent: advice = kAdviceAbsent; break;
        case TOpenFailure::NoAccess: advice = kAdviceNoAccess; break;
        case TOpenFailure::Busy: advice = kAdviceBusy; break;
        case TOpenFailure::NotSerial: advice = kAdviceNotSerial; break;
        case TOpenFailure::Other: case TOpenFailure::Cancelled: break;
    }
    return FormatText(advice, {device, howToChoose});
}

}  // namespace korvel
