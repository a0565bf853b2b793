#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board_sim.h"
#include "comms/comms_data_module.h"
#include "messages/message_ids.h"
#include "support/fake_ui_host.h"

namespace korvel {

struct CommsDataModuleProbe {
    static void SetFlashing(TCommsDataModule& m, bool on) { m.FFlashingFirmware = on; }
    static int32_t CharCount(const TCommsDataModule& m) { return m.FirmwareResponseCharacterCount; }
    static const uint8_t* Chars(const TCommsDataModule& m) { return m.FirmwareResponseCharacter.data(); }
};

}  // namespace korvel

using namespace korvel;
using korvel::test::FakeUiHost;

namespace {

std::string Frame(std::vector<uint8_t> block) {
    const auto f = EncodeFrame(block.data(), static_cast<uint32_t>(block.size()));
    return {f.begin(), f.end()};
}

// A module on the fake clock whose port is open on a quiet stand-in; received chunks are handed
// to the module as the port would, through its receive event.
struct Rig {
    FakeUiHost host;
    sim::BoardSim board{[] {
        sim::BoardSimOptions o;
        o.reportMs = 0;
        o.silent = true;
        return o;
    }()};
    TCommsDataModule m{host};
    int statusChanges = 0;
    std::vector<std::pair<int32_t, std::vector<uint8_t>>> blocks;
    int dataErrors = 0;

    Rig() {
        m.OnStatusChange = [this](TCommsDataModule*) { ++statusChanges; };
        m.OnDatablock = [this](TCommsDataModule*, int32_t size, const uint8_t* data) {
            blocks.emplace_back(size, std::vector<uint8_t>(data, data + size - 2));
        };
        m.OnDataError = [this](TCommsDataModule*) { ++dataErrors; };
    }
    void Connect() {
        m.ZylSerialPort.SetCustomPortName(board.Start());
        m.ZylSerialPort.SetPort(spCustom);
        m.Connect();
        ASSERT_EQ(m.ConnectionState(), csConnected);
    }
    void Receive(const std::string& chunk) { m.ZylSerialPort.OnReceive(&m.ZylSerialPort, chunk); }
    void ReceiveLater(const std::string& chunk) {
        host.Post([this, chunk] { Receive(chunk); });
    }
};

}  // namespace

