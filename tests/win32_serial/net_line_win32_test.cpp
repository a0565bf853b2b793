// The network line on Winsock, under wine, against Debian's ser2net on the host's loopback in front
// of the stand-in (with-boards.sh --ser2net names its addresses): reports arrive whole (every frame
// starts with 0xFF, which telnet doubles) and exchanges are answered, as telnet and as raw TCP; the
// stand-in ended behind the server closes the connection, which the module reports as a lost line
// that says what to check.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "messages/message_ids.h"
#include "support/module_link.h"

using namespace korvel;
using korvel::test::FakeUiHost;

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

struct NetLink : korvel::test::ModuleLink {
    explicit NetLink(const std::string& address) : ModuleLink(FakeUiHost::Clock::Real) {
        m.ZylSerialPort.SetCustomPortName(address);
        m.ZylSerialPort.SetPort(spCustom);
    }
};

TEST(NetworkBoard, WatchExchangeAndLoseTheServer) {
    const std::string telnet = Env("KORVEL_TEST_RFC2217"), raw = Env("KORVEL_TEST_TCP");
    ASSERT_FALSE(telnet.empty() || raw.empty()) << "run through tests/win32_serial/with-boards.sh --ser2net";
    for (const std::string& address : {raw, telnet}) {
        SCOPED_TRACE(address);
        NetLink l(address);
        int lost = 0;
        l.m.OnLineLost = [&](TCommsDataModule*) { ++lost; };
        l.m.Connect();
        ASSERT_EQ(l.m.ConnectionState(), csConnected);
        EXPECT_TRUE(l.WaitFor(K2MSENDMONDATA, 3, 10000));
        EXPECT_EQ(l.dataErrors, 0);
        const uint8_t service[] = {P2KSETCOMMAND};
        EXPECT_TRUE(l.m.TransceiveBlock(service, 1, K2PRSETCOMMAND));
        if (address == raw) {
            l.m.Disconnect();
            continue;
        }
        std::ofstream(Env("KORVEL_TEST_HANGUP")) << "now\n";
        ASSERT_TRUE(l.host.PumpUntil([&] { return lost == 1; }, 15000)) << "the server's close was not noticed";
        EXPECT_NE(l.m.LineLostText("").find("De server op " + address + " heeft de verbinding verbroken"),
                  std::string::npos);
    }
}

}  // namespace
