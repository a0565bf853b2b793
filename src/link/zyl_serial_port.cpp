#include "link/zyl_serial_port.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <thread>

#include "host/local_time.h"
#include "host/text_format.h"
#include "link/net_address.h"
#include "link/net_line.h"
#include "link/port_names.h"
#include "link/zyl_serial_port_impl.h"

namespace korvel {

namespace {

constexpr const char* kNotOpen = "%s is not open. Serial port is not connected.";
constexpr const char* kCannotConnect = "Cannot connect to %s . %s";
constexpr const char* kBadLogFile = "Invalid log file name or access denied.";

// Short enough to notice a stop request or a modem-line change promptly, long enough to cost
// nothing while the line is idle.
constexpr uint32_t kPollSliceMs = 20;
// One driver queue: a chunk never exceeds it, whatever is queued; the rest comes in the next one.
constexpr uint32_t kMaxChunk = 16384;

int PriorityLevel(TThreadPriority p) { return static_cast<int>(p) - static_cast<int>(TThreadPriority::tpNormal); }

void AppendLog(const std::string& file, bool withDateTime, const ByteString& chunk) {
    std::FILE* f = std::fopen(file.c_str(), "ab");
    if (!f) throw EZylSerialPortException(kBadLogFile);
    std::string line;
    if (withDateTime) {
        const std::tm tm = LocalTime(std::time(nullptr));
        char stamp[64];
        const std::size_t n = std::strftime(stamp, sizeof stamp, "%x %X", &tm);
        line.assign(stamp, n);
        line += ' ';
        line += chunk;
        line += "\r\n";
    } else {
        line = chunk;
    }
    const bool ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
    const bool closed = std::fclose(f) == 0;
    if (!ok || !closed) throw EZylSerialPortException(kBadLogFile);
}

}  // namespace

// ---------------------------------------------------------------------------------------------

// The receive thread. Owns nothing but its std::thread; the device is shared with the component
// so a send never finds the handle gone under it.
class TComThread {
public:
    TComThread(TZylSerialPort& owner, std::shared_ptr<SerialLine> device)
        : Owner(owner), ComDevice(std::move(device)) {}

    ~TComThread() { Join(); }

    void Start() { thread_ = std::thread([this] { Execute(); }); }

    void RequestStop() {
        {
            std::lock_guard lock(m_);
            stop_ = true;
        }
        cv_.notify_all();
        ComDevice->Interrupt();
    }

    bool Finished() const { return finished_; }
    bool IsCurrentThread() const { return std::this_thread::get_id() == thread_.get_id(); }
    void Join() {
        if (thread_.joinable() && !IsCurrentThread()) thread_.join();
    }
    void PriorityChanged() { priorityChanged_ = true; }

    // Raises OnDisconnect, gives the device back and marks the owner Closed. Runs from the
    // thread's end or from a Close nested in one of its handlers (direct: already on the
    // handler's thread, so no hand-over); each half happens once, so a Close inside OnDisconnect
    // still frees the device before the handler returns, and a port reopened there stays open.
    void Teardown(bool direct) {
        Owner.d->NoteLoss(*ComDevice);  // before the event: its handlers tell the user
        if (!eventRaised_.exchange(true)) {
            const auto port = static_cast<TCommPort>(Owner.d->connectedTo.load());
            if (port != spNone) DoExecuteDisconnect(port, direct);
        }
        if (!closed_.exchange(true)) {
            ComDevice->Purge(true, true);
            ComDevice->Close();
            Owner.d->connectedTo = spNone;
        }
    }

