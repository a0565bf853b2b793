// The serial port over a real pseudo-terminal: the test plays the board on the master side.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "link/zyl_serial_port.h"
#include "support/fake_ui_host.h"

namespace korvel {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class Pty {
public:
    Pty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0) slave_ = ::ptsname(master_);
    }
    ~Pty() { CloseMaster(); }
    bool Ok() const { return master_ >= 0 && !slave_.empty(); }
    const std::string& Slave() const { return slave_; }
    void CloseMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }
    void Write(const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno != EINTR) return;
            if (n > 0) done += static_cast<std::size_t>(n);
        }
    }
    // What the port sent, until `want` bytes came or the time ran out.
    std::string Read(std::size_t want, int timeoutMs = 5000) {
        std::string out;
        const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (out.size() < want && Clock::now() < end) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            char buf[4096];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0) out.append(buf, static_cast<std::size_t>(n));
        }
        return out;
    }

private:
    int master_ = -1;
    std::string slave_;
};

// Threads of this process. ThreadSanitizer adds a helper thread with the first thread made, so
// one is made first: the helper is then there on both sides of a comparison.
int ThreadCount() {
    static const bool primed = [] {
        std::thread([] {}).join();
        return true;
    }();
    (void)primed;
    int n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/task")) ++n;
    return n;
}

std::string Pattern(std::size_t size) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return s;
}

// Ends the run when a call has not returned in time: a hang would otherwise stall the whole suite.
class Watchdog {
public:
    Watchdog(std::chrono::seconds limit, const char* what)
        : thread_([this, limit, what] {
              std::unique_lock lock(m_);
              if (cv_.wait_for(lock, limit, [&] { return done_; })) return;
              std::fprintf(stderr, "%s did not return within %llds\n", what, static_cast<long long>(limit.count()));
              std::_Exit(1);
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(m_);
            done_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool done_ = false;
    std::thread thread_;
};

// A port on the pty's slave side with recorders on every event.
struct Fixture {
    test::FakeUiHost host{test::FakeUiHost::Clock::Real};
    Pty pty;
    TZylSerialPort port{host};
    std::string received;
    std::vector<TCommPort> connects, disconnects;
    int lineChanges = 0;
    const std::thread::id testThread = std::this_thread::get_id();

    Fixture() {
        port.SetCustomPortName(pty.Slave());
        port.SetPort(spCustom);
        port.SetBaudRate(br009600);
        port.SetStopBits(sb2Bits);
        port.SetDelay(0);
        port.OnReceive = [this](TZylSerialPort*, const ByteString& b) { received += b; };
        port.OnConnect = [this](TZylSerialPort*, TCommPort p) { connects.push_back(p); };
        port.OnDisconnect = [this](TZylSerialPort*, TCommPort p) { disconnects.push_back(p); };
        port.OnLineStatusChange = [this](TZylSerialPort*, TLineStatusSet) { ++lineChanges; };
    }
    bool PumpUntil(const std::function<bool()>& pred, uint32_t ms = 10000) { return host.PumpUntil(pred, ms); }
    bool WaitUnpumped(const std::function<bool()>& pred, std::chrono::milliseconds limit = 10s) {
        const auto end = Clock::now() + limit;
        while (!pred() && Clock::now() < end) std::this_thread::sleep_for(1ms);
        return pred();
    }
};

TEST(PtyPort, OpenCloseAndTheRepeatedOpen) {
    Fixture f;
    ASSERT_TRUE(f.pty.Ok());
    f.port.Open();
    EXPECT_TRUE(f.port.IsConnected());
    EXPECT_EQ(f.port.ConnectedTo(), spCustom);
    EXPECT_EQ(f.connects, std::vector<TCommPort>{spCustom});

    // Ports compare by number: the same port, or another custom name, opens nothing new.
    f.port.Open();
    f.port.SetCustomPortName("/dev/some-other-device");
    f.port.Open();
    EXPECT_EQ(f.connects.size(), 1u);
    EXPECT_TRUE(f.port.IsConnected());

    f.pty.Write("ping");
    ASSERT_TRUE(f.PumpUntil([&] { return f.received == "ping"; }));
    EXPECT_EQ(f.lineChanges, 0) << "a pty has no modem lines, so the state never leaves the empty set";

    f.port.Close();
    EXPECT_FALSE(f.port.IsConnected());
    EXPECT_EQ(f.disconnects, std::vector<TCommPort>{spCustom});
    f.port.Close();
    EXPECT_EQ(f.disconnects.size(), 1u);
}

TEST(PtyPort, OpenWithoutPortOrWithAMissingDevice) {
    test::FakeUiHost host(test::FakeUiHost::Clock::Real);
    const int threadsBefore = ThreadCount();
    TZylSerialPort port(host);
    int connects = 0;
    port.OnConnect = [&](TZylSerialPort*, TCommPort) { ++connects; };
    EXPECT_NO_THROW(port.Open());
    EXPECT_FALSE(port.IsConnected());

    port.SetCustomPortName("/dev/korvel-no-such-device");
    port.SetPort(spCustom);
    try {
        port.Open();
        ADD_FAILURE() << "missing device opened";
    } catch (const EZylSerialPortException& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot connect to /dev/korvel-no-such-device . No such file or directory\n"
                  "/dev/korvel-no-such-device is er niet: sluit de USB-adapter aan of kies met \"Com poort...\" "
                  "een poort die er wel is.");
    }
    EXPECT_FALSE(port.IsConnected());
    EXPECT_EQ(connects, 0);
    EXPECT_EQ(ThreadCount(), threadsBefore);
}

TEST(PtyPort, SecondOpenerIsRefusedUntilTheFirstCloses) {
    Fixture f;
    ASSERT_TRUE(f.pty.Ok());
    f.port.Open();

    TZylSerialPort other(f.host);
    other.SetCustomPortName(f.pty.Slave());
    other.SetPort(spCustom);
    try {
        other.Open();
        ADD_FAILURE() << "second opener accepted";
    } catch (const EZylSerialPortException& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot connect to " + f.pty.Slave() + " . Device or resource busy\n" +
                                             f.pty.Slave() +
                                             " is in gebruik door een ander programma: sluit dat programma en "
                                             "probeer het opnieuw.");
    }
    EXPECT_FALSE(other.IsConnected());
    if (::geteuid() != 0) {
        errno = 0;
        EXPECT_LT(::open(f.pty.Slave().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC), 0);
        EXPECT_EQ(errno, EBUSY);
    }