TEST(CommsDataModule, ConfiguresThePortForTheBoard) {
    FakeUiHost host;
    TCommsDataModule m(host);
    auto& p = m.ZylSerialPort;
    EXPECT_EQ(p.GetBaudRate(), br009600);
    EXPECT_EQ(p.GetStopBits(), sb2Bits);
    EXPECT_EQ(p.GetDataWidth(), dw8Bits);
    EXPECT_EQ(p.GetParity(), pbNone);
    EXPECT_EQ(p.GetInputBuffer(), 16384u);
    EXPECT_EQ(p.GetOutputBuffer(), 16384u);
    EXPECT_EQ(p.Timeouts().ReadIntervalTimeout, 0u);
    EXPECT_EQ(p.Timeouts().WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(p.Timeouts().WriteTotalTimeoutConstant, 0u);
    EXPECT_EQ(p.GetDelay(), 0u);
    EXPECT_TRUE(p.NeedSynchronization);
    EXPECT_EQ(m.ConnectionState(), csDisconnected);
}

TEST(CommsDataModule, ConnectAndDisconnectEvents) {
    Rig r;
    r.m.Disconnect();  // also when already disconnected
    EXPECT_EQ(r.statusChanges, 1);
    r.Connect();
    EXPECT_EQ(r.statusChanges, 2);
    r.m.Connect();  // already connected: nothing
    EXPECT_EQ(r.statusChanges, 2);

    // A connection that ended inside a frame leaves no trace in the next one.
    r.Receive(std::string("\x10\x02\xA2", 3));
    EXPECT_EQ(r.m.ProtocolState(), PROT_STX);
    r.m.Disconnect();
    EXPECT_EQ(r.m.ConnectionState(), csDisconnected);
    r.m.Connect();
    EXPECT_EQ(r.m.ProtocolState(), PROT_IDLE);
    EXPECT_EQ(r.statusChanges, 4);
}

TEST(CommsDataModule, FailedOpenRaisesAndChangesNothing) {
    FakeUiHost host;
    TCommsDataModule m(host);
    int changes = 0;
    m.OnStatusChange = [&](TCommsDataModule*) { ++changes; };
    m.ZylSerialPort.SetCustomPortName("/dev/korvel-no-such-port");
    m.ZylSerialPort.SetPort(spCustom);
    EXPECT_THROW(m.Connect(), EZylSerialPortException);
    EXPECT_EQ(m.ConnectionState(), csDisconnected);
    EXPECT_EQ(changes, 0);
}

TEST(CommsDataModule, SendBlockFramesTracesAndRefusesBadSizes) {
    Rig r;
    const uint8_t a2 = 0xA2;
    EXPECT_THROW(r.m.SendBlock(&a2, 1), EZylSerialPortException);  // port not open
    r.Connect();
    r.m.SendBlock(&a2, 1);
    const uint8_t setNvm[] = {0xA5, 0x10, 0x00, 0x9C, 0xFF};
    r.m.SendBlock(setNvm, 5);
    EXPECT_THROW(r.m.SendBlock(&a2, 0), std::invalid_argument);
    const std::vector<uint8_t> big(600, 0x55);
    EXPECT_THROW(r.m.SendBlock(big.data(), 600), std::length_error);
    ASSERT_TRUE(r.host.PumpUntil([&] { return r.board.ReceivedBlocks().size() >= 2; }));
    EXPECT_EQ(r.board.ReceivedBlocks(), (std::vector<std::vector<uint8_t>>{{0xA2}, {0xA5, 0x10, 0x00, 0x9C, 0xFF}}));
    const auto traces = r.host.Traces();
    EXPECT_EQ(std::count(traces.begin(), traces.end(), "Sending: A2 "), 1);
    EXPECT_EQ(std::count(traces.begin(), traces.end(), "Sending: A5 10 00 9C FF "), 1);
}

TEST(CommsDataModule, ReceivedFramesReachTheEvents) {
    Rig r;
    r.Receive(Frame({0xA2}) + std::string("\x10\x02\xA2\x81\xBA\x10\x03", 7) + std::string("\x10\x02\xA2\x10\x55", 5));
    ASSERT_EQ(r.blocks.size(), 1u);
    EXPECT_EQ(r.blocks[0].first, 3);
    EXPECT_EQ(r.blocks[0].second, std::vector<uint8_t>{0xA2});
    EXPECT_EQ(r.dataErrors, 2);
    // The trace line only for the check error, not for the framing error.
    EXPECT_EQ(r.host.Traces(), (std::vector<std::string>{"Block received", "Protocol error detected"}));
}

TEST(CommsDataModule, TransceiveBlock) {
    const std::string answer = Frame({K2PRSETNVM});
    const std::string report = Frame(std::vector<uint8_t>(112, K2MSENDMONDATA));
    struct Row {
        const char* name;
        std::vector<std::string> chunks;  // each handed over in its own event
        bool expected;
    } rows[] = {
        {"answer", {answer}, true},
        {"unrelated block first", {report, answer}, true},
        {"answer followed by another block in one chunk", {answer + report}, true},
        {"answer split over two chunks", {answer.substr(0, 3), answer.substr(3)}, true},
        {"other answer only", {Frame({K2PRFLASHNVM})}, false},
        {"corrupted answer", {std::string("\x10\x02\x25\x00\x00\x10\x03", 7)}, false},
    };
    for (const auto& row : rows) {
        Rig r;
        r.Connect();
        r.Receive(answer);  // before the request: must not count
        for (const auto& c : row.chunks) r.ReceiveLater(c);
        const uint8_t req[] = {P2KSETNVM, 0, 0, 1, 0};
        const uint32_t start = r.host.TickCount();
        EXPECT_EQ(r.m.TransceiveBlock(req, 5, K2PRSETNVM), row.expected) << row.name;
        const uint32_t took = r.host.TickCount() - start;
        if (row.expected)
            EXPECT_LT(took, 50u) << row.name;
        else
            EXPECT_GE(took, 15625u) << row.name;
    }
}

TEST(CommsDataModule, DownloadCollectsCharactersAndDropsChunksThatDoNotFit) {
    FakeUiHost host;
    TCommsDataModule m(host);
    int blocks = 0;
    m.OnDatablock = [&](TCommsDataModule*, int32_t, const uint8_t*) { ++blocks; };
    CommsDataModuleProbe::SetFlashing(m, true);
    auto receive = [&](const std::string& s) { m.ZylSerialPort.OnReceive(&m.ZylSerialPort, s); };
    receive(Frame({0xA2}));
    EXPECT_EQ(blocks, 0);
    EXPECT_EQ(CommsDataModuleProbe::CharCount(m), 8);
    receive(std::string(1015, 'x'));  // 8 + 1015 = 1023: fits
    EXPECT_EQ(CommsDataModuleProbe::CharCount(m), 1023);
    receive("A");  // would make 1024: dropped whole
    EXPECT_EQ(CommsDataModuleProbe::CharCount(m), 1023);
    EXPECT_EQ(CommsDataModuleProbe::Chars(m)[0], 0xFF);
    EXPECT_EQ(m.ProtocolState(), PROT_IDLE);
    CommsDataModuleProbe::SetFlashing(m, false);
    receive(Frame({0xA2}));
    EXPECT_EQ(blocks, 1);
}
