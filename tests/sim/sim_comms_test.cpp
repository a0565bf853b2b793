// The communications module against the stand-in over a real pseudo-terminal.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "board_sim.h"
#include "comms/comms_data_module.h"
#include "messages/message_ids.h"
#include "settings/nvm_parameters.h"
#include "support/fake_ui_host.h"
#include "support/module_link.h"

using namespace korvel;
using korvel::sim::BoardSim;
using korvel::sim::BoardSimOptions;
using korvel::test::FakeUiHost;

namespace {

// The module connected to an in-process stand-in.
struct Link : korvel::test::ModuleLink {
    explicit Link(BoardSimOptions o, FakeUiHost::Clock clock = FakeUiHost::Clock::Real)
        : ModuleLink(clock), board(o) {
        m.ZylSerialPort.SetCustomPortName(board.Start());
        m.ZylSerialPort.SetPort(spCustom);
        m.Connect();
    }
    ~Link() { m.Disconnect(); }

    BoardSim board;
};

BoardSimOptions Program(uint32_t reportMs = 0) {
    BoardSimOptions o;
    o.program = true;
    o.reportMs = reportMs;
    return o;
}

}  // namespace

TEST(SimComms, ServiceExchanges) {
    Link l(Program(200));
    ASSERT_EQ(l.m.ConnectionState(), csConnected);
    ASSERT_TRUE(l.WaitFor(K2PGETCOMMAND));
    ASSERT_TRUE(l.WaitFor(K2MSENDMONDATA));

    const uint8_t go[] = {P2KSETCOMMAND};
    l.m.SendBlock(go, 1);
    ASSERT_TRUE(l.WaitFor(K2PRSETCOMMAND));
    EXPECT_TRUE(l.board.InServiceMode());

    const uint8_t set[] = {P2KSETNVM, 40, 0, 0x34, 0x12};
    EXPECT_TRUE(l.m.TransceiveBlock(set, 5, K2PRSETNVM));
    EXPECT_EQ(l.board.Nvm()[40], 0x34);
    EXPECT_EQ(l.board.Nvm()[41], 0x12);
    const uint8_t store[] = {P2KFLASHNVM};
    EXPECT_TRUE(l.m.TransceiveBlock(store, 1, K2PRFLASHNVM));

    const uint8_t get[] = {P2KGETNVM};
    l.m.SendBlock(get, 1);
    ASSERT_TRUE(l.WaitFor(K2PRGETNVM));
    for (const auto& b : l.blocks)
        if (b[0] == K2PRGETNVM) {
            ASSERT_EQ(b.size(), 231u);
            EXPECT_EQ(std::vector<uint8_t>(b.begin() + 1, b.end()), l.board.Nvm());
        }
    EXPECT_EQ(l.dataErrors, 0);
}

TEST(SimComms, SilentCorruptedAndMissingAnswers) {
    struct Row {
        const char* name;
        BoardSimOptions o;
        std::vector<bool> results;  // of consecutive 165 exchanges
        bool checkErrors;
    };
    BoardSimOptions silent = Program();
    silent.silent = true;
    BoardSimOptions corrupt = Program();
    corrupt.corruptAnswer = 1;
    BoardSimOptions drop = Program();
    drop.dropAnswer = 1;
    const Row rows[] = {
        {"silent board", silent, {false}, false},
        {"corrupted answer", corrupt, {false, true}, true},
        {"missing answer", drop, {false, true}, false},
    };
    for (const auto& r : rows) {
        // The fake clock lets the 15.6 s give-up run in a moment while the bytes really travel.
        Link l(r.o, FakeUiHost::Clock::Fake);
        const uint8_t set[] = {P2KSETNVM, 2, 0, 1, 0};
        for (size_t i = 0; i < r.results.size(); ++i) {
            const uint32_t t0 = l.host.TickCount();
            EXPECT_EQ(l.m.TransceiveBlock(set, 5, K2PRSETNVM), r.results[i]) << r.name << " #" << i;
            if (!r.results[i]) {
                EXPECT_GE(l.host.TickCount() - t0, 15625u) << r.name;
            }
        }
        EXPECT_EQ(l.dataErrors > 0, r.checkErrors) << r.name;
        const auto traces = l.host.Traces();
        EXPECT_EQ(std::count(traces.begin(), traces.end(), "Protocol error detected") > 0, r.checkErrors) << r.name;
    }
}

TEST(SimComms, ParameterMemoryStartsFromTheDefaults) {
    BoardSim board(Program());
    std::vector<uint8_t> report{K2PRGETNVM};
    const auto image = board.Nvm();
    report.insert(report.end(), image.begin(), image.end());
    const auto values = DecodeNvmReport(report);
    ASSERT_TRUE(values);
    for (const TNvmParameter& p : NvmParameters()) {
        if (p.HasDefault) {
            EXPECT_DOUBLE_EQ((*values)[p.Address / 2], p.Default) << p.Control;
        }
    }
    EXPECT_EQ((*values)[226 / 2], 600);
    EXPECT_DOUBLE_EQ((*values)[228 / 2], 40.0);
}

