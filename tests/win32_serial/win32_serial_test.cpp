// The Win32 serial port against the real stand-in. with-boards.sh starts korvel-board-sim, links
// its pty as a COM port of the wine prefix and names that port in KORVEL_TEST_PORT; each group of
// tests below runs against the stand-in options CMake gives it.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "comms/comms_data_module.h"
#include "link/serial_ports.h"
#include "messages/message_ids.h"
#include "support/fake_ui_host.h"
#include "support/module_link.h"

// After the tool's headers: windows.h defines names such as Yield as macros.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <tlhelp32.h>

using namespace korvel;
using korvel::test::FakeUiHost;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

std::string BoardPort() {
    const char* port = std::getenv("KORVEL_TEST_PORT");
    return port ? port : "";
}

// Has with-boards.sh end the stand-in, which closes its line as a pulled adapter would.
void HangUpBoard() {
    const char* file = std::getenv("KORVEL_TEST_HANGUP");
    ASSERT_NE(file, nullptr) << "run with with-boards.sh --hang-up-on-request";
    std::ofstream(file) << "now\n";
}

// Wine, unlike Windows' serial drivers, lets a second handle onto a port opened without sharing.
bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

int ThreadCount() {
    const HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 e{};
    e.dwSize = sizeof e;
    int n = 0;
    for (BOOL ok = Thread32First(snap, &e); ok; ok = Thread32Next(snap, &e))
        n += e.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snap);
    return n;
}

// The communications module on the stand-in's COM port.
struct Link : korvel::test::ModuleLink {
    explicit Link(FakeUiHost::Clock clock = FakeUiHost::Clock::Real) : ModuleLink(clock) {
        m.ZylSerialPort.SetPort(TZylSerialPort::StringToCommPort(BoardPort()));
    }
};

// One fixture per stand-in configuration; tests/CMakeLists.txt starts each with its options.
class Win32Serial : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(BoardPort().rfind("COM", 0), 0u) << "run through tests/win32_serial/with-boards.sh";
    }
};
class ReportingBoard : public Win32Serial {};
class SilentBoard : public Win32Serial {};
class BoardHangingUp : public Win32Serial {};

TEST_F(ReportingBoard, ReportsArriveWhole) {
    Link l;
    l.m.Connect();
    ASSERT_EQ(l.m.ConnectionState(), csConnected);
    EXPECT_EQ(l.m.ZylSerialPort.ConnectedTo(), TZylSerialPort::StringToCommPort(BoardPort()));
    ASSERT_TRUE(l.WaitFor(K2PGETCOMMAND, 1, 10000));
    ASSERT_TRUE(l.WaitFor(K2MSENDMONDATA, 20, 10000));
    EXPECT_EQ(l.dataErrors, 0);
    for (const auto& b : l.blocks) {
        if (b[0] == K2MSENDMONDATA) {
            EXPECT_EQ(b.size(), 112u);
        }
    }
    l.m.Disconnect();
    EXPECT_FALSE(l.m.ZylSerialPort.IsConnected());
}

TEST_F(ReportingBoard, ExchangesWithTheBoard) {
    Link l;
    l.m.Connect();
    const uint8_t go[] = {P2KSETCOMMAND};
    EXPECT_TRUE(l.m.TransceiveBlock(go, 1, K2PRSETCOMMAND));
    const uint8_t set[] = {P2KSETNVM, 40, 0, 0x34, 0x12};
    EXPECT_TRUE(l.m.TransceiveBlock(set, 5, K2PRSETNVM));
    const uint8_t store[] = {P2KFLASHNVM};
    EXPECT_TRUE(l.m.TransceiveBlock(store, 1, K2PRFLASHNVM));
    const uint8_t get[] = {P2KGETNVM};
    ASSERT_TRUE(l.m.TransceiveBlock(get, 1, K2PRGETNVM));
    const auto* nvm = l.Last(K2PRGETNVM);
    ASSERT_NE(nvm, nullptr);
    ASSERT_EQ(nvm->size(), 231u);
    EXPECT_EQ((*nvm)[1 + 40], 0x34);
    EXPECT_EQ((*nvm)[1 + 41], 0x12);
    EXPECT_EQ(l.dataErrors, 0);
}

