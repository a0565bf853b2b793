// The stand-in checked against a peer written here from the line rules alone (bitwise check
// value, own stuffing), so a fault shared by the stand-in and the tool's codec cannot hide.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "board_sim.h"

using korvel::sim::BoardSim;
using korvel::sim::BoardSimOptions;

namespace {

using Bytes = std::vector<uint8_t>;

// The board's check value, bit by bit: shift left by a byte, then fold the reflected
// polynomial 0xA001 over the index byte eight times.
uint16_t PeerCrc(const Bytes& data) {
    uint16_t crc = 0;
    for (uint8_t b : data) {
        uint16_t t = static_cast<uint8_t>((crc >> 8) ^ b);
        for (int i = 0; i < 8; ++i) t = (t & 1) ? static_cast<uint16_t>((t >> 1) ^ 0xA001) : static_cast<uint16_t>(t >> 1);
        crc = static_cast<uint16_t>((crc << 8) ^ t);
    }
    return crc;
}

Bytes PeerFrame(const Bytes& block) {
    Bytes f{0xFF, 0x10, 0x02};
    auto put = [&](uint8_t b) {
        if (b == 0x10) f.push_back(0x10);
        f.push_back(b);
    };
    for (uint8_t b : block) put(b);
    const uint16_t c = PeerCrc(block);
    put(static_cast<uint8_t>(c));
    put(static_cast<uint8_t>(c >> 8));
    f.push_back(0x10);
    f.push_back(0x03);
    return f;
}

// Splits a byte stream into the blocks of its valid frames; counts the bad ones.
struct PeerDeframer {
    std::vector<Bytes> blocks;
    int bad = 0;
    void Feed(const Bytes& in) {
        for (uint8_t b : in) {
            if (!inFrame) {
                if (prevDle && b == 0x02) {
                    inFrame = true;
                    cur.clear();
                }
                prevDle = !inFrame && b == 0x10;
                continue;
            }
            if (prevDle) {
                prevDle = false;
                if (b == 0x10) {
                    cur.push_back(0x10);
                } else if (b == 0x03) {
                    inFrame = false;
                    if (cur.size() >= 2) {
                        const uint16_t got = static_cast<uint16_t>(cur[cur.size() - 2] | (cur.back() << 8));
                        cur.pop_back();
                        cur.pop_back();
                        if (PeerCrc(cur) == got) {
                            blocks.push_back(cur);
                            continue;
                        }
                    }
                    ++bad;
                } else {
                    inFrame = false;
                    ++bad;
                }
            } else if (b == 0x10) {
                prevDle = true;
            } else {
                cur.push_back(b);
            }
        }
    }
    bool inFrame = false;
    bool prevDle = false;
    Bytes cur;
};

int OpenRaw(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return fd;
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
    return fd;
}

void WriteAll(int fd, const Bytes& b) {
    size_t off = 0;
    while (off < b.size()) {
        const ssize_t w = ::write(fd, b.data() + off, b.size() - off);
        ASSERT_GT(w, 0);
        off += static_cast<size_t>(w);
    }
}

// Reads into the deframer until pred holds or the time is up.
template <typename Pred>
bool ReadUntil(int fd, PeerDeframer& d, Pred pred, int timeoutMs, Bytes* raw = nullptr) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
        if (left <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
        uint8_t buf[1024];
        const ssize_t r = ::read(fd, buf, sizeof buf);
        if (r <= 0) return pred();
        Bytes chunk(buf, buf + r);
        if (raw) raw->insert(raw->end(), chunk.begin(), chunk.end());
        d.Feed(chunk);
    }
    return true;
}

bool HasBlockStarting(const PeerDeframer& d, uint8_t id) {
    for (const auto& b : d.blocks)
        if (!b.empty() && b[0] == id) return true;
    return false;
}

}  // namespace

TEST(PeerRules, CheckValuesAndStuffing) {
    EXPECT_EQ(PeerCrc({'1', '2', '3', '4', '5', '6', '7', '8', '9'}), 0x9540);
    EXPECT_EQ(PeerCrc({'a', 'b', 'c'}), 0x82C0);
    EXPECT_EQ(PeerFrame({0x3F}), (Bytes{0xFF, 0x10, 0x02, 0x3F, 0x40, 0x10, 0x10, 0x10, 0x03}));
    EXPECT_EQ(PeerFrame({0x10, 0x20}), (Bytes{0xFF, 0x10, 0x02, 0x10, 0x10, 0x20, 0x01, 0x8C, 0x10, 0x03}));
}