// Writes are kept and the store answers with the image; each fault shows where a tool would see it.
TEST(SimComms, ParameterWritesAndTheirFaults) {
    struct Write {
        uint16_t address, word;
    } const writes[] = {{0, 0xFF9C}, {46, 4940}, {228, 555}};
    struct Row {
        const char* name;
        BoardSimOptions o;
        std::vector<bool> answered;  // per write
        bool stored;
    };
    BoardSimOptions wrong = Program();
    wrong.storeWrong = 46;
    BoardSimOptions dropWrite = Program();
    dropWrite.dropWrite = 2;
    BoardSimOptions dropStore = Program();
    dropStore.dropStore = true;
    const Row rows[] = {
        {"every request answered", Program(), {true, true, true}, true},
        {"word stored wrong", wrong, {true, true, true}, true},
        {"second write lost", dropWrite, {true, false, true}, true},
        {"store unanswered", dropStore, {true, true, true}, false},
    };
    for (const auto& r : rows) {
        Link l(r.o, FakeUiHost::Clock::Fake);
        auto expected = BoardSim::StartNvm();
        for (size_t i = 0; i < std::size(writes); ++i) {
            const auto request = EncodeNvmWrite(writes[i].address, writes[i].word);
            ASSERT_EQ(l.m.TransceiveBlock(request.data(), 5, K2PRSETNVM), r.answered[i]) << r.name << " #" << i;
            if (!r.answered[i]) continue;
            const uint16_t kept = writes[i].word + (r.o.storeWrong == writes[i].address ? 1 : 0);
            expected[writes[i].address] = static_cast<uint8_t>(kept & 0xFF);
            expected[writes[i].address + 1u] = static_cast<uint8_t>(kept >> 8);
        }
        EXPECT_EQ(l.board.Nvm(), expected) << r.name;
        const uint8_t store[] = {P2KFLASHNVM};
        ASSERT_EQ(l.m.TransceiveBlock(store, 1, K2PRFLASHNVM), r.stored) << r.name;
        if (!r.stored) continue;
        ASSERT_EQ(l.blocks.back().size(), 231u) << r.name;
        EXPECT_EQ(std::vector<uint8_t>(l.blocks.back().begin() + 1, l.blocks.back().end()), expected) << r.name;
    }
}

TEST(SimComms, HangUpWhileConnected) {
    Link l(Program(100));
    ASSERT_TRUE(l.WaitFor(K2MSENDMONDATA));
    const int before = l.statusChanges;
    l.board.HangUp();
    ASSERT_TRUE(l.host.PumpUntil([&] { return l.m.ConnectionState() == csDisconnected; }, 10000));
    EXPECT_EQ(l.statusChanges, before + 1);
    // The port finishes its own close just after it has reported the hang-up.
    EXPECT_TRUE(l.host.PumpUntil([&] { return !l.m.ZylSerialPort.IsConnected(); }, 5000));
    const uint8_t go[] = {P2KSETCOMMAND};
    EXPECT_THROW(l.m.SendBlock(go, 1), EZylSerialPortException);
}

TEST(SimComms, BlocksInOrderUnderLoad) {
    // Busy neighbours on both cores: the hand-over must still deliver every chunk, in order.
    std::atomic<bool> stop{false};
    std::vector<std::thread> burners;
    for (int i = 0; i < 2; ++i)
        burners.emplace_back([&] {
            volatile uint64_t x = 0;
            while (!stop) x = x + 1;
        });
    Link l(Program(10));
    const uint8_t go[] = {P2KSETCOMMAND};
    l.m.SendBlock(go, 1);
    constexpr int kRequests = 150;
    int ok = 0;
    for (int i = 0; i < kRequests; ++i) {
        const uint8_t set[] = {P2KSETNVM, static_cast<uint8_t>(2 * (i % 115)), 0, static_cast<uint8_t>(i), 0x10};
        ok += l.m.TransceiveBlock(set, 5, K2PRSETNVM);
    }
    ASSERT_TRUE(l.WaitFor(K2MSENDMONDATA, 20));
    stop = true;
    for (auto& t : burners) t.join();
    EXPECT_EQ(ok, kRequests);
    EXPECT_EQ(l.dataErrors, 0);
    for (const auto& b : l.blocks) {
        if (b[0] == K2MSENDMONDATA) {
            EXPECT_EQ(b.size(), 112u);
        }
    }
    // What the board received is exactly what was sent, in order.
    const auto got = l.board.ReceivedBlocks();
    ASSERT_EQ(got.size(), static_cast<size_t>(kRequests + 1));
    for (int i = 0; i < kRequests; ++i) EXPECT_EQ(got[i + 1][3], static_cast<uint8_t>(i));
}
