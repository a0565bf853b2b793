// Telnet as network serial servers speak it: the byte stream with its commands, and how data and
// commands are written. A pure state machine over bytes: no sockets, no clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvel::telnet {

// Commands of the stream.
inline constexpr uint8_t SE = 240, NOP = 241, SB = 250, WILL = 251, WONT = 252, DO = 253, DONT = 254, IAC = 255;
// The options this line uses.
inline constexpr uint8_t OptBinary = 0, OptEcho = 1, OptSuppressGoAhead = 3, OptComPort = 44;

// One command found in the stream: an option verb (WILL, WONT, DO, DONT) with its option, a
// sub-negotiation (SB) with its option and unescaped payload, or a one-byte command (NOP, GA...).
struct Command {
    uint8_t verb = NOP;
    uint8_t option = 0;
    std::vector<uint8_t> payload;
    bool operator==(const Command&) const = default;
};

// A sub-negotiation longer than this is dropped whole: nothing this line asks for comes close.
inline constexpr std::size_t kMaxSubnegotiation = 256;

// Splits what a peer sends into data and commands. Bytes may come in any pieces: a command cut
// off at the end of one call is finished by the next.
class Decoder {
public:
    // Appends the data to `data` and the commands, in stream order, to `commands`. `binary`
    // says whether the peer sends in BINARY; outside it a CR is followed by a NUL that is no data.
    void Feed(const uint8_t* bytes, std::size_t size, bool binary, std::vector<uint8_t>& data,
              std::vector<Command>& commands);

private:
    void AfterIac(uint8_t b, std::vector<uint8_t>& data, std::vector<Command>& commands);

    enum class State : uint8_t { Data, Iac, Option, Sub, SubIac };
    State state_ = State::Data;
    bool afterCr_ = false;
    bool subTooLong_ = false;
    Command pending_;
};

// Data as it goes to the peer: IAC doubled, and outside BINARY a NUL after each CR.
void AppendData(std::vector<uint8_t>& out, const uint8_t* data, std::size_t size, bool binary);
void AppendOption(std::vector<uint8_t>& out, uint8_t verb, uint8_t option);
void AppendSubnegotiation(std::vector<uint8_t>& out, uint8_t option, const uint8_t* payload, std::size_t size);

}  // namespace korvel::telnet