// Reports keep coming while the UI side writes: every exchange answered, every value stored in
// order, nothing lost between the two directions of the one handle.
TEST_F(ReportingBoard, ManyExchangesBetweenReports) {
    Link l;
    l.m.Connect();
    const uint8_t go[] = {P2KSETCOMMAND};
    ASSERT_TRUE(l.m.TransceiveBlock(go, 1, K2PRSETCOMMAND));
    constexpr int kRequests = 115;
    int ok = 0;
    for (int i = 0; i < kRequests; ++i) {
        const uint8_t set[] = {P2KSETNVM, static_cast<uint8_t>(2 * i), 0, static_cast<uint8_t>(i), 0x5A};
        ok += l.m.TransceiveBlock(set, 5, K2PRSETNVM);
    }
    EXPECT_EQ(ok, kRequests);
    const uint8_t get[] = {P2KGETNVM};
    ASSERT_TRUE(l.m.TransceiveBlock(get, 1, K2PRGETNVM));
    const auto* nvm = l.Last(K2PRGETNVM);
    ASSERT_NE(nvm, nullptr);
    ASSERT_EQ(nvm->size(), 231u);
    for (int i = 0; i < kRequests; ++i) {
        EXPECT_EQ((*nvm)[1 + 2 * i], i) << i;
        EXPECT_EQ((*nvm)[2 + 2 * i], 0x5A) << i;
    }
    EXPECT_GT(l.Count(K2MSENDMONDATA), 0u);
    EXPECT_EQ(l.dataErrors, 0);
}

TEST_F(ReportingBoard, CloseAndReopen) {
    FakeUiHost host(FakeUiHost::Clock::Real);
    TZylSerialPort port(host);
    port.SetPort(TZylSerialPort::StringToCommPort(BoardPort()));
    port.SetBaudRate(br009600);
    port.SetStopBits(sb2Bits);
    port.SetDelay(0);
    std::string received;
    int connects = 0, disconnects = 0, lineChanges = 0;
    port.OnReceive = [&](TZylSerialPort*, const ByteString& b) { received += b; };
    port.OnConnect = [&](TZylSerialPort*, TCommPort) { ++connects; };
    port.OnDisconnect = [&](TZylSerialPort*, TCommPort) { ++disconnects; };
    port.OnLineStatusChange = [&](TZylSerialPort*, TLineStatusSet) { ++lineChanges; };
    const int threadsBefore = ThreadCount();

    for (int round = 1; round <= 3; ++round) {
        received.clear();
        port.Open();
        ASSERT_TRUE(port.IsConnected()) << round;
        EXPECT_EQ(connects, round);
        ASSERT_TRUE(host.PumpUntil([&] { return received.size() >= 200; }, 10000)) << round;
        // A pty has no modem lines: the query fails under wine, as TIOCMGET does natively, and the
        // state stays the empty set.
        EXPECT_FALSE(port.GetCTS() || port.GetDSR() || port.GetRING() || port.GetCD());
        const auto start = Clock::now();
        port.Close();
        EXPECT_LT(Clock::now() - start, 2s) << round;
        EXPECT_FALSE(port.IsConnected());
        EXPECT_EQ(disconnects, round);
    }
    EXPECT_EQ(lineChanges, 0);
    EXPECT_TRUE(host.PumpUntil([&] { return ThreadCount() == threadsBefore; }, 5000))
        << "receive threads left: " << ThreadCount() - threadsBefore;
    const uint8_t byte = 1;
    EXPECT_THROW(port.SendData(&byte, 1), EZylSerialPortException);
}

// Discarding input while the receive thread reads it (the firmware download does so at its
// start) must neither leave a read waiting for bytes that were thrown away nor stop the data.
TEST_F(ReportingBoard, DiscardingInputWhileReceiving) {
    FakeUiHost host(FakeUiHost::Clock::Real);
    TZylSerialPort port(host);
    port.SetPort(TZylSerialPort::StringToCommPort(BoardPort()));
    port.SetDelay(0);
    std::atomic<size_t> received{0};
    port.OnReceive = [&](TZylSerialPort*, const ByteString& b) { received += b.size(); };
    port.NeedSynchronization = false;
    port.Open();
    const auto end = Clock::now() + 2s;
    while (Clock::now() < end) port.ClearInputBuffer();
    const size_t before = received;
    EXPECT_TRUE(host.PumpUntil([&] { return received > before + 200; }, 5000)) << "reception stopped";
    const auto start = Clock::now();
    port.Close();
    EXPECT_LT(Clock::now() - start, 2s);
}

