#include "board_sim.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <random>
#include <stdexcept>
#include <thread>

#include "capture/line_record.h"
#include "comms/frame_codec.h"
#include "korvel_version.h"
#include "messages/message_ids.h"
#include "settings/nvm_parameters.h"

namespace korvel::sim {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::nanoseconds;

constexpr nanoseconds kByteTime{kByteWireTimeNs};
constexpr size_t kOutLimit = 64 * 1024;  // bytes waiting for a reader; later frames are dropped
// Paced: bytes taken off the pty ahead of their wire time. Small, so the pty's own buffer fills and
// holds a fast sender back as a real line does; large enough to keep the line busy between wakes.
constexpr size_t kInAhead = 16;
constexpr char kMagic[] = "KICKOFF";

void PutStuffed(std::vector<uint8_t>& f, uint8_t b) {
    if (b == DLE_CHAR) f.push_back(DLE_CHAR);
    f.push_back(b);
}

// A frame whose check value is off by a flipped bit, to exercise the tool's check-error path.
std::vector<uint8_t> CorruptFrame(const std::vector<uint8_t>& block) {
    std::vector<uint8_t> f{PREAMBLE_CHAR, DLE_CHAR, STX_CHAR};
    for (uint8_t b : block) PutStuffed(f, b);
    const uint16_t crc = CalcCRC(block.data(), static_cast<uint16_t>(block.size())) ^ 0x0101;
    PutStuffed(f, static_cast<uint8_t>(crc & 0xFF));
    PutStuffed(f, static_cast<uint8_t>(crc >> 8));
    f.push_back(DLE_CHAR);
    f.push_back(ETX_CHAR);
    return f;
}

void PutLe16(std::vector<uint8_t>& b, size_t off, int32_t v) {
    b[off] = static_cast<uint8_t>(v & 0xFF);
    b[off + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}

// A value that wanders around a centre and is pulled back to it, so it looks like a sensor.
struct Drift {
    double centre, spread, value;
    void Step(std::mt19937& rng) {
        std::normal_distribution<double> n(0.0, spread * 0.05);
        value += n(rng) + (centre - value) * 0.05;
        value = std::clamp(value, centre - spread, centre + spread);
    }
};

}  // namespace

struct BoardSim::Impl {
    explicit Impl(BoardSimOptions o)
        : options(o), program(o.program), silent(o.silent), loaderImage(kLoaderChunks * kLoaderChunkSize, 0xFF),
          nvm(StartNvm()), rng(o.seed) {}

    BoardSimOptions options;
    std::atomic<bool> program;
    std::atomic<bool> silent;
    std::atomic<bool> stop{false};
    std::atomic<bool> hangUpRequested{false};
    int master = -1;
    int slave = -1;  // kept open so the line stays up while no tool has the port open
    int wake[2] = {-1, -1};
    std::thread thread;

    mutable std::mutex m;  // guards the observations below
    std::deque<std::vector<uint8_t>> received;  // the latest kReceivedBlocksKept
    std::vector<uint8_t> loaderImage;
    uint32_t chunks = 0;
    bool loaderDone = false;
    bool inService = false;
    bool inLoader = false;
    uint32_t reportsSent = 0;
    std::vector<uint8_t> nvm;

    // Owned by the thread.
    std::mt19937 rng;
    TFrameDecoder decoder;
    enum class Mode { Normal, LoaderWaitX, LoaderChunks } mode = Mode::Normal;
    std::vector<uint8_t> chunk;
    uint32_t sessions = 0;  // loader sessions started
    std::deque<uint8_t> out;
    Clock::time_point outDue{};     // paced: when the head of `out` has crossed the wire
    Clock::time_point outLineFree{};
    std::deque<std::pair<Clock::time_point, uint8_t>> in;  // paced: bytes still on the wire
    Clock::time_point inLineFree{};
    Clock::time_point started, nextReport, nextAsk, lastKeepAlive;
    uint32_t answers = 0;
    uint32_t writes = 0;  // write requests 165 seen
    bool serviceSeen = false;  // the thread's copy of inService, for its own timing
    uint8_t state = 1;
    uint8_t flags47 = 0x14, flags49 = 0;
    Drift ret{3500, 500, 3500}, outside{50, 40, 50}, room{20.0 * 256, 256, 20.0 * 256}, refrig{150, 80, 150};
    std::unique_ptr<TLineRecord> record;  // with a capture file only

