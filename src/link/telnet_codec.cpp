#include "link/telnet_codec.h"

namespace korvel::telnet {

namespace {
constexpr uint8_t CR = 13, NUL = 0;
bool IsOptionVerb(uint8_t b) { return b >= WILL && b <= DONT; }
}  // namespace

void Decoder::AfterIac(uint8_t b, std::vector<uint8_t>& data, std::vector<Command>& commands) {
    state_ = State::Data;
    if (b == IAC) {
        afterCr_ = false;
        data.push_back(IAC);
    } else if (IsOptionVerb(b) || b == SB) {
        pending_ = Command{b, 0, {}};
        state_ = State::Option;
    } else {
        commands.push_back(Command{b, 0, {}});
    }
}

void Decoder::Feed(const uint8_t* bytes, std::size_t size, bool binary, std::vector<uint8_t>& data,
                   std::vector<Command>& commands) {
    for (std::size_t i = 0; i < size; ++i) {
        const uint8_t b = bytes[i];
        switch (state_) {
            case State::Data:
                if (b == IAC) {
                    state_ = State::Iac;
                    break;
                }
                if (!binary && afterCr_ && b == NUL) {
                    afterCr_ = false;
                    break;
                }
                afterCr_ = b == CR;
                data.push_back(b);
                break;
            case State::Iac:
                AfterIac(b, data, commands);
                break;
            case State::Option:
                pending_.option = b;
                if (pending_.verb == SB) {
                    subTooLong_ = false;
                    state_ = State::Sub;
                } else {
                    commands.push_back(std::move(pending_));
                    state_ = State::Data;
                }
                break;
            case State::Sub:
                if (b == IAC) {
                    state_ = State::SubIac;
                } else if (pending_.payload.size() < kMaxSubnegotiation) {
                    pending_.payload.push_back(b);
                } else {
                    subTooLong_ = true;
                }
                break;
            case State::SubIac:
                if (b == SE) {
                    if (!subTooLong_) commands.push_back(std::move(pending_));
                    pending_ = Command{};
                    state_ = State::Data;
                } else if (b == IAC) {
                    if (pending_.payload.size() < kMaxSubnegotiation)
                        pending_.payload.push_back(IAC);
                    else
                        subTooLong_ = true;
                    state_ = State::Sub;
                } else {
                    // A command inside a sub-negotiation ends it unfinished: the peer has moved on.
                    AfterIac(b, data, commands);
                }
                break;
        }
    }
}

void AppendData(std::vector<uint8_t>& out, const uint8_t* data, std::size_t size, bool binary) {
    out.reserve(out.size() + size + size / 16 + 4);
    for (std::size_t i = 0; i < size; ++i) {
        out.push_back(data[i]);
        if (data[i] == IAC) out.push_back(IAC);
        else if (!binary && data[i] == CR) out.push_back(NUL);
    }
}

void AppendOption(std::vector<uint8_t>& out, uint8_t verb, uint8_t option) { out.insert(out.end(), {IAC, verb, option}); }

void AppendSubnegotiation(std::vector<uint8_t>& out, uint8_t option, const uint8_t* payload, std::size_t size) {
    out.insert(out.end(), {IAC, SB, option});
    for (std::size_t i = 0; i < size; ++i) {
        out.push_back(payload[i]);
        if (payload[i] == IAC) out.push_back(IAC);
    }
    out.insert(out.end(), {IAC, SE});
}

}  // namespace korvel::telnet