    TZylSerialPort& Owner;
    std::shared_ptr<SerialLine> ComDevice;

private:
    void Execute();
    bool Stopping() {
        std::lock_guard lock(m_);
        return stop_;
    }
    void Pause(uint32_t ms) {
        std::unique_lock lock(m_);
        cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stop_; });
    }

    // Runs fn where the handlers belong: on the UI thread (waiting for it) or right here. A
    // handler's error stops at this boundary: thrown into the UI thread's event loop it would
    // leave this thread waiting forever, thrown here it would end the program.
    void Deliver(const std::function<void()>& fn, bool direct) {
        auto guarded = [&] {
            if (Owner.d->eventsMuted) return;
            try {
                fn();
            } catch (...) {
            }
        };
        if (direct || !Owner.NeedSynchronization) {
            guarded();
            return;
        }
        Owner.host_.RunOnUiThreadAndWait([&] {
            ++Owner.d->handOverDepth;
            guarded();
            --Owner.d->handOverDepth;
        });
    }

    void DoExecuteReceive(const ByteString& chunk, std::string& logFile, bool& logInput, bool& logDateTime) {
        Deliver(
            [&] {
                if (Owner.OnReceive) Owner.OnReceive(&Owner, chunk);
                // Read on the UI thread, where they are written.
                logInput = Owner.LogInput;
                logDateTime = Owner.LogDateTime;
                if (logInput) logFile = Owner.LogFile;
            },
            false);
    }
    void DoExecuteLineStatus(TLineStatusSet lines) {
        Deliver([&] {
            if (Owner.OnLineStatusChange) Owner.OnLineStatusChange(&Owner, lines);
        }, false);
    }
    void DoExecuteDisconnect(TCommPort port, bool direct) {
        Deliver([&] {
            if (Owner.OnDisconnect) Owner.OnDisconnect(&Owner, port);
        }, direct);
    }

    std::thread thread_;
    std::mutex m_;
    std::condition_variable cv_;
    bool stop_ = false;
    std::atomic<bool> finished_{false};
    std::atomic<bool> eventRaised_{false};
    std::atomic<bool> closed_{false};
    std::atomic<bool> priorityChanged_{true};
};

void TComThread::Execute() {
    auto& d = *Owner.d;
    std::vector<uint8_t> buffer;
    bool hungUp = false;
    bool wokeForInput = false;
    while (!Stopping()) {
        if (priorityChanged_.exchange(false)) SerialDevice::SetCurrentThreadPriority(PriorityLevel(d.FPriority));

        // 1. Modem lines; a pty or an adapter without them reports the empty set.
        try {
            uint8_t lines = 0;
            ComDevice->ModemStatus(lines);
            if (lines != d.lineStatus.load()) {
                d.lineStatus = lines;
                DoExecuteLineStatus(TLineStatusSet(lines));
            }
        } catch (...) {
        }
        if (Stopping()) break;

        // 2. Whatever is queued, in one read that never waits for more.
        const IoResult waiting = ComDevice->WaitingCount();
        if (waiting.gone) break;
        if (waiting.count <= 0) {
            if (hungUp) break;  // drained what came before the hang-up
            if (waiting.error != 0) {
                Pause(kPollSliceMs);  // a transient failure must not turn into a spin
                continue;
            }
            // Woken for input that then was not there: pace such wake-ups instead of spinning.
            if (wokeForInput) Pause(1);
            const SerialDevice::Wait w = ComDevice->WaitForInput(kPollSliceMs);
            if (w == SerialDevice::Wait::HangUp) hungUp = true;
            wokeForInput = w == SerialDevice::Wait::Ready;
            continue;
        }
        wokeForInput = false;
        d.isReceiving = true;
        try {
            buffer.resize(std::min<uint64_t>(static_cast<uint64_t>(waiting.count), kMaxChunk));
            const IoResult got = ComDevice->Read(buffer.data(), buffer.size());
            if (got.gone) {
                d.isReceiving = false;
                break;
            }
            if (got.count > 0) {
                if (d.tap != nullptr) d.tap->LineBytes(TLineDirection::Inbound, buffer.data(), static_cast<size_t>(got.count));
                ByteString chunk(buffer.begin(), buffer.begin() + got.count);
                d.FReadBuffer = chunk;
                std::string logFile;
                bool logInput = Owner.LogInput, logDateTime = Owner.LogDateTime;
                if (!Owner.NeedSynchronization && logInput) logFile = Owner.LogFile;
                DoExecuteReceive(chunk, logFile, logInput, logDateTime);
                if (logInput) AppendLog(logFile, logDateTime, chunk);
            }
        } catch (...) {
        }
        d.isReceiving = false;

        // 3. The configured pause; with 0 the next pass waits on the device instead.
        const uint32_t delay = d.FDelay;
        if (delay > 0 && !Stopping()) Pause(delay);
    }
    Teardown(false);
    finished_ = true;
}

// ---------------------------------------------------------------------------------------------

TZylSerialPort::TZylSerialPort(UiHost& host) : d(std::make_unique<Impl>()), host_(host) {}

TZylSerialPort::~TZylSerialPort() {
    d->eventsMuted = true;
    Close();
    ReapThreads(true);
    if (d->timerRequested) SerialDevice::ReleaseTimerResolution();
}