    // Replay: the clock starts when the line is opened; the cursors move through the recording.
    bool replayStarted = false;
    Clock::time_point replayStart{};
    size_t nextUnsolicited = 0;
    size_t nextExchange = 0;
    bool replayEndTold = false;

    void Run();
    void CloseLine();
    void CloseAll();  // the line and the wake-up pipe; the thread is not running
    void Queue(const std::vector<uint8_t>& bytes);
    void SendBlock(const std::vector<uint8_t>& block);
    void Answer(std::vector<uint8_t> block);
    void OnBlock();
    void StartLoader();
    void OnByte(uint8_t b);
    void Receive(Clock::time_point now);
    void SendReport();
    void Flush(Clock::time_point now);
    int TimeoutMs(Clock::time_point now) const;
    void Note(const std::string& text) const;
    uint32_t Speed() const;
    Clock::time_point ReplayDue(size_t i) const;
    void Replay(Clock::time_point now);
    void ReplayRequest(const std::vector<uint8_t>& block);
};

void BoardSim::Impl::Note(const std::string& text) const {
    if (options.note)
        options.note(text);
    else
        std::fprintf(stderr, "korvel-board-sim: %s\n", text.c_str());
}

uint32_t BoardSim::Impl::Speed() const {
    termios t{};
    if (slave < 0 || ::tcgetattr(slave, &t) != 0) return 0;
    return ::cfgetospeed(&t) == B9600 ? 9600 : 0;
}

Clock::time_point BoardSim::Impl::ReplayDue(size_t i) const {
    const double us = static_cast<double>(options.replay->Unsolicited[i].AtUs) / options.speed;
    return replayStart + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::micro>(us));
}

void BoardSim::Impl::Replay(Clock::time_point now) {
    const TReplayScript& script = *options.replay;
    if (!replayStarted) {
        // A program that opens the port sets it to 9600 baud (ser2net in front of it too); until
        // then nobody would hear what is played.
        if (master < 0 || Speed() != 9600) return;
        replayStarted = true;
        replayStart = now;
        if (script.LoaderPackets > 0)
            Note("replay: de firmwarelader in de opname wordt niet afgespeeld (pakketten: " +
                 std::to_string(script.LoaderPackets) + ")");
    }
    while (nextUnsolicited < script.Unsolicited.size() && ReplayDue(nextUnsolicited) <= now)
        Queue(script.Unsolicited[nextUnsolicited++].Wire);
    if (!replayEndTold && nextUnsolicited == script.Unsolicited.size() && nextExchange == script.Exchanges.size()) {
        replayEndTold = true;
        Note("replay: de opname is helemaal afgespeeld");
    }
}

void BoardSim::Impl::ReplayRequest(const std::vector<uint8_t>& block) {
    const auto& exchanges = options.replay->Exchanges;
    if (nextExchange < exchanges.size() && exchanges[nextExchange].Request == block) {
        for (const auto& answer : exchanges[nextExchange].Answers) Queue(answer);
        ++nextExchange;
        return;
    }
    Note("replay: verzoek " + RequestText(block) + " niet beantwoord: de opname heeft als volgende " +
         (nextExchange < exchanges.size() ? "verzoek " + RequestText(exchanges[nextExchange].Request)
                                          : std::string("geen verzoek meer")));
}

void BoardSim::Impl::CloseLine() {
    if (record) record->LineClosed();
    if (master >= 0) ::close(master);
    if (slave >= 0) ::close(slave);
    master = slave = -1;
    out.clear();
    in.clear();
}

