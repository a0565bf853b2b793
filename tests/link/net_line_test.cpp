// The network line end to end: the communications module through Debian's ser2net in front of the
// stand-in's pseudo-terminal, once as telnet(rfc2217) and once as raw TCP; and through a small
// telnet server of the test's own for what ser2net cannot be made to do (answer other settings
// than asked, cut its commands into single bytes, refuse the COM port option, stay silent).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>

#include "board_sim.h"
#include "comms/frame_codec.h"
#include "link/telnet_codec.h"
#include "messages/message_ids.h"
#include "support/module_link.h"
#include "support/ser2net_server.h"

namespace korvel {
namespace {

using namespace telnet;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;
using test::ModuleLink;
using test::Ser2net;

Bytes Sub(const Bytes& payload) {
    Bytes out;
    AppendSubnegotiation(out, OptComPort, payload.data(), payload.size());
    return out;
}
const Bytes kOpening{IAC, WILL, 3, IAC, DO, 3, IAC, DO, 0, IAC, WILL, 0, IAC, DO, 44};
const Bytes kStopSizeRequest = Sub({4, 2});  // the last setting before the flow control
const Bytes kLineAnswers = [] {  // to the line the tool asks for
    Bytes answers = Sub({101, 0, 0, 0x25, 0x80});
    for (const Bytes& b : {Sub({102, 8}), Sub({103, 1}), Sub({104, 2}), Sub({105, 1})})
        answers.insert(answers.end(), b.begin(), b.end());
    return answers;
}();

// Plays a script on the one connection it takes, on a thread of its own.
class ScriptedServer {
public:
    explicit ScriptedServer(std::function<void(ScriptedServer&)> script) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&a), len);
        ::listen(listener_, 1);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this, script = std::move(script)] {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 10000) <= 0) return;
            client_ = ::accept(listener_, nullptr, nullptr);
            const int one = 1;
            ::setsockopt(client_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            script(*this);
            while (!done_ && Read(50)) {
            }
        });
    }
    ~ScriptedServer() {
        done_ = true;
        thread_.join();
        if (client_ >= 0) ::close(client_);
        ::close(listener_);
    }
    std::string Address() const { return "rfc2217://127.0.0.1:" + std::to_string(port_); }
    // Byte by byte, each in a segment of its own: the client's reads see every cut.
    void Send(const Bytes& bytes, bool byteByByte = false) {
        for (std::size_t i = 0; i < bytes.size(); i += byteByByte ? 1 : bytes.size()) {
            (void)!::send(client_, bytes.data() + i, byteByByte ? 1 : bytes.size(), MSG_NOSIGNAL);
            if (byteByByte) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    // Over and over as fast as the client takes it, reading nothing, until the server goes.
    void Flood(const Bytes& unit) {
        Bytes many;
        while (many.size() < 16384) many.insert(many.end(), unit.begin(), unit.end());
        for (std::size_t at = 0; !done_;) {
            pollfd p{client_, POLLOUT, 0};
            const ssize_t n = ::poll(&p, 1, 50) <= 0 ? 0 : ::send(client_, &many[at], many.size() - at, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && errno != EAGAIN) return;
            at = (at + static_cast<std::size_t>(std::max<ssize_t>(n, 0))) % many.size();
        }
    }
    bool Expect(const Bytes& pattern, int ms = 3000) {
        // Only where a match could still start: megabytes searched anew at every read took longer
        // than the limit under the sanitizers.
        size_t from = 0;
        for (const auto end = Clock::now() + std::chrono::milliseconds(ms); Clock::now() < end; Read(20)) {
            std::lock_guard lock(m_);
            if (received_.size() < from + pattern.size()) continue;
            if (std::search(received_.begin() + static_cast<std::ptrdiff_t>(from), received_.end(), pattern.begin(),
                            pattern.end()) != received_.end())
                return true;
            from = received_.size() - pattern.size() + 1;
        }
        return false;
    }
private:
    bool Read(int ms) {
        pollfd p{client_, POLLIN, 0};
        if (::poll(&p, 1, ms) <= 0) return true;
        uint8_t buf[65536];
        const ssize_t n = ::recv(client_, buf, sizeof buf, 0);
        if (n <= 0) return false;
        std::lock_guard lock(m_);
        received_.insert(received_.end(), buf, buf + n);
        return true;
    }

    int listener_ = -1;
    std::atomic<int> client_{-1};
    uint16_t port_ = 0;
    std::atomic<bool> done_{false};
    std::mutex m_;
    Bytes received_;
    std::thread thread_;
};

// Connects the module to `address`: "" when connected, else the error's text.
std::string ConnectTo(ModuleLink& l, const std::string& address) {
    l.m.ZylSerialPort.SetCustomPortName(address);
    l.m.ZylSerialPort.SetPort(spCustom);
    try {
        l.m.Connect();
    } catch (const EZylSerialPortException& e) {
        EXPECT_EQ(l.m.ConnectionState(), csDisconnected);
        return e.what();
    }
    return l.m.ConnectionState() == csConnected ? "" : "not connected";
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class NetLine : public ::testing::Test {
protected:
    void SetUp() override {
        if (!Ser2net::Installed()) GTEST_SKIP() << "ser2net is not installed (scripts/install-deps.sh)";
    }
};

struct Server {
    Ser2net::Mode mode;
    const char* bind;
};
const Server kServers[] = {{Ser2net::Mode::Rfc2217, "127.0.0.1"}, {Ser2net::Mode::Raw, "127.0.0.1"},
                           {Ser2net::Mode::Rfc2217, "::1"}};

// Watching and an exchange, then the server killed: the loss is told with the address and what
// to check, and the module connects again to a new server.
TEST_F(NetLine, WatchExchangeLoseAndConnectAgain) {
    for (const Server& s : kServers) {
        sim::BoardSimOptions o;
        o.program = true;
        o.reportMs = 100;
        sim::BoardSim board(o);
        const std::string pty = board.Start();
        auto server = std::make_unique<Ser2net>(pty, s.mode, Ser2net::Options{"9600n82", s.bind});
        ASSERT_TRUE(server->Running()) << server->Log();
        SCOPED_TRACE(server->Address());
        ModuleLink l(test::FakeUiHost::Clock::Real);
        int lost = 0;
        l.m.OnLineLost = [&](TCommsDataModule*) { ++lost; };
        ASSERT_EQ(ConnectTo(l, server->Address()), "");
        EXPECT_TRUE(l.WaitFor(K2MSENDMONDATA, 3));
        const uint8_t service[] = {P2KSETCOMMAND};
        EXPECT_TRUE(l.m.TransceiveBlock(service, 1, K2PRSETCOMMAND));
        EXPECT_TRUE(l.m.ZylSerialPort.ClearInputBuffer());

        server->Kill();
        ASSERT_TRUE(l.host.PumpUntil([&] { return lost == 1; }, 5000));
        EXPECT_EQ(l.m.ConnectionState(), csDisconnected);
        EXPECT_EQ(l.m.LineLostText("Weg."), "Weg.\nDe server op " + server->Address() +
                                                " heeft de verbinding verbroken: controleer of de seriële server daar "
                                                "nog draait en het bord aangesloten is, en maak opnieuw verbinding.");

        server = std::make_unique<Ser2net>(pty, s.mode, Ser2net::Options{"9600n82", s.bind});
        ASSERT_EQ(ConnectTo(l, server->Address()), "");
        const size_t before = l.Count(K2MSENDMONDATA);
        EXPECT_TRUE(l.WaitFor(K2MSENDMONDATA, before + 2));
        l.m.Disconnect();
        EXPECT_EQ(lost, 1);
    }
}

// A server set to 19200 baud: over RFC 2217 the tool sets the line to 9600; raw TCP leaves it as
// the server has it (which a pty does not mind, and a real board would).
TEST_F(NetLine, TheToolSetsTheLineOnlyOverRfc2217) {
    for (const auto& [mode, speed] : {std::pair{Ser2net::Mode::Rfc2217, 9600u}, std::pair{Ser2net::Mode::Raw, 19200u}}) {
        sim::BoardSim board(sim::BoardSimOptions{});
        Ser2net server(board.Start(), mode, Ser2net::Options{"19200n82", "127.0.0.1"});
        ModuleLink l(test::FakeUiHost::Clock::Real);
        ASSERT_EQ(ConnectTo(l, server.Address()), "");
        EXPECT_EQ(board.LineSpeed(), speed) << server.Address();
        l.m.Disconnect();
    }
}

TEST_F(NetLine, ConnectFailuresSayWhatToCheck) {
    sim::BoardSim board(sim::BoardSimOptions{});
    board.Start();
    Ser2net noDevice("/dev/korvel-no-such-device", Ser2net::Mode::Rfc2217);
    Ser2net noDeviceRaw("/dev/korvel-no-such-device", Ser2net::Mode::Raw);
    const std::string nobody = "127.0.0.1:" + std::to_string(test::FreeLoopbackPort());
    struct Row {
        std::string address;
        std::string says;
    };
    const Row rows[] = {
        {"rfc2217://" + nobody, "Connection refused\nOp rfc2217://" + nobody + " luistert geen server"},
        {"tcp://" + nobody, "Connection refused\nOp tcp://" + nobody + " luistert geen server"},
        {"rfc2217://korvel-nobody.invalid:7000", "\nDe naam korvel-nobody.invalid is niet te vinden"},
        {noDevice.Address(), " heeft de verbinding meteen weer verbroken, met de melding \"Device open failure"},
        {noDeviceRaw.Address(), " heeft de verbinding meteen weer verbroken, met de melding \"Device open failure"},
        {"rfc2217://board:70000", "\nHet adres rfc2217://board:70000 heeft geen poortnummer van 1 tot 65535."},
    };
    for (const Row& r : rows) {
        ModuleLink l(test::FakeUiHost::Clock::Real);
        const auto start = Clock::now();
        const std::string error = ConnectTo(l, r.address);
        EXPECT_TRUE(Contains(error, "Cannot connect to " + r.address + " . ")) << error;
        EXPECT_TRUE(Contains(error, r.says)) << error;
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(3)) << r.address;
        EXPECT_EQ(l.statusChanges, 2);  // connecting, and back
    }
}

// What ser2net cannot be made to do, from a server of our own: confirm other settings than asked,
// or refuse the COM port option.
TEST_F(NetLine, ServersThatRefuseOrMisstateTheLine) {
    Bytes otherSettings;
    for (const Bytes& b : {Sub({101, 0, 0, 0x4B, 0x00}), Sub({102, 7}), Sub({103, 1}), Sub({104, 2}), Sub({105, 1})})
        otherSettings.insert(otherSettings.end(), b.begin(), b.end());
    const struct {
        Bytes opening, answers;
        const char* says;
    } rows[] = {
        {kOpening, otherSettings,
         " zet de lijn anders dan gevraagd: 19200 baud in plaats van 9600 baud, 7 databits in plaats van 8 databits. "
         "Stel de seriële poort van de server in op 9600 baud, 8 databits, geen pariteit, 2 stopbits, geen flow control."},
        {{IAC, WILL, 0, IAC, DO, 0, IAC, DONT, 44}, {},
         " weigert de telnet-optie COM-PORT-OPTION: de server spreekt zo geen RFC 2217."},
    };
    for (const auto& r : rows) {
        ScriptedServer server([&](ScriptedServer& s) {
            s.Send(r.opening);
            if (!r.answers.empty() && s.Expect(kStopSizeRequest)) s.Send(r.answers);
        });
        ModuleLink l(test::FakeUiHost::Clock::Real);
        const std::string error = ConnectTo(l, server.Address());
        EXPECT_TRUE(Contains(error, server.Address() + r.says)) << error;
    }
}

// Every command and every data byte in a segment of its own, the board's frames (which start
// with 0xFF) doubled as IAC IAC; and the tool's own 0xFF goes out doubled.
TEST_F(NetLine, CommandsCutIntoSingleBytesAndDoubledIacBothWays) {
    const Bytes report = EncodeFrame(std::vector<uint8_t>{K2PGETCOMMAND}.data(), 1);
    Bytes escaped;
    AppendData(escaped, report.data(), report.size(), true);
    ScriptedServer server([&](ScriptedServer& s) {
        s.Send(kOpening, true);
        if (!s.Expect(kStopSizeRequest)) return;
        Bytes answers = kLineAnswers;
        for (const Bytes& b : {Sub({100}), Sub({112, 1})}) answers.insert(answers.end(), b.begin(), b.end());
        s.Send(answers, true);
        s.Send(escaped, true);
    });
    ModuleLink l(test::FakeUiHost::Clock::Real);
    ASSERT_EQ(ConnectTo(l, server.Address()), "");
    EXPECT_TRUE(l.WaitFor(K2PGETCOMMAND));
    EXPECT_EQ(escaped.front(), IAC);
    EXPECT_EQ(escaped[1], IAC);
    const uint8_t answer[] = {P2KSETCOMMAND};
    l.m.SendBlock(answer, 1);
    Bytes sent;
    const Bytes frame = EncodeFrame(answer, 1);
    AppendData(sent, frame.data(), frame.size(), true);
    EXPECT_TRUE(server.Expect(sent));
    EXPECT_TRUE(server.Expect(Sub({0, 'k', 'o', 'r', 'v', 'e', 'l', '-', 's', 'e', 'r', 'v', 'i', 'c', 'e'})));
    l.m.Disconnect();
}

// A silent server: the window goes on meanwhile, a disconnect gives the connect up at once, and
// left alone the connect ends after the few seconds it allows.
TEST_F(NetLine, ASilentServer) {
    for (const bool giveUp : {true, false}) {
        ScriptedServer silent([](ScriptedServer&) {});
        ModuleLink m(test::FakeUiHost::Clock::Real);
        const auto start = Clock::now();
        m.host.OnProcessEvents = [&] {
            if (giveUp && Clock::now() - start > std::chrono::milliseconds(300)) m.m.Disconnect();
        };
        const std::string error = ConnectTo(m, silent.Address());
        const auto took = Clock::now() - start;
        EXPECT_GT(m.host.ProcessEventsCalls(), 20u);
        if (giveUp) {
            EXPECT_EQ(error, "not connected");  // and no error to show
            EXPECT_LT(took, std::chrono::milliseconds(800));
        } else {
            EXPECT_TRUE(Contains(error, " antwoordt niet als telnet-server met RFC 2217")) << error;
            EXPECT_LT(took, std::chrono::milliseconds(4000));
        }
    }
}

size_t ResidentBytes() {
    size_t pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * static_cast<size_t>(::sysconf(_SC_PAGESIZE));
}

// Servers that flood and never read what they are answered: the connect keeps its limit and the
// window its events, a flood after a good start ends the line naming the server, memory stays bounded.
TEST_F(NetLine, FloodingServersAreHeldToTheLimits) {
    const struct {
        bool negotiate;
        Bytes flood;
        const char* says;
    } rows[] = {
        {false, {IAC, DO, 99}, " stuurt telnet-opdrachten zonder einde en neemt de antwoorden niet af"},
        {false, {IAC, NOP}, " antwoordt niet als telnet-server met RFC 2217"},
        {true, {IAC, DO, 99}, " stuurt telnet-opdrachten zonder einde en neemt de antwoorden niet af"},
    };
    for (const auto& r : rows) {
        const size_t before = ResidentBytes();
        ScriptedServer server([&](ScriptedServer& s) {
            if (r.negotiate) s.Send(kOpening), s.Expect(kStopSizeRequest), s.Send(kLineAnswers);
            s.Flood(r.flood);
        });
        auto start = Clock::now(), last = start;  // before the module: its close still handles events
        Clock::duration longest{};
        std::string text;
        ModuleLink l(test::FakeUiHost::Clock::Real);
        l.m.OnLineLost = [&](TCommsDataModule* m) { text = m->LineLostText(""); };
        l.host.OnProcessEvents = [&] { longest = std::max(longest, Clock::now() - last), last = Clock::now(); };
        text = ConnectTo(l, server.Address());
        if (r.negotiate) l.host.PumpUntil([&] { return !text.empty(); }, 5000);
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(4000));
        EXPECT_LT(longest, std::chrono::milliseconds(250));
        EXPECT_TRUE(Contains(text, server.Address() + r.says)) << text;
        EXPECT_LT(ResidentBytes(), before + (64u << 20));
    }
}