TCommPort TZylSerialPort::StringToCommPort(const std::string& name) {
    const std::string trimmed = TrimSpaces(name);
    if (trimmed.empty()) return spNone;
    const int n = PortNumberFromName(trimmed);
    return n ? static_cast<TCommPort>(n) : spCustom;
}

std::string TZylSerialPort::CommPortToString(TCommPort port) const {
    if (port == spNone) return {};
    if (port == spCustom) return d->FCustomPortName;
    return PortNameFromNumber(port);
}

std::string TZylSerialPort::DevicePath(const std::string& portName) {
    return SerialDevice::DevicePathForPort(TrimSpaces(portName));
}

TCommPort TZylSerialPort::GetPort() const { return StringToCommPort(d->FPort); }

void TZylSerialPort::SetPort(TCommPort value) {
    if (value != GetPort()) d->FPort = CommPortToString(value);
}

const std::string& TZylSerialPort::GetCustomPortName() const { return d->FCustomPortName; }

void TZylSerialPort::SetCustomPortName(const std::string& name) {
    d->FCustomPortName = TrimSpaces(name);
    if (GetPort() == spCustom) d->FPort = d->FCustomPortName;
}

const std::string& TZylSerialPort::PortName() const { return d->FPort; }

// --- the receive thread's pace ---------------------------------------------------------------

TThreadPriority TZylSerialPort::GetPriority() const { return d->FPriority; }

void TZylSerialPort::SetPriority(TThreadPriority v) {
    d->FPriority = v;
    if (d->ComThread) d->ComThread->PriorityChanged();
}

uint32_t TZylSerialPort::GetDelay() const { return d->FDelay; }

void TZylSerialPort::SetDelay(uint32_t ms) {
    d->FDelay = ms;
    if (ms < 50 && !d->timerRequested) {
        SerialDevice::RequestTimerResolution();
        d->timerRequested = true;
    }
}

// --- open and close --------------------------------------------------------------------------

void TZylSerialPort::Open() {
    if (d->opening) return;  // asked again from an event served while an open waits
    ReapThreads(false);
    const TCommPort wanted = StringToCommPort(d->FPort);
    if (wanted == static_cast<TCommPort>(d->connectedTo.load())) return;
    if (d->ComThread) Close();
    d->connectedTo = spNone;

    {
        std::lock_guard lock(d->lossMutex);
        d->lossAdvice.clear();
    }
    const bool network = IsNetAddress(TrimSpaces(d->FPort));
    std::shared_ptr<SerialLine> device;
    if (network) {
        // The connect and the server's answers are waited for with the window alive.
        device = std::make_shared<NetSerialDevice>([this](uint32_t ms) { host_.ProcessEvents(ms); }, NetLineLimits{},
                                                   [this] { return host_.StopRequested(); });
    } else {
        device = std::make_shared<SerialDevice>();
    }
    d->opening = device;
    struct Opened {
        std::shared_ptr<SerialLine>& opening;
        ~Opened() { opening.reset(); }
    } opened{d->opening};
    DeviceError error;
    const std::string devicePath = network ? TrimSpaces(d->FPort) : DevicePath(d->FPort);
    bool ok = device->Open(devicePath, error);
    if (ok) {
        ok = device->Configure(d->settings, error);
        if (ok) {
            device->SetTimeouts(d->timeouts);
            device->SetQueueSizes(d->settings.InputBuffer, d->FOutputBuffer);
            // What the driver or a network server held from before the open is old: handed on
            // now, it would reach the log with the time of the open.
            device->Purge(true, false);
        } else {
            device->Close();
        }
    }
    // Given up by a Close meanwhile: nothing opened, nothing to report.
    if ((!ok && error.kind == TOpenFailure::Cancelled) || (ok && !device->IsOpen())) return;
    if (!ok) {
#ifdef _WIN32
        const std::string& shown = d->FPort;  // "\\.\COM5" means nothing to a user
#else
        const std::string& shown = devicePath.empty() ? d->FPort : devicePath;
#endif
        throw EZylSerialPortException(FormatText(kCannotConnect, {d->FPort, error.text}) + "\n" +
                                      (error.advice.empty() ? OpenFailureAdvice(error.kind, shown, PortChoice) : error.advice));
    }

    d->device = device;
    d->lineStatus = 0;
    d->connectedTo = wanted;
    try {
        if (OnConnect) OnConnect(this, wanted);
    } catch (...) {
        // A handler that refuses the connection leaves nothing open behind it.
        device->Close();
        d->device.reset();
        d->connectedTo = spNone;
        throw;
    }
    d->ComThread = std::make_shared<TComThread>(*this, device);
    d->ComThread->Start();
}