void BoardSim::Impl::CloseAll() {
    CloseLine();
    for (int& fd : wake) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

void BoardSim::Impl::Queue(const std::vector<uint8_t>& bytes) {
    if (silent || master < 0) return;
    if (out.size() + bytes.size() > kOutLimit) return;  // nobody reads: drop, never grow
    if (record) record->Record(TLineDirection::Inbound, bytes, CaptureNowUs());
    out.insert(out.end(), bytes.begin(), bytes.end());
}

void BoardSim::Impl::SendBlock(const std::vector<uint8_t>& block) {
    Queue(EncodeFrame(block.data(), static_cast<uint32_t>(block.size())));
}

void BoardSim::Impl::Answer(std::vector<uint8_t> block) {
    ++answers;
    if (answers == options.dropAnswer) return;
    if (answers == options.corruptAnswer)
        Queue(CorruptFrame(block));
    else
        SendBlock(block);
}

void BoardSim::Impl::OnBlock() {
    // InputCount >= 2 here; the block proper excludes its two check bytes.
    const uint32_t n = decoder.InputCount - 2;
    std::vector<uint8_t> block(decoder.InputData.begin(), decoder.InputData.begin() + n);
    const bool start = block.size() >= 8 && block[0] == P2KBLASTFW && std::memcmp(block.data() + 1, kMagic, 7) == 0;
    // The loader knows only its start block; other frames in its data are no blocks to it.
    if (mode != Mode::Normal && !start) return;
    {
        std::lock_guard lock(m);
        received.push_back(block);
        if (received.size() > kReceivedBlocksKept) received.pop_front();
    }
    if (options.replay) {
        ReplayRequest(block);
        return;
    }
    if (block.empty() || !program) return;
    const auto now = Clock::now();
    {
        // Any request keeps service mode, as the tool's keep-alive counts from any traffic.
        std::lock_guard lock(m);
        if (inService) lastKeepAlive = now;
    }
    std::vector<uint8_t> image;
    switch (block[0]) {
        case P2KSETCOMMAND: {
            std::lock_guard lock(m);
            inService = true;
            lastKeepAlive = now;
        }
            Answer({K2PRSETCOMMAND});
            break;
        case P2KGETSERNUM:
            Answer({K2PRGETSERNUM, 0, 0, 0, 0, 0x01, 0x00, 0x00, 0x80, 0x2A, 0x00, 0x00, 0x00});
            break;
        case P2KGETRT:
            Answer({K2PRGETRT});
            break;
        case P2KGETFLASH:
            Answer({K2PRGETFLASH});
            break;
        case P2KBLASTFW:
            if (!start) return;
            Answer({K2PRBLASTFW});
            StartLoader();
            break;
        case P2KSETNVM: {
            if (block.size() < 5) return;
            // As if the request was lost on the line: the word stays as it was.
            if (++writes == options.dropWrite) return;
            const uint32_t addr = block[1] | (block[2] << 8);
            int32_t word = block[3] | (block[4] << 8);
            if (options.storeWrong && addr == *options.storeWrong) ++word;
            {
                std::lock_guard lock(m);
                if (addr + 1 < nvm.size()) PutLe16(nvm, addr, word);
            }
            Answer({K2PRSETNVM});
            break;
        }
        case P2KFLASHNVM:
            if (options.dropStore) return;
            [[fallthrough]];
        case P2KGETNVM: {
            std::lock_guard lock(m);
            image = nvm;
        }
            image.insert(image.begin(), block[0] == P2KGETNVM ? K2PRGETNVM : K2PRFLASHNVM);
            Answer(image);
            break;
        default:
            break;
    }
}

// Every session starts from nothing: what a finished or abandoned one left would shift this one's
// chunks, and past the last chunk off the end of the image.
void BoardSim::Impl::StartLoader() {
    ++sessions;
    mode = Mode::LoaderWaitX;
    chunk.clear();
    std::lock_guard lock(m);
    std::fill(loaderImage.begin(), loaderImage.end(), 0xFF);
    chunks = 0;
    loaderDone = false;
    inLoader = true;
    inService = false;
    if (record) record->SetLoader(true);
}

void BoardSim::Impl::OnByte(uint8_t b) {
    // Recorded before it is handled: the answer it brings follows its request in the capture.
    if (record) record->Record(TLineDirection::Outbound, std::span<const uint8_t>(&b, 1), CaptureNowUs());
    // The loader too watches for a start block, so a session abandoned halfway (the tool gave up,
    // the line dropped) can be followed by a new one; the byte that completes it is no loader data.
    const uint32_t session = sessions;
    decoder.HandleByte(b);
    if (sessions != session) return;
    switch (mode) {
        case Mode::Normal:
            break;
        case Mode::LoaderWaitX:
            if (b == 'X') {
                mode = Mode::LoaderChunks;
                chunk.clear();
                Queue({'A'});
            }
            break;
        case Mode::LoaderChunks: {
            chunk.push_back(b);
            if (chunk.size() < kLoaderChunkSize) break;
            bool last = false;
            {
                std::lock_guard lock(m);
                std::copy(chunk.begin(), chunk.end(), loaderImage.begin() + chunks * kLoaderChunkSize);
                ++chunks;
                last = chunks == kLoaderChunks;
                if (last) {
                    loaderDone = true;
                    inLoader = false;
                }
            }
            chunk.clear();
            if (last) {
                // The new firmware starts: framed protocol and reports again, out of service mode.
                mode = Mode::Normal;
                if (record) record->SetLoader(false);
                decoder.Reset();
                nextReport = Clock::now() + milliseconds(options.reportMs);
            } else {
                Queue({'A'});
            }
            break;
        }
    }
}

void BoardSim::Impl::SendReport() {
    ret.Step(rng);
    outside.Step(rng);
    room.Step(rng);
    refrig.Step(rng);
    std::uniform_int_distribution<int> pick(0, 99);
    if (pick(rng) < 5) state = static_cast<uint8_t>(std::uniform_int_distribution<int>(0, 16)(rng));
    if (pick(rng) < 2) flags47 ^= static_cast<uint8_t>(1u << std::uniform_int_distribution<int>(2, 7)(rng));
    if (pick(rng) < 1) flags49 ^= static_cast<uint8_t>(1u << std::uniform_int_distribution<int>(0, 7)(rng));
    if (options.faultFrom > 0) {
        const uint32_t number = reportsSent + 1;
        flags49 = number >= options.faultFrom && number < options.faultUntil ? 0x20 : 0x00;
    }

    std::vector<uint8_t> r(REALTIME_REPORT_SIZE, 0);
    r[0] = K2MSENDMONDATA;
    const auto t1 = static_cast<int32_t>(ret.value);
    PutLe16(r, 1, t1);                                            // return, 0.01 °C
    PutLe16(r, 3, t1 + 500);                                      // supply, 0.01 °C
    r[5] = 0x00;
    r[6] = 131;                                                   // firmware version
    PutLe16(r, 9, (t1 + 500) / 10);                               // water out, 0.1 °C
    PutLe16(r, 11, static_cast<int32_t>(outside.value));          // outside air, 0.1 °C
    PutLe16(r, 15, static_cast<int32_t>(refrig.value));           // refrigerant in
    PutLe16(r, 17, static_cast<int32_t>(refrig.value) + 250);     // refrigerant out
    PutLe16(r, 19, t1 / 10);                                      // water in
    PutLe16(r, 21, 7);                                            // compressor current
    PutLe16(r, 25, 45);                                           // requested setpoint
    PutLe16(r, 29, 40 * 256);                                     // thermostat request
    PutLe16(r, 37, static_cast<int32_t>(20.5 * 256));             // room setpoint
    PutLe16(r, 39, static_cast<int32_t>(room.value));             // room temperature
    PutLe16(r, 43, 55 * 256);                                     // boiler setpoint
    r[47] = flags47;
    r[48] = state;
    r[49] = flags49;
    r[52] = 0x05;
    r[53] = 0x42;
    PutLe16(r, 54, static_cast<int32_t>(outside.value) - 3);      // external outside sensor
    PutLe16(r, 75, (2 * t1 + 500) / 20);                          // mean of NTC1 and NTC2, 0.1 °C
    r[89] = 1;                                                    // heat
    r[90] = 1;
    PutLe16(r, 98, -5);
    PutLe16(r, 102, 62);
    PutLe16(r, 104, 3);
    PutLe16(r, 110, 28);
    if (options.shortReportLen > 0 && options.shortReportLen < r.size()) r.resize(options.shortReportLen);
    SendBlock(r);
    std::lock_guard lock(m);
    ++reportsSent;
}

void BoardSim::Impl::Flush(Clock::time_point now) {
    if (master < 0 || out.empty()) return;
    size_t n = out.size();
    if (options.pace) {
        // Each byte leaves only once the previous one has crossed the wire.
        if (outDue == Clock::time_point{}) outDue = std::max(outLineFree, now) + kByteTime;
        n = 0;
        Clock::time_point due = outDue;
        while (n < out.size() && due <= now) {
            ++n;
            due += kByteTime;
        }
        if (n == 0) return;
    }
    uint8_t buf[4096];
    n = std::min(n, sizeof buf);
    std::copy_n(out.begin(), n, buf);
    const ssize_t w = ::write(master, buf, n);
    if (w < 0 && errno == EAGAIN) {
        // Nobody reads the port. A wire keeps no backlog either: what finds no listener is lost,
        // so a tool that opens the port later does not get minutes of stale reports.
        out.clear();
        outDue = Clock::time_point{};
        return;
    }
    if (w <= 0) return;
    out.erase(out.begin(), out.begin() + w);
    if (options.pace) {
        outLineFree = outDue + kByteTime * (w - 1);
        outDue = out.empty() ? Clock::time_point{} : outLineFree + kByteTime;
    }
}

// Paced, bytes come off the pty only a few ahead of their wire time; the rest stays in the pty,
// whose buffer, once full, holds the sender back.
void BoardSim::Impl::Receive(Clock::time_point now) {
    uint8_t buf[4096];
    const size_t want = options.pace ? kInAhead - std::min(in.size(), kInAhead) : sizeof buf;
    if (want == 0) return;
    const ssize_t r = ::read(master, buf, want);
    for (ssize_t i = 0; i < r; ++i) {
        if (options.pace) {
            inLineFree = std::max(inLineFree, now) + kByteTime;
            in.emplace_back(inLineFree, buf[i]);
        } else {
            OnByte(buf[i]);
        }
    }
}

int BoardSim::Impl::TimeoutMs(Clock::time_point now) const {
    Clock::time_point next = now + milliseconds(100);
    if (options.replay) {
        if (replayStarted && nextUnsolicited < options.replay->Unsolicited.size())
            next = std::min(next, ReplayDue(nextUnsolicited));
    } else {
        if (options.reportMs > 0 && mode == Mode::Normal) next = std::min(next, nextReport);
        if (program && !serviceSeen && mode == Mode::Normal) next = std::min(next, nextAsk);
    }
    if (!in.empty()) next = std::min(next, in.front().first);
    if (!out.empty() && options.pace && outDue != Clock::time_point{}) next = std::min(next, outDue);
    if (next <= now) return 0;
    // Round up so a wake never comes before its moment and turns into a spin.
    return static_cast<int>(std::chrono::ceil<milliseconds>(next - now).count());
}

void BoardSim::Impl::Run() {
    started = Clock::now();
    nextReport = started + milliseconds(options.reportMs);
    nextAsk = started;
    const auto hangUpAt = started + milliseconds(options.hangUpAfterMs);
    while (!stop) {
        auto now = Clock::now();
        if (hangUpRequested.exchange(false) || (options.hangUpAfterMs > 0 && master >= 0 && now >= hangUpAt)) CloseLine();

        pollfd fds[2] = {{wake[0], POLLIN, 0}, {master, 0, 0}};
        nfds_t nfds = 1;
        if (master >= 0) {
            if (!options.pace || in.size() < kInAhead) fds[1].events = POLLIN;
            if (!out.empty() && !options.pace) fds[1].events |= POLLOUT;
            nfds = 2;
        }
        int timeout = TimeoutMs(now);
        if (options.hangUpAfterMs > 0 && master >= 0)
            timeout = std::min<int>(timeout, static_cast<int>(std::max<int64_t>(
                0, std::chrono::ceil<milliseconds>(hangUpAt - now).count())));
        if (::poll(fds, nfds, timeout) < 0 && errno != EINTR) break;
        now = Clock::now();
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(wake[0], drain, sizeof drain) > 0) {
            }
        }
        if (master >= 0 && (fds[1].revents & POLLIN)) Receive(now);
        while (!in.empty() && in.front().first <= now) {
            const uint8_t b = in.front().second;
            in.pop_front();
            OnByte(b);
        }
        bool service;
        {
            std::lock_guard lock(m);
            if (inService && now - lastKeepAlive > milliseconds(options.serviceHoldMs)) inService = false;
            service = inService;
        }
        serviceSeen = service;
        if (options.replay) {
            Replay(now);
            Flush(now);
            continue;
        }
        if (program && !service && mode == Mode::Normal && now >= nextAsk) {
            SendBlock({K2PGETCOMMAND});
            nextAsk = now + milliseconds(options.askMs);
        }
        if (options.reportMs > 0 && mode == Mode::Normal && now >= nextReport) {
            SendReport();
            nextReport += milliseconds(options.reportMs);
            if (nextReport < now) nextReport = now + milliseconds(options.reportMs);
        }
        Flush(now);
    }
}