    // The first connection is untouched by the refused attempt.
    f.pty.Write("still here");
    ASSERT_TRUE(f.PumpUntil([&] { return f.received == "still here"; }));

    f.port.Close();
    EXPECT_NO_THROW(other.Open());
    EXPECT_TRUE(other.IsConnected());
    other.Close();
}

TEST(PtyPort, LineSettingsAppliedWhileOpenAndRestoredAtClose) {
    Fixture f;
    ASSERT_TRUE(f.pty.Ok());
    // Opened before the port, so the test can watch the slave's settings.
    const int watch = ::open(f.pty.Slave().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(watch, 0);
    termios t{};
    ASSERT_EQ(::tcgetattr(watch, &t), 0);
    ASSERT_TRUE(t.c_lflag & ICANON);

    f.port.Open();
    ASSERT_EQ(::tcgetattr(watch, &t), 0);
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B9600));

    f.port.SetBaudRate(br019200);
    f.port.SetStopBits(sb1Bit);
    ASSERT_EQ(::tcgetattr(watch, &t), 0);
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B19200));
    EXPECT_FALSE(t.c_cflag & CSTOPB);

    // Changing the port while open changes nothing until the next Open.
    f.port.SetPort(TCommPort(5));
    EXPECT_EQ(f.port.ConnectedTo(), spCustom);
    f.pty.Write("x");
    ASSERT_TRUE(f.PumpUntil([&] { return f.received == "x"; }));

    f.port.Close();
    ASSERT_EQ(::tcgetattr(watch, &t), 0);
    EXPECT_TRUE(t.c_lflag & ICANON);
    ::close(watch);
}