// The settings as the tty took them, read back through a second handle: wine lets one in, and
// maps the line state back from the tty's own settings.
TEST_F(ReportingBoard, LineSettingsReachTheLine) {
    if (!UnderWine()) GTEST_SKIP() << "Windows refuses a second handle on an open port";
    Link l;
    l.m.Connect();
    const std::string path = "\\\\.\\" + BoardPort();
    const HANDLE watch = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(watch, INVALID_HANDLE_VALUE);
    auto state = [&] {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        EXPECT_TRUE(GetCommState(watch, &dcb));
        return dcb;
    };
    DCB dcb = state();
    EXPECT_EQ(dcb.BaudRate, 9600u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
    EXPECT_FALSE(dcb.fOutxCtsFlow || dcb.fOutX || dcb.fInX) << "no flow control";

    // A pty keeps rate and stop bits but not parity, so parity is not looked at here.
    auto& port = l.m.ZylSerialPort;
    port.SetBaudRate(br019200);
    port.SetStopBits(sb1Bit);
    port.SetSwFlowControl(sfXONXOFF);
    ASSERT_TRUE(port.IsConnected()) << "settings refused";
    dcb = state();
    EXPECT_EQ(dcb.BaudRate, 19200u);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_TRUE(dcb.fOutX && dcb.fInX);
    CloseHandle(watch);
}

// The port list is the registry's serial-port map. Wine lists only the ports it found at boot,
// so the test adds its own entries (Windows would need an administrator for that).
TEST_F(ReportingBoard, PortListComesFromTheRegistry) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr, REG_OPTION_VOLATILE,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        GTEST_SKIP() << "cannot write the serial-port map";
    const std::vector<std::pair<std::string, std::string>> entries = {
        {"\\Device\\KorvelTest0", BoardPort()}, {"\\Device\\KorvelTest1", "  VCP1 "}, {"\\Device\\KorvelTest2", "   "}};
    for (const auto& [name, data] : entries)
        RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>(data.size() + 1));
    FakeUiHost host;
    TZylSerialPort port(host);
    const TCommPortSet ports = port.GetExistingCommPorts();
    std::vector<std::string> names{"stale"};
    port.GetExistingCommPortNames(names);
    for (const auto& [name, data] : entries) RegDeleteValueA(key, name.c_str());
    RegCloseKey(key);

    EXPECT_TRUE(ports.test(TZylSerialPort::StringToCommPort(BoardPort())));
    EXPECT_TRUE(ports.test(spCustom)) << "a name other than COMn";
    EXPECT_FALSE(ports.test(spNone));
    auto has = [&](const std::string& n) { return std::find(names.begin(), names.end(), n) != names.end(); };
    EXPECT_TRUE(has(BoardPort()));
    EXPECT_TRUE(has("VCP1")) << "names are trimmed";
    EXPECT_FALSE(has("stale") || has("") || has("   "));
}

// The FTDI driver's list of its devices as the adapter scan reads it: an entry without a key of
// the expected form (one interface of a composite device) must not hide the entries after it.
TEST_F(ReportingBoard, AdapterFactsComeFromEveryFtdiEntry) {
    if (!UnderWine()) GTEST_SKIP() << "would overwrite the FTDI driver's own keys";
    const std::string device = "SYSTEM\\CurrentControlSet\\Enum\\FTDIBUS\\VID_0403+PID_6001+A50285BIA";
    const std::string driver = "SYSTEM\\CurrentControlSet\\Services\\FTDIBUS";
    auto set = [](const std::string& key, const char* name, const std::string& value) {
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, key.c_str(), name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
    };
    const DWORD count = 2;
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, (driver + "\\Enum").c_str(), "Count", REG_DWORD, &count, sizeof count);
    set(driver + "\\Enum", "0", "USB\\VID_0403&PID_6010&MI_00\\7&2A8B3C4&0&0000");
    set(driver + "\\Enum", "1", "USB\\VID_0403&PID_6001\\A50285BI");
    set(device + "\\0000\\Device Parameters", "PortName", BoardPort());
    set("HARDWARE\\DEVICEMAP\\SERIALCOMM", "\\Device\\KorvelFtdi", BoardPort());
    const std::vector<TSerialPortInfo> ports = ScanSerialPorts();
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", "\\Device\\KorvelFtdi");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, device.c_str());
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, driver.c_str());

    const auto board = std::find_if(ports.begin(), ports.end(), [](const auto& p) { return p.Name == BoardPort(); });
    ASSERT_NE(board, ports.end());
    EXPECT_EQ(board->VendorId + ":" + board->ProductId + " " + board->Serial, "0403:6001 A50285BI");
}

