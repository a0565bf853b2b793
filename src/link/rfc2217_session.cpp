#include "link/rfc2217_session.h"

#include <algorithm>

namespace korvel {

using namespace telnet;

namespace {

// Options we perform when asked, and options we let the server perform. Everything else is
// declined, as RFC 855 asks of an option one does not know.
constexpr std::array<uint8_t, 3> kOurs{OptBinary, OptSuppressGoAhead, OptComPort};
constexpr std::array<uint8_t, 2> kHis{OptBinary, OptSuppressGoAhead};

template <std::size_t N>
bool Listed(const std::array<uint8_t, N>& list, uint8_t option) {
    return std::find(list.begin(), list.end(), option) != list.end();
}

// SET-CONTROL values: which setting an answer is about.
struct ControlValue {
    uint8_t value;
    TLineItem item;
};
constexpr std::array<ControlValue, 9> kFlowControls{{{1, liFlowOut}, {2, liFlowOut}, {3, liFlowOut},
                                                      {17, liFlowOut}, {19, liFlowOut}, {14, liFlowIn},
                                                      {15, liFlowIn}, {16, liFlowIn}, {18, liFlowIn}}};

// The command each setting is sent with, and how many bytes its value takes.
struct ItemCommand {
    uint8_t command;
    uint8_t width;
};
constexpr std::array<ItemCommand, liItemCount> kItemCommands{{{comport::SetBaudRate, 4},
                                                               {comport::SetDataSize, 1},
                                                               {comport::SetParity, 1},
                                                               {comport::SetStopSize, 1},
                                                               {comport::SetControl, 1},
                                                               {comport::SetControl, 1}}};

std::vector<uint8_t> ComPortSub(std::initializer_list<uint8_t> payload) {
    std::vector<uint8_t> out;
    const std::vector<uint8_t> bytes(payload);
    AppendSubnegotiation(out, OptComPort, bytes.data(), bytes.size());
    return out;
}

}  // namespace

TLineValues ComPortLineValues(const LineSettings& s) {
    TLineValues v{};
    v[liBaudRate] = static_cast<uint32_t>(std::max<int32_t>(s.BaudRate, 0));
    v[liDataSize] = s.DataWidth;
    v[liParity] = s.Parity + 1u;
    v[liStopSize] = s.StopBits == 0 ? 1u : s.StopBits == 1 ? 3u : 2u;
    if (s.HwFlowControl == hfRTSCTS) {
        v[liFlowOut] = 3;
        v[liFlowIn] = 16;
    } else if (s.HwFlowControl == hfDTRDSR) {
        v[liFlowOut] = 19;
        v[liFlowIn] = 18;
    } else if (s.SwFlowControl == sfXONXOFF) {
        v[liFlowOut] = 2;
        v[liFlowIn] = 15;
    } else {
        v[liFlowOut] = 1;
        v[liFlowIn] = 14;
    }
    return v;
}

void TRfc2217Session::Ask(std::vector<uint8_t>& out, bool ours, uint8_t option) {
    Q& q = ours ? options_[option].us : options_[option].him;
    if (q != Q::No) return;
    q = Q::WantYes;
    AppendOption(out, ours ? WILL : DO, option);
}

std::vector<uint8_t> TRfc2217Session::Start() {
    started_ = true;
    std::vector<uint8_t> out;
    for (const uint8_t option : {OptBinary, OptSuppressGoAhead}) {
        Ask(out, true, option);
        Ask(out, false, option);
    }
    Ask(out, true, OptComPort);
    return out;
}

void TRfc2217Session::Receive(const uint8_t* bytes, std::size_t size, std::vector<uint8_t>& data,
                              std::vector<uint8_t>& reply) {
    // A byte at a time: an option switched on changes how the bytes right after it read. The
    // line carries at most a few hundred bytes a second.
    for (std::size_t i = 0; i < size; ++i) {
        scratch_.clear();
        decoder_.Feed(bytes + i, 1, options_[OptBinary].him == Q::Yes, scratch_, commands_);
        if (!holding_) {
            if (!purgePending_) data.insert(data.end(), scratch_.begin(), scratch_.end());
        } else if (held_.size() < 256) {
            held_.insert(held_.end(), scratch_.begin(), scratch_.end());
        }
        for (const Command& c : commands_) {
            if (c.verb == SB) {
                if (c.option == OptComPort) OnComPort(c.payload, reply);
            } else if (c.verb >= WILL && c.verb <= DONT) {
                OnOption(c, reply);
            }
        }
        if (!commands_.empty() && holding_ && requested_ && LineAnswered()) holding_ = false;
        commands_.clear();
    }
}

void TRfc2217Session::OnOption(const Command& c, std::vector<uint8_t>& reply) {
    const bool aboutUs = c.verb == DO || c.verb == DONT;
    const bool enable = c.verb == DO || c.verb == WILL;
    Q& q = aboutUs ? options_[c.option].us : options_[c.option].him;
    const bool allowed = aboutUs ? Listed(kOurs, c.option) : Listed(kHis, c.option);
    // Answer a change only, never what is already in effect, so two peers cannot loop.
    if (enable) {
        if (q == Q::WantYes) {
            q = Q::Yes;
        } else if (q == Q::No) {
            q = allowed ? Q::Yes : Q::No;
            AppendOption(reply, aboutUs ? (allowed ? WILL : WONT) : (allowed ? DO : DONT), c.option);
        }
    } else if (q != Q::No) {
        // Refused or withdrawn; a withdrawal is confirmed.
        if (q == Q::Yes) AppendOption(reply, aboutUs ? WONT : DONT, c.option);
        q = Q::No;
    }
}

void TRfc2217Session::OnComPort(const std::vector<uint8_t>& payload, std::vector<uint8_t>& reply) {
    if (payload.empty() || payload[0] < comport::ServerOffset) return;
    const uint8_t command = static_cast<uint8_t>(payload[0] - comport::ServerOffset);
    const std::size_t n = payload.size() - 1;
    const uint8_t* value = payload.data() + 1;
    switch (command) {
        case comport::Signature:
            if (n == 0) {
                std::vector<uint8_t> sig{comport::Signature};
                sig.insert(sig.end(), signature_.begin(), signature_.end());
                AppendSubnegotiation(reply, OptComPort, sig.data(), sig.size());
            } else {
                serverSignature_.assign(value, value + n);
            }
            return;
        case comport::SetBaudRate:
            if (n == 4)
                answers_[liBaudRate] = (uint32_t{value[0]} << 24) | (uint32_t{value[1]} << 16) |
                                       (uint32_t{value[2]} << 8) | value[3];
            return;
        case comport::SetDataSize:
        case comport::SetParity:
        case comport::SetStopSize:
            if (n == 1) answers_[liDataSize + (command - comport::SetDataSize)] = value[0];
            return;
        case comport::SetControl:
            if (n != 1) return;
            for (const ControlValue& c : kFlowControls)
                if (c.value == value[0]) answers_[c.item] = value[0];
            return;
        case comport::NotifyModemState:
            if (n == 1) modemState_ = value[0];
            return;
        case comport::FlowControlSuspend:
            suspended_ = true;
            return;
        case comport::FlowControlResume:
            suspended_ = false;
            return;
        case comport::PurgeData:
            purgePending_ = false;
            return;
        default:
            return;  // line state, masks: acknowledgements only
    }
}

TRfc2217Session::TState TRfc2217Session::State() const {
    if (!started_) return TState::Negotiating;
    if (RefusedOption() != 0xFF) return TState::Refused;
    const bool ready = options_[OptBinary].us == Q::Yes && options_[OptBinary].him == Q::Yes &&
                       options_[OptComPort].us == Q::Yes;
    return ready ? TState::Ready : TState::Negotiating;
}

uint8_t TRfc2217Session::RefusedOption() const {
    // Asked for at the start, so only a refusal or a withdrawal turns them off again.
    if (!started_) return 0xFF;
    if (options_[OptBinary].us == Q::No || options_[OptBinary].him == Q::No) return OptBinary;
    if (options_[OptComPort].us == Q::No) return OptComPort;
    return 0xFF;
}

std::vector<uint8_t> TRfc2217Session::RequestLine(const TLineValues& line) {
    answers_ = {};
    holding_ = requested_ = true;
    std::vector<uint8_t> out;
    for (std::size_t i = 0; i < liItemCount; ++i) {
        uint8_t payload[5] = {kItemCommands[i].command};
        for (uint8_t b = 0; b < kItemCommands[i].width; ++b)
            payload[1 + b] = static_cast<uint8_t>(line[i] >> (8 * (kItemCommands[i].width - 1 - b)));
        AppendSubnegotiation(out, OptComPort, payload, 1u + kItemCommands[i].width);
    }
    return out;
}

bool TRfc2217Session::LineAnswered() const {
    return std::all_of(answers_.begin(), answers_.begin() + liFlowIn, [](const auto& a) { return a.has_value(); });
}

void TRfc2217Session::AppendData(std::vector<uint8_t>& out, const uint8_t* data, std::size_t size) const {
    telnet::AppendData(out, data, size, options_[OptBinary].us == Q::Yes);
}

std::vector<uint8_t> TRfc2217Session::Control(uint8_t value) const { return ComPortSub({comport::SetControl, value}); }

std::vector<uint8_t> TRfc2217Session::Purge(bool input, bool output) {
    // The server's receive buffer holds what the board sent: our input.
    if (input) purgePending_ = true;
    return ComPortSub({comport::PurgeData, static_cast<uint8_t>((input ? 1 : 0) | (output ? 2 : 0))});
}

}  // namespace korvel