void TZylSerialPort::Close() {
    // An open still waiting for its line (a network connect) gives up.
    if (d->opening) d->opening->Close();
    ReapThreads(false);
    if (!d->ComThread) {
        d->connectedTo = spNone;
        return;
    }
    // Held, not referenced: a handler served during the wait below may close the port (retiring
    // this thread, which a later event may then reap) or open it anew.
    const std::shared_ptr<TComThread> thread = d->ComThread;
    thread->RequestStop();
    if (thread->IsCurrentThread() || d->handOverDepth > 0) {
        // Called from one of the thread's own handlers: it cannot be waited for here. Finish its
        // work now; the thread ends when the handler returns and is joined later.
        thread->Teardown(true);
        d->retired.push_back(std::move(d->ComThread));
        d->device.reset();
        return;
    }
    // A thread still in a hand-over needs the UI thread to serve it before it can end.
    for (int pass = 0; !thread->Finished(); ++pass) host_.ProcessEvents(pass == 0 ? d->FDelay.load() : 10);
    // Only what this Close stopped is let go: the port may have been opened anew meanwhile.
    if (d->ComThread != thread) return;
    d->ComThread.reset();
    d->device.reset();
    d->connectedTo = spNone;
}

void TZylSerialPort::ReapThreads(bool all) {
    auto& r = d->retired;
    if (all) {
        for (auto& t : r)
            while (!t->Finished()) host_.ProcessEvents(10);
        r.clear();
    } else {
        r.erase(std::remove_if(r.begin(), r.end(), [](const auto& t) { return t->Finished(); }), r.end());
    }
    auto& s = d->senders;
    for (auto it = s.begin(); it != s.end();) {
        if (all || *it->done) {
            if (it->thread.joinable()) it->thread.join();
            it = s.erase(it);
        } else {
            ++it;
        }
    }
}

void TZylSerialPort::SetLineTap(TLineTap* tap) { d->tap = tap; }

bool TZylSerialPort::IsConnected() const { return d->connectedTo != spNone; }

std::string TZylSerialPort::LossAdvice() const {
    std::lock_guard lock(d->lossMutex);
    return d->lossAdvice;
}
TCommPort TZylSerialPort::ConnectedTo() const { return static_cast<TCommPort>(d->connectedTo.load()); }
bool TZylSerialPort::IsSending() const { return d->isSending; }
bool TZylSerialPort::IsReceiving() const { return d->isReceiving; }
TLineStatusSet TZylSerialPort::LineStatus() const { return TLineStatusSet(d->lineStatus.load()); }
const ByteString& TZylSerialPort::ReadBuffer() const { return d->FReadBuffer; }

// --- sending ---------------------------------------------------------------------------------

void TZylSerialPort::RaiseNotOpen(const std::string& port) {
    throw EZylSerialPortException(FormatText(kNotOpen, {port}));
}

int32_t TZylSerialPort::WriteBytes(const std::shared_ptr<SerialLine>& device, const std::string& port,
                                   const uint8_t* buffer, uint32_t size) {
    if (!device || !device->IsOpen() || size == 0 || !buffer) RaiseNotOpen(port);
    IoResult r;
    // Recorded before the write: an answer read meanwhile must not land ahead of its request.
    if (d->tap != nullptr) d->tap->LineBytes(TLineDirection::Outbound, buffer, size);
    d->isSending = true;
    try {
        r = device->Write(buffer, size);
    } catch (...) {
        d->isSending = false;
        RaiseNotOpen(port);
    }
    d->isSending = false;
    // A device that went away mid-write has not taken the data: saying so beats a silent 0.
    if (r.gone) {
        d->NoteLoss(*device);
        RaiseNotOpen(port);
    }
    const auto written = static_cast<int32_t>(std::max<int64_t>(r.count, 0));
    if (written > 0 && OnSend) OnSend(this, ByteString(reinterpret_cast<const char*>(buffer), written));
    return written;
}

int32_t TZylSerialPort::SendData(const uint8_t* buffer, uint32_t size) {
    if (!d->ComThread) RaiseNotOpen(d->FPort);
    return WriteBytes(d->device, d->FPort, buffer, size);
}

int32_t TZylSerialPort::SendChar(char c) { return SendByte(static_cast<uint8_t>(c)); }

int32_t TZylSerialPort::SendByte(uint8_t b) { return SendData(&b, 1); }

