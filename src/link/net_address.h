// Addresses of a board behind a network serial server, as port names: "rfc2217://HOST:PORT"
// (telnet with the COM port option: the tool sets the line) and "tcp://HOST:PORT" (raw bytes: the
// server has set it). HOST is a name, an IPv4 address or an IPv6 address in brackets. Pure
// functions, shared by the window and the command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvel {

enum class TNetProtocol : uint8_t { Rfc2217, RawTcp };

struct TNetAddress {
    TNetProtocol Protocol = TNetProtocol::Rfc2217;
    std::string Host;  // without brackets
    uint16_t Port = 0;
    bool operator==(const TNetAddress&) const = default;
};

// True for a name written as an address ("rfc2217://" or "tcp://", any letter case), well-formed
// or not: such a name is never a device path.
bool IsNetAddress(std::string_view name);

// The address, or nothing when it is malformed; `problem` then says what is wrong, in Dutch.
std::optional<TNetAddress> ParseNetAddress(std::string_view name, std::string* problem = nullptr);

// The address written as the tool shows it: scheme in lower case, IPv6 hosts in brackets.
std::string NetAddressText(const TNetAddress& address);

// How a malformed address is to be written, said after what is wrong with it.
inline constexpr const char* NET_ADDRESS_FORM =
    "Schrijf rfc2217://NAAM:POORT of tcp://NAAM:POORT, een IPv6-adres tussen haken: rfc2217://[::1]:7000.";

}  // namespace korvel