// A write its time-out cuts short counts the data bytes that went (0xFF goes as two) and finishes a
// doubled 0xFF before anything else, so the server reads exactly what was counted.
TEST_F(NetLine, AWriteCutShortKeepsTheStreamWhole) {
    std::atomic<bool> reading{false};
    ScriptedServer server([&](ScriptedServer& s) {
        s.Send(kOpening), s.Expect(kStopSizeRequest), s.Send(kLineAnswers);
        for (int i = 0; i < 500 && !reading; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    });
    ModuleLink l(test::FakeUiHost::Clock::Real);
    l.m.ZylSerialPort.SetWriteTotalTimeoutConstant(200);
    ASSERT_EQ(ConnectTo(l, server.Address()), "");
    const Bytes data(8 << 20, IAC);
    const int32_t cut = l.m.ZylSerialPort.SendData(data.data(), static_cast<uint32_t>(data.size()));
    ASSERT_TRUE(cut > 0 && cut < static_cast<int32_t>(data.size())) << cut;
    reading = true;
    EXPECT_TRUE(server.Expect(Bytes(2 * cut - 1, IAC), 10000));
    EXPECT_EQ(l.m.ZylSerialPort.SendByte(IAC), 1);
    EXPECT_TRUE(server.Expect(Bytes(2 * (cut + 1), IAC), 10000));
    EXPECT_FALSE(server.Expect(Bytes(2 * (cut + 1) + 1, IAC), 500));
}

// Reports the pty or the server held from before the open are not handed on as new.
TEST_F(NetLine, ReportsFromBeforeTheOpenAreDropped) {
    for (const int via : {0, 1, 2}) {
        sim::BoardSimOptions o;
        o.reportMs = 250;
        sim::BoardSim board(o);
        const std::string pty = board.Start();
        std::unique_ptr<Ser2net> server;
        if (via > 0) server = std::make_unique<Ser2net>(pty, via == 1 ? Ser2net::Mode::Rfc2217 : Ser2net::Mode::Raw);
        std::this_thread::sleep_for(std::chrono::milliseconds(2000));
        ModuleLink l(test::FakeUiHost::Clock::Real);
        ASSERT_EQ(ConnectTo(l, server ? server->Address() : pty), "");
        l.host.PumpUntil([] { return false; }, 150);
        EXPECT_LE(l.Count(K2MSENDMONDATA), 1u) << via;
    }
}

}  // namespace
}  // namespace korvel