TEST(PtyPort, RefusedLineSettingsCloseThePortOrFailTheOpen) {
    Fixture f;
    ASSERT_TRUE(f.pty.Ok());
    f.port.Open();
    f.port.SetHwFlowControl(hfDTRDSR);  // no such handshake on this platform
    EXPECT_FALSE(f.port.IsConnected());
    EXPECT_EQ(f.disconnects.size(), 1u);

    try {
        f.port.Open();
        ADD_FAILURE() << "refused settings opened";
    } catch (const EZylSerialPortException& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot connect to " + f.pty.Slave() + " . ", 0), 0u) << e.what();
    }
    f.port.SetHwFlowControl(hfNONE);
    EXPECT_NO_THROW(f.port.Open());  // the refused open left no lock behind
    EXPECT_TRUE(f.port.IsConnected());
}

TEST(PtyPort, ChunksArriveInOrderWithNothingLostOrRepeated) {
    Fixture f;
    ASSERT_TRUE(f.pty.Ok());
    f.port.Open();
    std::size_t chunks = 0, largest = 0;
    f.port.OnReceive = [&](TZylSerialPort* sender, const ByteString& b) {
        EXPECT_EQ(sender->ReadBuffer(), b);
        f.received += b;
        ++chunks;
        largest = std::max(largest, b.size());
        if (chunks % 4 == 0) std::this_thread::sleep_for(2ms);  // a slow handler now and then
    };
    const std::string data = Pattern(1 << 20);
    std::thread writer([&] { f.pty.Write(data); });
    const bool all = f.PumpUntil([&] { return f.received.size() >= data.size(); }, 60000);
    writer.join();
    ASSERT_TRUE(all) << f.received.size() << " of " << data.size();
    EXPECT_EQ(f.received.size(), data.size());
    EXPECT_TRUE(f.received == data) << "bytes reordered or altered";
    EXPECT_GT(chunks, 1u);
    EXPECT_LE(largest, 16384u);
}

TEST(PtyPort, SendsReachTheLineWithOnSend) {
    // Outlives the port: its destructor joins the sending thread, whose OnSend writes here.
    std::string sent;
    Fixture f;
    ASSERT_TRUE(f.pty.Ok());
    f.port.Open();
    f.port.OnSend = [&](TZylSerialPort*, const ByteString& b) { sent += b; };

    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(f.port.SendData(reinterpret_cast<const uint8_t*>(all.data()), 256), 256);
    EXPECT_EQ(f.port.SendChar('\xA5'), 1);
    EXPECT_EQ(f.port.SendWord(0x1234), 2);
    EXPECT_EQ(f.port.SendString(std::string("ab\0cd", 5)), 2);
    EXPECT_EQ(f.port.SendString(""), 0);
    const std::string expect = all + "\xA5" + "\x34\x12" + "ab";
    EXPECT_EQ(f.pty.Read(expect.size()), expect);
    EXPECT_EQ(sent, expect);
    EXPECT_FALSE(f.port.IsSending());

    // Zero bytes is refused even on an open port.
    try {
        f.port.SendData(reinterpret_cast<const uint8_t*>(all.data()), 0);
        ADD_FAILURE() << "0-byte send accepted";
    } catch (const EZylSerialPortException& e) {
        EXPECT_EQ(std::string(e.what()), f.pty.Slave() + " is not open. Serial port is not connected.");
    }

    f.port.SendCharsOnNewThread(std::string("\0xy", 3));
    EXPECT_EQ(f.pty.Read(3), std::string("\0xy", 3));
}

