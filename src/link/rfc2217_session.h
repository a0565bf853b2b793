// The client's side of a telnet session with a network serial server (RFC 854/855, BINARY,
// SUPPRESS-GO-AHEAD and the COM port option of RFC 2217): which options are in effect on each
// side, what the server answered to the line settings, its modem lines. Bytes in; data and the
// answers owed to the server out. No sockets, no clock: the network line drives it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/serial_device.h"
#include "link/telnet_codec.h"

namespace korvel {

// The COM port option's commands as the client sends them; the server answers with 100 added.
namespace comport {
inline constexpr uint8_t Signature = 0, SetBaudRate = 1, SetDataSize = 2, SetParity = 3, SetStopSize = 4,
                         SetControl = 5, NotifyModemState = 7, FlowControlSuspend = 8, FlowControlResume = 9,
                         PurgeData = 12;
inline constexpr uint8_t ServerOffset = 100;
// Values of SET-CONTROL for the break and the modem lines.
inline constexpr uint8_t BreakOn = 5, BreakOff = 6, DtrOn = 8, DtrOff = 9, RtsOn = 11, RtsOff = 12;
}  // namespace comport

// The settings of the line in the option's own values (parity 1 none .. 5 space, stop size
// 1 one, 2 two, 3 one and a half, flow control as SET-CONTROL numbers it).
enum TLineItem : uint8_t { liBaudRate, liDataSize, liParity, liStopSize, liFlowOut, liFlowIn, liItemCount };
using TLineValues = std::array<uint32_t, liItemCount>;
using TLineAnswers = std::array<std::optional<uint32_t>, liItemCount>;
TLineValues ComPortLineValues(const LineSettings& settings);

class TRfc2217Session {
public:
    explicit TRfc2217Session(std::string signature = "korvel-service") : signature_(std::move(signature)) {}

    // What opens the session: BINARY and SUPPRESS-GO-AHEAD both ways, the COM port option ours.
    std::vector<uint8_t> Start();
    // Bytes from the server: data to `data`, what the session owes the server to `reply`.
    void Receive(const uint8_t* bytes, std::size_t size, std::vector<uint8_t>& data, std::vector<uint8_t>& reply);

    // Ready: BINARY both ways and the COM port option in effect. Refused: the server declined
    // (or later withdrew) one of them; RefusedOption says which (0xFF: none).
    enum class TState : uint8_t { Negotiating, Ready, Refused };
    TState State() const;
    uint8_t RefusedOption() const;

    // The request for these settings; the answers start over. Data is held back from the start
    // until the answers are in: before them it crossed a line set who knows how.
    std::vector<uint8_t> RequestLine(const TLineValues& line);
    const TLineAnswers& Answers() const { return answers_; }
    // Every setting but the inbound flow control (which not every server answers) has its answer.
    bool LineAnswered() const;
    // The first bytes held back (what a server says before it closes, say); at most 256.
    const std::vector<uint8_t>& HeldData() const { return held_; }

    // Data for the server, escaped as the session's options require.
    void AppendData(std::vector<uint8_t>& out, const uint8_t* data, std::size_t size) const;
    std::vector<uint8_t> Control(uint8_t value) const;  // SET-CONTROL
    // PURGE-DATA. For the input, what arrives until the server's answer was in its buffer before
    // the purge (the stream is in order), so it is dropped until then.
    std::vector<uint8_t> Purge(bool input, bool output);
    bool PurgePending() const { return purgePending_; }
    // A server that does not answer the purge: take data again.
    void ForgetPurge() { purgePending_ = false; }

    std::optional<uint8_t> ModemState() const { return modemState_; }  // as the server last reported it
    bool SendingSuspended() const { return suspended_; }
    const std::string& ServerSignature() const { return serverSignature_; }

private:
    enum class Q : uint8_t { No, Yes, WantYes };
    struct Sides {
        Q us = Q::No;   // we perform the option
        Q him = Q::No;  // the server performs it
    };
    void OnOption(const telnet::Command& c, std::vector<uint8_t>& reply);
    void OnComPort(const std::vector<uint8_t>& payload, std::vector<uint8_t>& reply);
    void Ask(std::vector<uint8_t>& out, bool ours, uint8_t option);

    std::string signature_;
    telnet::Decoder decoder_;
    std::array<Sides, 256> options_{};
    std::vector<telnet::Command> commands_;
    std::vector<uint8_t> scratch_;
    std::vector<uint8_t> held_;
    bool holding_ = true;
    bool requested_ = false;
    TLineAnswers answers_{};
    std::optional<uint8_t> modemState_;
    bool suspended_ = false;
    bool purgePending_ = false;
    bool started_ = false;
    std::string serverSignature_;
};

}  // namespace korvel