TEST(BoardSimPeer, AnswersServiceRequestsInProgramMode) {
    BoardSimOptions o;
    o.program = true;
    o.reportMs = 100;
    BoardSim board(o);
    const int fd = OpenRaw(board.Start());
    ASSERT_GE(fd, 0);
    PeerDeframer d;
    Bytes raw;
    // It asks "Are you there ?" by itself and sends reports of 112 bytes.
    ASSERT_TRUE(ReadUntil(fd, d, [&] { return HasBlockStarting(d, 48) && HasBlockStarting(d, 16); }, 3000, &raw));
    for (const auto& b : d.blocks)
        if (b[0] == 16) {
            EXPECT_EQ(b.size(), 112u);
            EXPECT_GE(b[6], 120);
        }
    EXPECT_EQ(raw[0], 0xFF);

    struct Row {
        Bytes request;
        uint8_t answer;
        size_t size;
    } rows[] = {
        {{0xA0}, 32, 1},
        {{0xA5, 0x10, 0x00, 0x9C, 0xFF}, 37, 1},  // stores -100 at address 16 (a stuffed byte)
        {{0xA6}, 38, 231},
        {{0xA7}, 39, 231},
        {{0xA1}, 33, 13},
        {{0xA2}, 34, 1},
        {{0xA4}, 36, 1},
    };
    for (const auto& r : rows) {
        d.blocks.clear();
        WriteAll(fd, PeerFrame(r.request));
        ASSERT_TRUE(ReadUntil(fd, d, [&] { return HasBlockStarting(d, r.answer); }, 3000)) << int(r.request[0]);
        for (const auto& b : d.blocks)
            if (b[0] == r.answer) {
                EXPECT_EQ(b.size(), r.size) << int(r.answer);
                if (r.answer == 38 || r.answer == 39) {
                    EXPECT_EQ(b[17], 0x9C);
                    EXPECT_EQ(b[18], 0xFF);
                }
            }
    }
    EXPECT_TRUE(board.InServiceMode());
    EXPECT_EQ(d.bad, 0);
    ::close(fd);
}

TEST(BoardSimPeer, AtRunItAsksNothingAndAnswersNoServiceRequest) {
    BoardSimOptions o;
    o.reportMs = 50;
    BoardSim board(o);
    const int fd = OpenRaw(board.Start());
    ASSERT_GE(fd, 0);
    WriteAll(fd, PeerFrame({0xA0}));
    WriteAll(fd, PeerFrame({0xA6}));
    PeerDeframer d;
    ReadUntil(fd, d, [] { return false; }, 1300);
    ASSERT_FALSE(d.blocks.empty());
    for (const auto& b : d.blocks) EXPECT_EQ(b[0], 16);
    EXPECT_EQ(board.ReceivedBlocks().size(), 2u);
    EXPECT_FALSE(board.InServiceMode());
    ::close(fd);
}

TEST(BoardSimPeer, LoaderStoresChunksThenReturnsToFrames) {
    BoardSimOptions o;
    o.program = true;
    o.reportMs = 20;
    BoardSim board(o);
    const int fd = OpenRaw(board.Start());
    ASSERT_GE(fd, 0);
    // Junk and a wrong magic word do not start the loader.
    WriteAll(fd, PeerFrame({0xA3, 'K', 'I', 'C', 'K', 'O', 'F', 'X'}));
    const Bytes start = PeerFrame({0xA3, 'K', 'I', 'C', 'K', 'O', 'F', 'F'});
    WriteAll(fd, start);
    PeerDeframer d;
    ASSERT_TRUE(ReadUntil(fd, d, [&] { return board.InLoader(); }, 2000));
    // A session abandoned in the middle of a chunk leaves nothing behind for the next one.
    WriteAll(fd, {'X'});
    WriteAll(fd, Bytes(64 * 10 + 30, 0xEE));
    ASSERT_TRUE(ReadUntil(fd, d, [&] { return board.LoaderChunksReceived() == 10; }, 2000));
    WriteAll(fd, start);
    ASSERT_TRUE(ReadUntil(fd, d, [&] { return board.ReceivedBlocks().size() == 3; }, 2000))
        << "a start block in the middle of a session was not seen";
    EXPECT_EQ(board.LoaderChunksReceived(), 0u);
    EXPECT_TRUE(board.InLoader());
    ReadUntil(fd, d, [] { return false; }, 100);  // frames and old "A"s still in flight
    WriteAll(fd, {'Q', 0x41, 'X'});  // bytes before the X are ignored
    uint32_t sent = 0;
    Bytes pending;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (sent < 480 && std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        uint8_t buf[256];
        const ssize_t r = ::read(fd, buf, sizeof buf);
        ASSERT_GT(r, 0);
        for (ssize_t i = 0; i < r; ++i) {
            if (buf[i] != 'A') continue;  // report bytes still in flight are not "A" releases
            Bytes chunk(64);
            for (uint32_t j = 0; j < 64; ++j) chunk[j] = static_cast<uint8_t>(sent + j);
            WriteAll(fd, chunk);
            ++sent;
        }
    }
    ASSERT_EQ(sent, 480u);
    PeerDeframer after;
    ASSERT_TRUE(ReadUntil(fd, after, [&] { return HasBlockStarting(after, 16); }, 3000));
    EXPECT_TRUE(board.LoaderDone());
    EXPECT_EQ(board.LoaderChunksReceived(), 480u);
    const Bytes image = board.LoaderImage();
    ASSERT_EQ(image.size(), 30720u);
    for (uint32_t c : {0u, 10u, 479u}) {
        EXPECT_EQ(image[64 * c], static_cast<uint8_t>(c)) << c;
        EXPECT_EQ(image[64 * c + 63], static_cast<uint8_t>(c + 63)) << c;
    }
    ::close(fd);
}