// The largest write time-outs wait as long as it takes: a write that has to wait for room on the
// line still writes everything (the total once overflowed into a deadline already past).
TEST(PtyPort, LargestWriteTimeoutsStillWriteEverything) {
    const struct {
        uint32_t multiplier, constant;
    } rows[] = {{0xFFFFFFFFu, 0xFFFFFFFFu}, {0xFFFFFFFFu, 0}, {0, 0xFFFFFFFFu}};
    // Far more than a pty holds; at this size the old deadline also wrapped round into the past.
    const std::string data = Pattern(300000);
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.multiplier) + " x bytes + " + std::to_string(row.constant));
        Fixture f;
        ASSERT_TRUE(f.pty.Ok());
        f.port.SetWriteTotalTimeoutMultiplier(row.multiplier);
        f.port.SetWriteTotalTimeoutConstant(row.constant);
        f.port.Open();
        std::string got;
        std::thread reader([&] {
            std::this_thread::sleep_for(200ms);  // the writer finds the line full first
            got = f.pty.Read(data.size(), 30000);
        });
        const int32_t n = f.port.SendData(reinterpret_cast<const uint8_t*>(data.data()), static_cast<uint32_t>(data.size()));
        reader.join();
        EXPECT_EQ(n, static_cast<int32_t>(data.size()));
        EXPECT_TRUE(got == data) << got.size() << " of " << data.size() << " bytes";
    }
}

// A line that takes nothing more (a stalled driver) ends a write that has no total time-out once
// nothing has gone out for a while, with what it took: the one who waits is the UI thread.
TEST(PtyPort, StalledLineEndsAWriteThatHasNoTimeOut) {
    Fixture f;
    ASSERT_TRUE(f.pty.Ok());
    f.port.SetWriteTotalTimeoutConstant(0);
    f.port.SetWriteTotalTimeoutMultiplier(0);
    f.port.Open();
    const std::string data = Pattern(300000);  // more than a pty holds, and nobody reads it
    const Watchdog watchdog(20s, "a write to a stalled line");
    const auto start = Clock::now();
    const int32_t n = f.port.SendData(reinterpret_cast<const uint8_t*>(data.data()), static_cast<uint32_t>(data.size()));
    EXPECT_TRUE(n > 0 && n < static_cast<int32_t>(data.size())) << n;
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(kStalledWriteMs));
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(kStalledWriteMs) + 3s);
}

TEST(PtyPort, HangUpEndsTheConnectionWithoutSpinning) {
    Fixture f;
    ASSERT_TRUE(f.pty.Ok());
    const int threadsBefore = ThreadCount();
    f.port.Open();
    EXPECT_EQ(ThreadCount(), threadsBefore + 1);
    f.pty.Write("last words");
    ASSERT_TRUE(f.PumpUntil([&] { return f.received == "last words"; }));
    f.pty.CloseMaster();  // the adapter is pulled

    ASSERT_TRUE(f.PumpUntil([&] { return !f.port.IsConnected(); }));
    EXPECT_EQ(f.disconnects, std::vector<TCommPort>{spCustom});
    EXPECT_EQ(f.received, "last words");
    EXPECT_TRUE(f.WaitUnpumped([&] { return ThreadCount() == threadsBefore; }, 5s)) << "receive thread still running";

    const uint8_t byte = 1;
    EXPECT_THROW(f.port.SendData(&byte, 1), EZylSerialPortException);
    const auto start = Clock::now();
    f.port.Close();
    EXPECT_LT(Clock::now() - start, 1s);
    EXPECT_EQ(f.disconnects.size(), 1u);
}

