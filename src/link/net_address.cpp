#include "link/net_address.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cctype>

namespace korvel {

namespace {

struct Scheme {
    std::string_view prefix;
    TNetProtocol protocol;
};

constexpr std::array<Scheme, 2> kSchemes{{{"rfc2217://", TNetProtocol::Rfc2217}, {"tcp://", TNetProtocol::RawTcp}}};

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), s.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

const Scheme* SchemeOf(std::string_view name) {
    for (const Scheme& s : kSchemes)
        if (StartsWithNoCase(name, s.prefix)) return &s;
    return nullptr;
}

// Letters, digits, dots, hyphens and underscores: what a host name or an IPv4 address holds.
bool HostNameChars(std::string_view host) {
    return std::all_of(host.begin(), host.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
    });
}

// Hex digits, colons and dots (an IPv4 tail), and a zone after '%'.
bool Ipv6Chars(std::string_view host) {
    const auto zone = host.find('%');
    const std::string_view address = host.substr(0, zone);
    if (address.find(':') == std::string_view::npos) return false;
    if (zone != std::string_view::npos && (zone + 1 == host.size() || !HostNameChars(host.substr(zone + 1))))
        return false;
    return std::all_of(address.begin(), address.end(),
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.'; });
}

std::optional<TNetAddress> Fail(std::string* problem, std::string_view name, const char* what) {
    if (problem) *problem = "Het adres " + std::string(name) + " " + what + " " + NET_ADDRESS_FORM;
    return std::nullopt;
}

}  // namespace

bool IsNetAddress(std::string_view name) { return SchemeOf(name) != nullptr; }

std::optional<TNetAddress> ParseNetAddress(std::string_view name, std::string* problem) {
    const Scheme* scheme = SchemeOf(name);
    if (!scheme) return Fail(problem, name, "is geen netwerkadres.");
    std::string_view rest = name.substr(scheme->prefix.size());
    if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
    TNetAddress address;
    address.Protocol = scheme->protocol;
    std::string_view host, port;
    if (!rest.empty() && rest.front() == '[') {
        const auto close = rest.find(']');
        if (close == std::string_view::npos) return Fail(problem, name, "mist de ] na het IPv6-adres.");
        host = rest.substr(1, close - 1);
        if (!Ipv6Chars(host)) return Fail(problem, name, "heeft geen geldig IPv6-adres tussen de haken.");
        rest.remove_prefix(close + 1);
        if (rest.empty() || rest.front() != ':') return Fail(problem, name, "mist de poort.");
        port = rest.substr(1);
    } else {
        const auto colon = rest.rfind(':');
        if (colon == std::string_view::npos) return Fail(problem, name, "mist de poort.");
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (host.find(':') != std::string_view::npos)
            return Fail(problem, name, "heeft een IPv6-adres zonder haken.");
        if (!HostNameChars(host)) return Fail(problem, name, "heeft een ongeldige naam.");
    }
    if (host.empty()) return Fail(problem, name, "mist de naam van de server.");
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (port.empty() || ec != std::errc() || end != port.data() + port.size() || value == 0 || value > 65535)
        return Fail(problem, name, "heeft geen poortnummer van 1 tot 65535.");
    address.Host = std::string(host);
    address.Port = static_cast<uint16_t>(value);
    return address;
}

std::string NetAddressText(const TNetAddress& address) {
    std::string text = address.Protocol == TNetProtocol::Rfc2217 ? "rfc2217://" : "tcp://";
    if (address.Host.find(':') != std::string::npos)
        text += "[" + address.Host + "]";
    else
        text += address.Host;
    return text + ":" + std::to_string(address.Port);
}

}  // namespace korvel