BoardSim::BoardSim(BoardSimOptions options) : d(std::make_unique<Impl>(options)) {
    d->decoder.OnBlock = [this] { d->OnBlock(); };
}

BoardSim::~BoardSim() { Stop(); }

std::string BoardSim::Start() {
    if (d->thread.joinable()) throw std::logic_error("board stand-in already started");
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) throw std::runtime_error(std::string("posix_openpt: ") + std::strerror(errno));
    char name[128] = {};
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name, sizeof name) != 0) {
        const int e = errno;
        ::close(master);
        throw std::runtime_error(std::string("pty: ") + std::strerror(e));
    }
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (slave < 0 || ::tcgetattr(slave, &tio) != 0) {
        const int e = errno;
        if (slave >= 0) ::close(slave);
        ::close(master);
        throw std::runtime_error(std::string("pty slave: ") + std::strerror(e));
    }
    // Raw, so the tool sees the bytes exactly as the board sends them.
    ::cfmakeraw(&tio);
    ::tcsetattr(slave, TCSANOW, &tio);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    if (::pipe2(d->wake, O_NONBLOCK | O_CLOEXEC) != 0) {
        ::close(slave);
        ::close(master);
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    }
    d->master = master;
    d->slave = slave;
    d->stop = false;
    if (!d->options.capture.empty()) {
        d->record = std::make_unique<TLineRecord>("korvel-board-sim " KORVEL_FILE_VERSION_TEXT);
        d->record->LineOpened(name);
        try {
            d->record->StartFile(d->options.capture);
        } catch (...) {
            d->record.reset();
            d->CloseAll();
            throw;
        }
    }
    try {
        d->thread = std::thread([this] { d->Run(); });
    } catch (...) {
        d->CloseAll();
        throw;
    }
    return name;
}