int32_t TZylSerialPort::SendWord(uint16_t w) {
    const uint8_t bytes[2] = {static_cast<uint8_t>(w & 0xFF), static_cast<uint8_t>(w >> 8)};
    return SendData(bytes, 2);
}

int32_t TZylSerialPort::SendChars(const ByteString& s) {
    if (s.empty()) return 0;
    return SendData(reinterpret_cast<const uint8_t*>(s.data()), static_cast<uint32_t>(s.size()));
}

int32_t TZylSerialPort::SendString(const ByteString& s) {
    if (!d->ComThread || !d->device || !d->device->IsOpen()) RaiseNotOpen(d->FPort);
    const std::size_t len = std::min(s.find('\0'), s.size());
    if (len == 0) return 0;
    return SendData(reinterpret_cast<const uint8_t*>(s.data()), static_cast<uint32_t>(len));
}

void TZylSerialPort::StartSenderThread(ByteString s, int sendType) {
    ReapThreads(false);
    if (sendType == 0) s.resize(std::min(s.find('\0'), s.size()));
    // The thread gets its own handle on the device so it never reads the component's fields.
    std::shared_ptr<SerialLine> device = d->ComThread ? d->device : nullptr;
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread t([this, device, port = d->FPort, s = std::move(s), done] {
        try {
            if (!s.empty())
                WriteBytes(device, port, reinterpret_cast<const uint8_t*>(s.data()), static_cast<uint32_t>(s.size()));
        } catch (...) {
            // Nobody waits for this thread, so there is no one to tell.
        }
        *done = true;
    });
    d->senders.push_back({std::move(t), std::move(done)});
}

void TZylSerialPort::SendStringOnNewThread(const ByteString& s) { StartSenderThread(s, 0); }
void TZylSerialPort::SendCharsOnNewThread(const ByteString& s) { StartSenderThread(s, 1); }

// --- modem lines and escapes -----------------------------------------------------------------

bool TZylSerialPort::ClearInputBuffer() { return d->device && d->device->Purge(true, false); }
bool TZylSerialPort::ClearOutputBuffer() { return d->device && d->device->Purge(false, true); }
bool TZylSerialPort::SetBreak(bool on) { return d->device && d->device->SetBreak(on); }
bool TZylSerialPort::SetDTR(bool on) { return d->device && d->device->SetDTR(on); }
bool TZylSerialPort::SetRTS(bool on) { return d->device && d->device->SetRTS(on); }
bool TZylSerialPort::SetXonXoff(bool on) { return d->device && d->device->SetXonXoff(on); }

namespace {
bool ModemLineOn(const std::shared_ptr<SerialLine>& device, ModemLine line) {
    uint8_t lines = 0;
    return device && device->ModemStatus(lines) && (lines & line);
}
}  // namespace

bool TZylSerialPort::GetCTS() { return ModemLineOn(d->device, mlCTS); }
bool TZylSerialPort::GetDSR() { return ModemLineOn(d->device, mlDSR); }
bool TZylSerialPort::GetRING() { return ModemLineOn(d->device, mlRING); }
bool TZylSerialPort::GetCD() { return ModemLineOn(d->device, mlCD); }

// --- port list and display -------------------------------------------------------------------

TCommPortSet TZylSerialPort::GetExistingCommPorts() const {
    TCommPortSet ports;
    for (const std::string& name : SerialDevice::ExistingPortNames())
        if (const TCommPort p = StringToCommPort(name); p != spNone) ports.set(p);
    return ports;
}

void TZylSerialPort::GetExistingCommPortNames(std::vector<std::string>& list) const {
    list.clear();
    for (const std::string& name : SerialDevice::ExistingPortNames())
        if (std::string t = TrimSpaces(name); !t.empty()) list.push_back(std::move(t));
}

ByteString TZylSerialPort::ReplaceControlChars(const ByteString& s) {
    static constexpr std::array<const char*, 32> kNames{
        "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "TAB", "LF",
        "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
        "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
    ByteString out;
    out.reserve(s.size());
    for (const char c : s) {
        const auto b = static_cast<uint8_t>(c);
        if (b < 32) {
            out += '<';
            out += kNames[b];
            out += '>';
        } else {
            out += c;
        }
    }
    return out;
}

void PreselectPort(TZylSerialPort& port, const std::string& name) {
    if (const int number = PortNumberFromName(name); number != 0) {
        port.SetPort(static_cast<TCommPort>(number));
    } else {
        port.SetCustomPortName(name);
        port.SetPort(spCustom);
    }
}

}  // namespace korvel