// Paced, the stand-in takes bytes off the line no faster than 9600 baud delivers them, so a sender
// writing flat out is held back by the full line, as on a real one, instead of growing the stand-in.
TEST(BoardSimPeer, PacedLineHoldsBackAFastSender) {
    BoardSimOptions o;
    o.pace = true;
    o.reportMs = 0;
    BoardSim board(o);
    const int fd = OpenRaw(board.Start());
    ASSERT_GE(fd, 0);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    const Bytes junk(4096, 0x55);
    size_t accepted = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (std::chrono::steady_clock::now() < end && accepted < (4u << 20)) {
        const ssize_t w = ::write(fd, junk.data(), junk.size());
        if (w > 0)
            accepted += static_cast<size_t>(w);
        else
            ::usleep(1000);
    }
    // A second of wire is 873 bytes; the rest is what the pty itself holds (18 kB on Linux).
    EXPECT_LT(accepted, 64u * 1024) << "the stand-in read faster than the wire delivers";
    EXPECT_GT(accepted, 0u);
    ::close(fd);
}

// It keeps only the latest blocks it received, so a long session does not grow it.
TEST(BoardSimPeer, KeepsOnlyTheLatestReceivedBlocks) {
    BoardSimOptions o;
    o.reportMs = 0;
    BoardSim board(o);
    const int fd = OpenRaw(board.Start());
    ASSERT_GE(fd, 0);
    const uint32_t sent = korvel::sim::kReceivedBlocksKept + 100;
    auto block = [](uint32_t i) { return Bytes{0x7E, static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8)}; };
    Bytes all;
    for (uint32_t i = 0; i < sent; ++i) {
        const Bytes f = PeerFrame(block(i));
        all.insert(all.end(), f.begin(), f.end());
    }
    WriteAll(fd, all);
    std::vector<Bytes> got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
        got = board.ReceivedBlocks();
        if (!got.empty() && got.back() == block(sent - 1)) break;
        ::usleep(10000);
    }
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.back(), block(sent - 1));
    ASSERT_EQ(got.size(), korvel::sim::kReceivedBlocksKept);
    EXPECT_EQ(got.front(), block(100));
    ::close(fd);
}

// When its thread cannot start, Start gives back the pty and the wake-up pipe it opened.
TEST(BoardSimStart, GivesItsDescriptorsBackWhenTheThreadCannotStart) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // In the child: no new thread may start. Root ignores the limit, so it steps down first.
        auto openFds = [] {
            int n = 0;
            for (int fd = 0; fd < 1024; ++fd) n += ::fcntl(fd, F_GETFD) != -1;
            return n;
        };
        const rlimit none{0, 0};
        if (::setrlimit(RLIMIT_NPROC, &none) != 0) ::_exit(3);
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
        BoardSim board(BoardSimOptions{});
        const int before = openFds();
        try {
            board.Start();
            ::_exit(2);
        } catch (const std::exception&) {
        }
        ::_exit(openFds() == before ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    const int code = WEXITSTATUS(status);
    EXPECT_NE(code, 2) << "the thread started despite the limit";
    EXPECT_NE(code, 3) << "could not set the limit";
    EXPECT_EQ(code, 0) << "descriptors left open";
}

TEST(BoardSimProgram, PrintsThePortAndStopsOnSignal) {
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::execl(KORVEL_BIN_DIR "/korvel-board-sim", "korvel-board-sim", "--program", "--report-ms", "0", "--pace",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    std::string line;
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;
    ::close(out[0]);
    ASSERT_EQ(line.rfind("/dev/", 0), 0u) << line;
    const int fd = OpenRaw(line);
    ASSERT_GE(fd, 0);
    PeerDeframer d;
    EXPECT_TRUE(ReadUntil(fd, d, [&] { return HasBlockStarting(d, 48); }, 3000));
    // Paced: the 231-byte NVM answer takes its wire time (>= 233 bytes x 1.146 ms).
    WriteAll(fd, PeerFrame({0xA0}));
    WriteAll(fd, PeerFrame({0xA6}));
    const auto t0 = std::chrono::steady_clock::now();
    d.blocks.clear();
    ASSERT_TRUE(ReadUntil(fd, d, [&] { return HasBlockStarting(d, 38); }, 5000));
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(265));
    ::close(fd);
    ::kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