// The disconnect handler may close the port and open it anew, whether the line went away or the
// port's own Close raised it: the new connection stays, and the Close that raised it returns.
TEST(PtyPort, ClosingAndReopeningInsideTheDisconnectHandler) {
    for (const bool lineLost : {true, false}) {
        SCOPED_TRACE(lineLost ? "line lost" : "port closed");
        Fixture f;
        ASSERT_TRUE(f.pty.Ok());
        Pty spare;
        ASSERT_TRUE(spare.Ok());
        bool connectedAfterClose = true;
        f.port.OnDisconnect = [&](TZylSerialPort* sender, TCommPort p) {
            f.disconnects.push_back(p);
            if (f.disconnects.size() > 1) return;
            sender->Close();
            connectedAfterClose = sender->IsConnected();
            sender->SetCustomPortName(spare.Slave());
            sender->Open();
        };
        f.port.Open();
        if (lineLost) {
            f.pty.CloseMaster();
            ASSERT_TRUE(f.PumpUntil([&] { return !f.disconnects.empty(); }));
        } else {
            Watchdog watchdog(30s, "Close with a handler that reopens");
            f.port.Close();
            EXPECT_EQ(f.disconnects.size(), 1u);
        }
        EXPECT_FALSE(connectedAfterClose);
        f.host.PumpUntil([] { return false; }, 100);  // the old thread ends meanwhile
        EXPECT_TRUE(f.port.IsConnected()) << "the old thread's end undid the new connection";
        EXPECT_EQ(f.connects.size(), 2u);
        spare.Write("new line");
        ASSERT_TRUE(f.PumpUntil([&] { return f.received == "new line"; }));
        f.port.Close();
        EXPECT_EQ(f.disconnects.size(), 2u);
    }
}

// A handler that only closes retires the stopping thread; an event served later in the same wait
// may then reap it, and the Close that raised the handler must not touch it after that.
TEST(PtyPort, ClosingInsideTheDisconnectHandlerOfAClose) {
    Fixture f;
    ASSERT_TRUE(f.pty.Ok());
    const int threadsBefore = ThreadCount();
    bool reaped = false;
    f.port.OnDisconnect = [&](TZylSerialPort* sender, TCommPort p) {
        f.disconnects.push_back(p);
        sender->Close();
        f.host.Post([&] {
            // The old thread ends once the handler has returned; the next call lets it go.
            reaped = f.WaitUnpumped([&] { return ThreadCount() == threadsBefore; }, 5s);
            f.port.Close();
        });
    };
    f.port.Open();
    f.port.Close();
    EXPECT_TRUE(reaped);
    EXPECT_FALSE(f.port.IsConnected());
    EXPECT_EQ(f.disconnects.size(), 1u);

    f.port.OnDisconnect = [&](TZylSerialPort*, TCommPort p) { f.disconnects.push_back(p); };
    f.port.Open();  // the device was given back
    EXPECT_TRUE(f.port.IsConnected());
    f.port.Close();
    EXPECT_EQ(f.disconnects.size(), 2u);
}

TEST(PtyPort, CloseServesAHandOverThatIsAlreadyWaiting) {
    Fixture f;
    ASSERT_TRUE(f.pty.Ok());
    f.port.Open();
    f.pty.Write("pending");
    // Nobody pumps: the receive thread now waits in its hand-over.
    ASSERT_TRUE(f.WaitUnpumped([&] { return f.port.IsReceiving(); }));
    const auto start = Clock::now();
    f.port.Close();
    EXPECT_LT(Clock::now() - start, 5s);
    EXPECT_EQ(f.received, "pending");
    EXPECT_FALSE(f.port.IsConnected());
    EXPECT_EQ(f.disconnects.size(), 1u);
}

TEST(PtyPort, CloseFromInsideTheReceiveHandler) {
    Fixture f;
    ASSERT_TRUE(f.pty.Ok());
    f.port.Open();
    bool connectedAfterClose = true;
    f.port.OnReceive = [&](TZylSerialPort* sender, const ByteString& b) {
        f.received += b;
        sender->Close();
        connectedAfterClose = sender->IsConnected();
    };
    f.pty.Write("bye");
    ASSERT_TRUE(f.PumpUntil([&] { return !f.received.empty(); }));
    EXPECT_FALSE(connectedAfterClose);
    EXPECT_EQ(f.disconnects.size(), 1u);
    f.host.PumpUntil([] { return false; }, 100);
    EXPECT_EQ(f.disconnects.size(), 1u);

    f.port.OnReceive = [&](TZylSerialPort*, const ByteString& b) { f.received += b; };
    f.port.Open();  // the device was given back
    EXPECT_TRUE(f.port.IsConnected());
    f.port.Close();
}