TEST_F(ReportingBoard, OpenFailuresSayWhy) {
    FakeUiHost host(FakeUiHost::Clock::Real);
    TZylSerialPort first(host), second(host);
    first.SetPort(TZylSerialPort::StringToCommPort(BoardPort()));
    second.SetPort(first.GetPort());
    first.Open();
    // Opened without sharing: a second opener is refused with the system's reason.
    if (!UnderWine()) {
        try {
            second.Open();
            ADD_FAILURE() << "second opener accepted";
        } catch (const EZylSerialPortException& e) {
            const std::string prefix = "Cannot connect to " + BoardPort() + " . ";
            EXPECT_EQ(std::string(e.what()).rfind(prefix, 0), 0u) << e.what();
            EXPECT_GT(std::string(e.what()).size(), prefix.size()) << "no reason given";
        }
        EXPECT_FALSE(second.IsConnected());
    }
    first.Close();
    EXPECT_NO_THROW(second.Open());
    EXPECT_TRUE(second.IsConnected());
    second.Close();

    TZylSerialPort missing(host);
    missing.SetPort(TCommPort(250));
    try {
        missing.Open();
        ADD_FAILURE() << "COM250 opened";
    } catch (const EZylSerialPortException& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot connect to COM250 . ", 0), 0u) << e.what();
    }
    EXPECT_FALSE(missing.IsConnected());
}

TEST_F(ReportingBoard, FirmwareReachesTheLoader) {
    Link l;
    l.m.Connect();
    l.m.FlashFirmware(KORVEL_TEST_DATA "/firmware/srec_cat_full.a43");
    const auto boxes = l.host.Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, "Nieuwe firmware staat er in.");
    // Back to blocks: the stand-in asks "Are you there ?" again.
    const size_t asks = l.Count(K2PGETCOMMAND);
    EXPECT_TRUE(l.WaitFor(K2PGETCOMMAND, asks + 1, 10000));
}

TEST_F(SilentBoard, GivesUpAfterItsTime) {
    // The fake clock runs the 15.6 s give-up quickly while the request really goes out.
    Link l(FakeUiHost::Clock::Fake);
    l.m.Connect();
    const uint8_t set[] = {P2KSETNVM, 2, 0, 1, 0};
    const uint32_t t0 = l.host.TickCount();
    EXPECT_FALSE(l.m.TransceiveBlock(set, 5, K2PRSETNVM));
    EXPECT_GE(l.host.TickCount() - t0, 15625u);
    EXPECT_EQ(l.m.ConnectionState(), csConnected);
    EXPECT_TRUE(l.blocks.empty());
}

TEST_F(BoardHangingUp, EndsTheConnection) {
    const int threadsBefore = ThreadCount();
    Link l;
    l.m.Connect();
    ASSERT_TRUE(l.WaitFor(K2MSENDMONDATA, 1, 10000));
    const int before = l.statusChanges;
    HangUpBoard();
    ASSERT_TRUE(l.host.PumpUntil([&] { return l.m.ConnectionState() == csDisconnected; }, 15000))
        << "the hang-up was not noticed";
    EXPECT_EQ(l.statusChanges, before + 1);
    EXPECT_TRUE(l.host.PumpUntil([&] { return !l.m.ZylSerialPort.IsConnected(); }, 5000));
    EXPECT_TRUE(l.host.PumpUntil([&] { return ThreadCount() == threadsBefore; }, 5000))
        << "receive thread still running";
    const uint8_t go[] = {P2KSETCOMMAND};
    EXPECT_THROW(l.m.SendBlock(go, 1), EZylSerialPortException);
    const auto start = Clock::now();
    l.m.Disconnect();
    EXPECT_LT(Clock::now() - start, 1s);
}

}  // namespace