void BoardSim::Stop() {
    if (!d->thread.joinable()) return;
    d->stop = true;
    const char c = 1;
    [[maybe_unused]] ssize_t w = ::write(d->wake[1], &c, 1);
    d->thread.join();
    d->CloseAll();
}

void BoardSim::HangUp() {
    d->hangUpRequested = true;
    const char c = 1;
    if (d->wake[1] >= 0) [[maybe_unused]] ssize_t w = ::write(d->wake[1], &c, 1);
}

void BoardSim::SetProgramSwitch(bool program) { d->program = program; }
void BoardSim::SetSilent(bool silent) { d->silent = silent; }

bool BoardSim::InServiceMode() const {
    std::lock_guard lock(d->m);
    return d->inService;
}
std::vector<std::vector<uint8_t>> BoardSim::ReceivedBlocks() const {
    std::lock_guard lock(d->m);
    return {d->received.begin(), d->received.end()};
}
std::vector<uint8_t> BoardSim::LoaderImage() const {
    std::lock_guard lock(d->m);
    return d->loaderImage;
}
uint32_t BoardSim::LoaderChunksReceived() const {
    std::lock_guard lock(d->m);
    return d->chunks;
}
bool BoardSim::LoaderDone() const {
    std::lock_guard lock(d->m);
    return d->loaderDone;
}
std::vector<uint8_t> BoardSim::StartNvm() {
    std::vector<uint8_t> image = DefaultNvmImage();
    PutLe16(image, 226, 600);
    PutLe16(image, 228, 400);
    return image;
}

std::vector<uint8_t> BoardSim::Nvm() const {
    std::lock_guard lock(d->m);
    return d->nvm;
}
uint32_t BoardSim::ReportsSent() const {
    std::lock_guard lock(d->m);
    return d->reportsSent;
}
uint32_t BoardSim::LineSpeed() const {
    termios t{};
    if (d->slave < 0 || ::tcgetattr(d->slave, &t) != 0) return 0;
    switch (::cfgetospeed(&t)) {
        case B4800: return 4800;
        case B9600: return 9600;
        case B19200: return 19200;
        case B38400: return 38400;
        case B57600: return 57600;
        case B115200: return 115200;
        default: return 0;
    }
}

bool BoardSim::InLoader() const {
    std::lock_guard lock(d->m);
    return d->inLoader;
}

}  // namespace korvel::sim