TEST(PtyPort, DestroyingTheComponentMidHandOverNeitherHangsNorCallsBack) {
    test::FakeUiHost host(test::FakeUiHost::Clock::Real);
    Pty pty;
    ASSERT_TRUE(pty.Ok());
    int calls = 0;
    {
        TZylSerialPort port(host);
        port.SetCustomPortName(pty.Slave());
        port.SetPort(spCustom);
        port.SetDelay(0);
        port.OnReceive = [&](TZylSerialPort*, const ByteString&) { ++calls; };
        port.OnDisconnect = [&](TZylSerialPort*, TCommPort) { ++calls; };
        port.Open();
        pty.Write("data");
        const auto end = Clock::now() + 10s;
        while (!port.IsReceiving() && Clock::now() < end) std::this_thread::sleep_for(1ms);
        ASSERT_TRUE(port.IsReceiving());
    }
    EXPECT_EQ(calls, 0);
}

// Handlers run on the UI thread, or with NeedSynchronization false on the receive thread; in
// both, one that throws must not strand the thread or lose the next chunk.
TEST(PtyPort, HandlerThreadAndAThrowingHandler) {
    for (const bool sync : {true, false}) {
        Fixture f;
        ASSERT_TRUE(f.pty.Ok());
        f.port.NeedSynchronization = sync;
        std::atomic<int> chunks{0};
        std::atomic<bool> onTestThread{false};
        f.port.OnReceive = [&](TZylSerialPort*, const ByteString&) {
            onTestThread = std::this_thread::get_id() == f.testThread;
            ++chunks;
            throw EZylSerialPortException("handler failed");
        };
        f.port.OnDisconnect = [&](TZylSerialPort*, TCommPort) { throw std::runtime_error("also failed"); };
        f.port.Open();
        f.pty.Write("a");
        if (!sync) {  // delivered without anyone pumping
            ASSERT_TRUE(f.WaitUnpumped([&] { return chunks == 1; }));
        }
        ASSERT_TRUE(f.PumpUntil([&] { return chunks == 1; })) << "sync " << sync;
        EXPECT_EQ(onTestThread, sync);
        f.pty.Write("b");
        ASSERT_TRUE(f.PumpUntil([&] { return chunks == 2; })) << "sync " << sync;
        f.pty.CloseMaster();
        ASSERT_TRUE(f.PumpUntil([&] { return !f.port.IsConnected(); })) << "sync " << sync;
        f.port.Close();
    }
}

TEST(PtyPort, ReceiveLogAppendsEachChunk) {
    namespace fs = std::filesystem;
    const fs::path log = fs::temp_directory_path() / ("korvel_rx_" + std::to_string(::getpid()) + ".log");
    fs::remove(log);
    Fixture f;
    ASSERT_TRUE(f.pty.Ok());
    f.port.LogInput = true;
    f.port.LogFile = log.string();
    f.port.Open();
    f.pty.Write(std::string("\x10\x02\0A", 4));
    ASSERT_TRUE(f.PumpUntil([&] { return f.received.size() == 4; }));
    f.port.Close();
    auto read = [&] {
        std::ifstream in(log, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_EQ(read(), std::string("\x10\x02\0A", 4));

    // With date and time every chunk is one line; a bad log name does not stop the data.
    f.port.LogDateTime = true;
    f.port.Open();
    f.pty.Write("B");
    ASSERT_TRUE(f.PumpUntil([&] { return f.received.size() == 5; }));
    f.port.LogFile = "/nonexistent-dir/korvel.log";
    f.pty.Write("C");
    ASSERT_TRUE(f.PumpUntil([&] { return f.received.size() == 6; }));
    f.port.Close();
    const std::string text = read();
    ASSERT_GE(text.size(), 7u);
    EXPECT_EQ(text.substr(text.size() - 4), " B\r\n");
    fs::remove(log);
}

}  // namespace
}  // namespace korvel
