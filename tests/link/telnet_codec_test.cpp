// The telnet codec, the RFC 2217 session and the network addresses: bytes in, bytes out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/net_address.h"
#include "link/rfc2217_session.h"
#include "link/telnet_codec.h"

namespace korvel {
namespace {

using namespace telnet;
using Bytes = std::vector<uint8_t>;

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
Bytes Sub(Bytes payload) { return Cat({{IAC, SB, OptComPort}, payload, {IAC, SE}}); }

// Whatever the pieces the stream comes in, the same data and the same commands come out.
TEST(TelnetCodec, DecodesTheSameWhereverTheStreamIsCut) {
    struct Row {
        const char* what;
        bool binary;
        Bytes stream;
        Bytes data;
        std::vector<Command> commands;
    };
    const Row rows[] = {
        {"doubled IAC is a data byte", true, {1, IAC, IAC, 2, IAC, IAC}, {1, IAC, 2, IAC}, {}},
        {"option verbs and a one-byte command", true, {IAC, WILL, 3, 7, IAC, DONT, 1, IAC, NOP, 8}, {7, 8},
         {{WILL, 3, {}}, {DONT, 1, {}}, {NOP, 0, {}}}},
        {"sub-negotiation with a doubled IAC inside", true, Cat({{9}, Sub({101, 0, 0, IAC, IAC, 5}), {10}}), {9, 10},
         {{SB, OptComPort, {101, 0, 0, IAC, 5}}}},
        {"a command inside a sub-negotiation ends it unfinished", true, {IAC, SB, 44, 107, IAC, WILL, 0, 4}, {4},
         {{WILL, 0, {}}}},
        {"outside BINARY a NUL after CR is no data", false, {13, 0, 13, 10, 0, 13, 13, 0}, {13, 13, 10, 0, 13, 13}, {}},
        {"in BINARY it is", true, {13, 0}, {13, 0}, {}},
    };
    for (const Row& r : rows) {
        for (std::size_t cut = 0; cut <= r.stream.size(); ++cut) {
            Decoder dec;
            Bytes data;
            std::vector<Command> commands;
            dec.Feed(r.stream.data(), cut, r.binary, data, commands);
            dec.Feed(r.stream.data() + cut, r.stream.size() - cut, r.binary, data, commands);
            EXPECT_EQ(data, r.data) << r.what << ", cut at " << cut;
            EXPECT_EQ(commands, r.commands) << r.what << ", cut at " << cut;
        }
    }
}

TEST(TelnetCodec, EscapesDataAndSubNegotiations) {
    Bytes out;
    const Bytes data{0x10, IAC, 13, 0x03};
    AppendData(out, data.data(), data.size(), true);
    EXPECT_EQ(out, (Bytes{0x10, IAC, IAC, 13, 0x03}));
    out.clear();
    AppendData(out, data.data(), data.size(), false);
    EXPECT_EQ(out, (Bytes{0x10, IAC, IAC, 13, 0, 0x03}));
    out.clear();
    const Bytes baud{1, 0, 0, IAC, 0};
    AppendSubnegotiation(out, OptComPort, baud.data(), baud.size());
    EXPECT_EQ(out, Sub({1, 0, 0, IAC, IAC, 0}));
}

// ser2net opens with these, in this order, before it has read a byte from the tool.
const Bytes kSer2netOpening{IAC, WILL, 3, IAC, DO, 3, IAC, WILL, 1, IAC, DONT, 1, IAC, DO, 0, IAC, WILL, 0, IAC, DO, 44};

TEST(Rfc2217Session, AnswersEveryOptionOnceAndRefusesWhatItDoesNotKnow) {
    struct Row {
        const char* what;
        Bytes server;
        Bytes reply;
        TRfc2217Session::TState state;
        uint8_t refused = 0xFF;
    };
    const Row rows[] = {
        {"ser2net's opening: only its echo is declined", kSer2netOpening, {IAC, DONT, 1},
         TRfc2217Session::TState::Ready},
        {"unknown options both ways are refused", Cat({kSer2netOpening, {IAC, DO, 24, IAC, WILL, 5}}),
         {IAC, DONT, 1, IAC, WONT, 24, IAC, DONT, 5}, TRfc2217Session::TState::Ready},
        {"what is in effect already is not answered again; a refusal is repeated", Cat({kSer2netOpening, kSer2netOpening}),
         {IAC, DONT, 1, IAC, DONT, 1}, TRfc2217Session::TState::Ready},
        {"a server without binary", {IAC, WONT, 0, IAC, DO, 0, IAC, DO, 44}, {}, TRfc2217Session::TState::Refused,
         OptBinary},
        {"a server without the COM port option", {IAC, WILL, 0, IAC, DO, 0, IAC, DONT, 44}, {},
         TRfc2217Session::TState::Refused, OptComPort},
        {"binary withdrawn later is confirmed and refuses the session", Cat({kSer2netOpening, {IAC, DONT, 0}}),
         {IAC, DONT, 1, IAC, WONT, 0}, TRfc2217Session::TState::Refused, OptBinary},
        {"nothing yet", {}, {}, TRfc2217Session::TState::Negotiating},
    };
    for (const Row& r : rows) {
        TRfc2217Session s;
        EXPECT_EQ(s.Start(), (Bytes{IAC, WILL, 0, IAC, DO, 0, IAC, WILL, 3, IAC, DO, 3, IAC, WILL, 44})) << r.what;
        Bytes data, reply;
        s.Receive(r.server.data(), r.server.size(), data, reply);
        EXPECT_EQ(reply, r.reply) << r.what;
        EXPECT_EQ(s.State(), r.state) << r.what;
        EXPECT_EQ(s.RefusedOption(), r.refused) << r.what;
    }
}

TEST(Rfc2217Session, LineSettingsTheirAnswersAndTheDataAround) {
    TRfc2217Session s;
    s.Start();
    Bytes data, reply;
    const Bytes before{'P', 'o', 'r', 't', 13, 10};
    s.Receive(kSer2netOpening.data(), kSer2netOpening.size(), data, reply);
    s.Receive(before.data(), before.size(), data, reply);
    EXPECT_TRUE(data.empty());  // held back: it crossed a line nobody had set yet
    EXPECT_EQ(s.HeldData(), before);

    LineSettings settings;
    settings.BaudRate = 9600;
    settings.StopBits = 2;
    EXPECT_EQ(s.RequestLine(ComPortLineValues(settings)),
              Cat({Sub({1, 0, 0, 0x25, 0x80}), Sub({2, 8}), Sub({3, 1}), Sub({4, 2}), Sub({5, 1}), Sub({5, 14})}));
    // The answers as ser2net gives them, a frame of the board's between them and after them.
    const Bytes answers = Cat({Sub({101, 0, 0, 0x25, 0x80}), Sub({102, 8}), {0xAA}, Sub({103, 1}), Sub({104, 2}),
                               Sub({107, 0x30}), Sub({105, 1}), {IAC, IAC, 0x10}, Sub({105, 14})});
    s.Receive(answers.data(), answers.size(), data, reply);
    EXPECT_TRUE(s.LineAnswered());
    EXPECT_EQ(data, (Bytes{IAC, 0x10}));
    EXPECT_EQ(s.Answers()[liFlowIn], 14u);
    EXPECT_EQ(s.ModemState(), 0x30);

    // The server asks who we are; modem lines and purges go out as sub-negotiations.
    const Bytes ask = Sub({100});
    reply.clear();
    s.Receive(ask.data(), ask.size(), data, reply);
    EXPECT_EQ(reply, Sub({0, 'k', 'o', 'r', 'v', 'e', 'l', '-', 's', 'e', 'r', 'v', 'i', 'c', 'e'}));
    EXPECT_EQ(s.Control(comport::DtrOn), Sub({5, 8}));
    EXPECT_EQ(s.Purge(true, false), Sub({12, 1}));
    EXPECT_EQ(s.Purge(true, true), Sub({12, 3}));
}

TEST(NetAddress, ParsesWhatAnEngineerTypes) {
    struct Row {
        const char* text;
        bool valid;
        TNetProtocol protocol = TNetProtocol::Rfc2217;
        const char* host = "";
        uint16_t port = 0;
        const char* shown = "";
    };
    const Row rows[] = {
        {"rfc2217://board.example.com:7000", true, TNetProtocol::Rfc2217, "board.example.com", 7000,
         "rfc2217://board.example.com:7000"},
        {"TCP://192.168.1.20:4001/", true, TNetProtocol::RawTcp, "192.168.1.20", 4001, "tcp://192.168.1.20:4001"},
        {"rfc2217://[::1]:7000", true, TNetProtocol::Rfc2217, "::1", 7000, "rfc2217://[::1]:7000"},
        {"rfc2217://[fe80::1%eth0]:65535", true, TNetProtocol::Rfc2217, "fe80::1%eth0", 65535,
         "rfc2217://[fe80::1%eth0]:65535"},
        {"rfc2217://host", false}, {"rfc2217://host:0", false}, {"rfc2217://host:65536", false},
        {"rfc2217://:7000", false}, {"rfc2217://::1:7000", false}, {"rfc2217://[::1:7000", false},
        {"tcp://host:70x", false}, {"tcp://ho st:7000", false},
    };
    for (const Row& r : rows) {
        std::string problem;
        const auto a = ParseNetAddress(r.text, &problem);
        EXPECT_TRUE(IsNetAddress(r.text)) << r.text;
        ASSERT_EQ(a.has_value(), r.valid) << r.text;
        if (!a) {
            EXPECT_NE(problem.find(r.text), std::string::npos) << problem;
            continue;
        }
        EXPECT_EQ(*a, (TNetAddress{r.protocol, r.host, r.port})) << r.text;
        EXPECT_EQ(NetAddressText(*a), r.shown);
    }
    for (const char* port : {"COM5", "/dev/ttyUSB0", "telnet://host:23"}) EXPECT_FALSE(IsNetAddress(port)) << port;
}

}  // namespace
}  // namespace korvel
