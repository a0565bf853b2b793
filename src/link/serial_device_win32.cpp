// Win32 serial backend: an overlapped COM handle, DCB and comm time-outs.
#include "link/serial_device.h"
#include "link/port_names.h"
#include "link/serial_ports.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace korvel {

std::string SystemErrorText(int error) {
    char buf[512] = {};
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                   static_cast<DWORD>(error), 0, buf, sizeof buf, nullptr);
    std::string text(buf, n);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
    if (text.empty()) text = "Error " + std::to_string(error);
    return text;
}

DeviceError MakeDeviceError(int code) {
    DeviceError e{code, SystemErrorText(code), TOpenFailure::Other};
    switch (static_cast<DWORD>(code)) {
        case ERROR_FILE_NOT_FOUND: case ERROR_PATH_NOT_FOUND: e.kind = TOpenFailure::Absent; break;
        // A COM port already open elsewhere answers "access denied".
        case ERROR_ACCESS_DENIED: case ERROR_SHARING_VIOLATION: e.kind = TOpenFailure::Busy; break;
        default: break;
    }
    return e;
}

namespace {

// Errors a pulled adapter or a closed handle gives; retrying cannot help. A line whose other end
// hung up (a virtual port, or a pty under wine) reports "not ready" or a broken pipe.
bool IsGoneError(DWORD e) {
    return e == ERROR_ACCESS_DENIED || e == ERROR_BAD_COMMAND || e == ERROR_INVALID_HANDLE ||
           e == ERROR_DEVICE_NOT_CONNECTED || e == ERROR_DEVICE_REMOVED || e == ERROR_GEN_FAILURE ||
           e == ERROR_OPERATION_ABORTED || e == ERROR_FILE_NOT_FOUND || e == ERROR_NOT_READY ||
           e == ERROR_BROKEN_PIPE;
}

IoResult Failure(DWORD e) { return IoResult{-1, static_cast<int>(e), IsGoneError(e)}; }

// winmm is looked up when first needed; a missing library or entry point makes the call a no-op.
using TimerPeriodFn = UINT(WINAPI*)(UINT);
struct TimerApi {
    TimerPeriodFn begin = nullptr;
    TimerPeriodFn end = nullptr;
};

const TimerApi& LinkTimerApi() {
    static const TimerApi api = [] {
        TimerApi a;
        HMODULE lib = GetModuleHandleA("winmm.dll");
        if (!lib) lib = LoadLibraryA("winmm.dll");
        if (lib) {
            a.begin = reinterpret_cast<TimerPeriodFn>(reinterpret_cast<void*>(GetProcAddress(lib, "timeBeginPeriod")));
            a.end = reinterpret_cast<TimerPeriodFn>(reinterpret_cast<void*>(GetProcAddress(lib, "timeEndPeriod")));
        }
        return a;
    }();
    return api;
}

// The receive thread waits on the device with a read of one byte that stays pending until a byte
// arrives or the line goes: an idle port costs nothing, and a byte is seen at once. The handle is
// overlapped because on a synchronous handle Windows holds every write behind a pending read.
// With these read time-outs a read ends at its first byte; the reads that then fetch the rest ask
// only for what is queued, which no read time-out can hold up. The write totals are the caller's.
constexpr DWORD kWaitReadTimeoutMs = 60000;  // the driver ends an idle waiting read after this
constexpr DWORD kQueuedReadLimitMs = 100;    // a read of queued bytes that still waits is cancelled
// A byte that wakes the receive thread brings the ones right behind it into the same hand-over: at
// 9600 baud a byte lasts about 1 ms, and a line that delivers byte by byte (a pty under wine, an
// adapter with a short latency timer) would otherwise cost a hand-over to the window per byte.
constexpr DWORD kGatherMs = 3;

COMMTIMEOUTS DeviceTimeouts(const SerialTimeouts& t) {
    // Without write totals the driver would wait for a stalled line for good: it gets the time the
    // bytes take at 1100 baud and kStalledWriteMs more (no progress can be seen inside one write).
    const bool unbounded = t.WriteTotalTimeoutMultiplier == 0 && t.WriteTotalTimeoutConstant == 0;
    return COMMTIMEOUTS{MAXDWORD, MAXDWORD, kWaitReadTimeoutMs, unbounded ? 10 : t.WriteTotalTimeoutMultiplier,
                        unbounded ? kStalledWriteMs : t.WriteTotalTimeoutConstant};
}

// How long a write is waited for: the driver's own totals, and kStalledWriteMs more for a driver
// that does not keep them. Never INFINITE.
DWORD WriteWaitMs(const COMMTIMEOUTS& ct, std::size_t size) {
    const uint64_t ms = uint64_t{ct.WriteTotalTimeoutMultiplier} * size + ct.WriteTotalTimeoutConstant + kStalledWriteMs;
    return static_cast<DWORD>(std::min<uint64_t>(ms, INFINITE - 1));
}

// One overlapped read or write, waited for until it ends, `stop` is set or limitMs passed; then
// it is cancelled. Never returns while the call still owns the buffer.
IoResult Transfer(HANDLE h, bool write, uint8_t* buffer, DWORD size, HANDLE stop, DWORD limitMs) {
    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!ov.hEvent) return Failure(GetLastError());
    DWORD n = 0;
    BOOL ok = write ? WriteFile(h, buffer, size, &n, &ov) : ReadFile(h, buffer, size, &n, &ov);
    DWORD e = ok ? 0 : GetLastError();
    if (e == ERROR_IO_PENDING) {
        const HANDLE events[2] = {ov.hEvent, stop};
        const DWORD w = WaitForMultipleObjects(stop ? 2 : 1, events, FALSE, limitMs);
        const bool cancelled = w != WAIT_OBJECT_0;
        if (cancelled) CancelIoEx(h, &ov);
        ok = GetOverlappedResult(h, &ov, &n, TRUE);
        e = ok ? 0 : GetLastError();
        // Cut short by the time limit: what came is the result, no failure.
        if (cancelled && e == ERROR_OPERATION_ABORTED && !(stop && WaitForSingleObject(stop, 0) == WAIT_OBJECT_0))
            e = 0;
    }
    CloseHandle(ov.hEvent);
    return IoResult{static_cast<int64_t>(n), static_cast<int>(e), e != 0 && IsGoneError(e)};
}

}  // namespace

struct SerialDevice::Impl {
    HANDLE handle = INVALID_HANDLE_VALUE;
    HANDLE wake = nullptr;     // auto-reset: Interrupt ends one wait early
    HANDLE closing = nullptr;  // manual-reset: set by Close, cancels every wait and transfer

    // The receive thread's waiting read (see above), the byte it brought, and how the line went.
    std::mutex rx;
    OVERLAPPED waitRead{};
    HANDLE waitReadDone = nullptr;  // manual-reset
    bool waitReadPending = false;
    std::chrono::steady_clock::time_point waitReadSince{};
    bool waitReadEmptyEarly = false;  // ended without a byte long before its time-out
    uint8_t waitByte = 0;
    bool holding = false;
    DWORD lostError = 0;

    void Reset() {
        handle = INVALID_HANDLE_VALUE;
        wake = closing = waitReadDone = nullptr;
        waitRead = OVERLAPPED{};
        waitReadPending = waitReadEmptyEarly = holding = false;
        lostError = 0;
    }

    // Under rx: notes how the waiting read ended.
    void Finished(BOOL ok, DWORD n, DWORD error) {
        waitReadPending = false;
        if (ok && n == 1) {
            holding = true;
            return;
        }
        // Aborted is a purge or our own cancel; a broken pipe is also what wine reports when a
        // purge took the byte the read woke for. Neither proves the line gone: the next look at
        // the device tells.
        if (!ok && error != ERROR_OPERATION_ABORTED && error != ERROR_BROKEN_PIPE && IsGoneError(error)) {
            lostError = error;
            return;
        }
        // Ended without a byte: a driver that does not wait must not turn the receive loop into a spin.
        waitReadEmptyEarly =
            std::chrono::steady_clock::now() - waitReadSince < std::chrono::milliseconds(kWaitReadTimeoutMs / 2);
    }
    // Under rx: takes the waiting read's result if it has ended.
    void Harvest() {
        if (!waitReadPending || !HasOverlappedIoCompleted(&waitRead)) return;
        DWORD n = 0;
        const BOOL ok = GetOverlappedResult(handle, &waitRead, &n, FALSE);
        Finished(ok, n, ok ? 0 : GetLastError());
    }
    // Under rx: starts the waiting read; false when it could not be started.
    bool Issue() {
        waitRead = OVERLAPPED{};  // ReadFile itself resets the event
        waitRead.hEvent = waitReadDone;
        waitReadSince = std::chrono::steady_clock::now();
        waitReadEmptyEarly = false;
        DWORD n = 0;
        if (ReadFile(handle, &waitByte, 1, &n, &waitRead)) {
            Finished(TRUE, n, 0);
            return true;
        }
        const DWORD e = GetLastError();
        if (e == ERROR_IO_PENDING) {
            waitReadPending = true;
            return true;
        }
        if (IsGoneError(e)) lostError = e;
        return false;
    }
};

SerialDevice::SerialDevice() : d(std::make_unique<Impl>()) {}

SerialDevice::~SerialDevice() { Close(); }

bool SerialDevice::Open(const std::string& devicePath, DeviceError& error) {
    Close();
    std::unique_lock lock(lock_);
    HANDLE h = CreateFileA(devicePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = MakeDeviceError(static_cast<int>(GetLastError()));
        return false;
    }
    HANDLE wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE closing = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE readDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!wake || !closing || !readDone) {
        error = MakeDeviceError(static_cast<int>(GetLastError()));
        for (HANDLE e : {wake, closing, readDone})
            if (e) CloseHandle(e);
        CloseHandle(h);
        return false;
    }
    // The time-outs stay from the device's last user until set: reads must not wait for a full buffer.
    COMMTIMEOUTS ct = DeviceTimeouts(timeouts_);
    SetCommTimeouts(h, &ct);
    d->handle = h;
    d->wake = wake;
    d->closing = closing;
    d->waitReadDone = readDone;
    return true;
}

void SerialDevice::Close() {
    closing_ = true;
    {
        std::shared_lock lock(lock_);
        if (d->wake) SetEvent(d->wake);
        if (d->closing) SetEvent(d->closing);
    }
    std::unique_lock lock(lock_);
    if (d->handle != INVALID_HANDLE_VALUE) {
        // The waiting read writes into this object: it must be over before the handle goes.
        if (d->waitReadPending) {
            CancelIoEx(d->handle, &d->waitRead);
            DWORD n = 0;
            GetOverlappedResult(d->handle, &d->waitRead, &n, TRUE);
        }
        CloseHandle(d->handle);
    }
    for (HANDLE e : {d->wake, d->closing, d->waitReadDone})
        if (e) CloseHandle(e);
    d->Reset();
    closing_ = false;
}

bool SerialDevice::IsOpen() const {
    std::shared_lock lock(lock_);
    return d->handle != INVALID_HANDLE_VALUE;
}

bool SerialDevice::Configure(const LineSettings& s, DeviceError& error) {
    std::shared_lock lock(lock_);
    if (d->handle == INVALID_HANDLE_VALUE) {
        error = MakeDeviceError(ERROR_INVALID_HANDLE);
        return false;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = static_cast<DWORD>(s.BaudRate);
    dcb.fBinary = TRUE;  // bytes pass unaltered, no end-of-data processing
    dcb.fParity = s.ParityCheck;
    dcb.fOutxCtsFlow = s.HwFlowControl == hfRTSCTS;
    dcb.fOutxDsrFlow = s.HwFlowControl == hfDTRDSR;
    dcb.fDtrControl = s.HwFlowControl == hfDTRDSR ? DTR_CONTROL_HANDSHAKE
                      : s.EnableDTROnOpen         ? DTR_CONTROL_ENABLE
                                                  : DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = s.DsrSensitivity;
    dcb.fTXContinueOnXoff = s.TXContinueOnXoff;
    dcb.fOutX = s.SwFlowControl == sfXONXOFF;
    dcb.fInX = s.SwFlowControl == sfXONXOFF;
    dcb.fErrorChar = s.ReplaceParityErrors;
    dcb.fNull = s.DiscardNulls;
    dcb.fRtsControl = s.HwFlowControl == hfRTSCTS ? RTS_CONTROL_HANDSHAKE
                      : s.EnableRTSOnOpen         ? RTS_CONTROL_ENABLE
                                                  : RTS_CONTROL_DISABLE;
    dcb.fAbortOnError = FALSE;
    dcb.XonLim = static_cast<WORD>(s.XonLim != 0 ? s.XonLim : std::min<uint32_t>(s.InputBuffer / 4, 0xFFFF));
    dcb.XoffLim = s.XoffLim;
    dcb.ByteSize = s.DataWidth;
    dcb.Parity = s.Parity;      // NOPARITY .. SPACEPARITY share our codes
    dcb.StopBits = s.StopBits;  // ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS likewise
    dcb.XonChar = static_cast<char>(s.XonChar);
    dcb.XoffChar = static_cast<char>(s.XoffChar);
    dcb.ErrorChar = static_cast<char>(s.ErrorChar);
    dcb.EofChar = static_cast<char>(s.EofChar);
    if (!SetCommState(d->handle, &dcb)) {
        error = MakeDeviceError(static_cast<int>(GetLastError()));
        return false;
    }
    return true;
}

bool SerialDevice::SetTimeouts(const SerialTimeouts& t) {
    std::unique_lock lock(lock_);
    timeouts_ = t;
    COMMTIMEOUTS ct = DeviceTimeouts(t);
    return d->handle != INVALID_HANDLE_VALUE && SetCommTimeouts(d->handle, &ct);
}

bool SerialDevice::SetQueueSizes(uint32_t input, uint32_t output) {
    std::shared_lock lock(lock_);
    return d->handle != INVALID_HANDLE_VALUE && SetupComm(d->handle, input, output);
}

IoResult SerialDevice::WaitingCount() {
    std::shared_lock lock(lock_);
    if (d->handle == INVALID_HANDLE_VALUE || closing_) return Failure(ERROR_INVALID_HANDLE);
    std::lock_guard rx(d->rx);
    d->Harvest();
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(d->handle, &errors, &stat)) return Failure(GetLastError());
    if (d->waitReadPending && stat.cbInQue > 0) {
        // The first of these bytes is the waiting read's: let it land, or the rest would overtake
        // it. A read that still waits with bytes queued has missed them: it is cancelled, and the
        // bytes are read as queued ones.
        if (WaitForSingleObject(d->waitReadDone, kQueuedReadLimitMs) != WAIT_OBJECT_0)
            CancelIoEx(d->handle, &d->waitRead);
        DWORD n = 0;
        const BOOL ok = GetOverlappedResult(d->handle, &d->waitRead, &n, TRUE);
        d->Finished(ok, n, ok ? 0 : GetLastError());
        if (!ClearCommError(d->handle, &errors, &stat)) return Failure(GetLastError());
    }
    const int64_t count = (d->holding ? 1 : 0) + static_cast<int64_t>(stat.cbInQue);
    if (count == 0 && d->lostError) return Failure(d->lostError);
    return IoResult{count, 0, false};
}

IoResult SerialDevice::Read(uint8_t* buffer, std::size_t size) {
    std::shared_lock lock(lock_);
    if (d->handle == INVALID_HANDLE_VALUE || closing_) return Failure(ERROR_INVALID_HANDLE);
    std::lock_guard rx(d->rx);
    d->Harvest();
    int64_t n = 0;
    if (d->holding && size > 0) {
        buffer[n++] = d->waitByte;
        d->holding = false;
    }
    // While the waiting read is pending the next byte is its own: reading past it would reorder.
    if (static_cast<std::size_t>(n) < size && !d->waitReadPending) {
        DWORD errors = 0;
        COMSTAT stat{};
        if (!ClearCommError(d->handle, &errors, &stat)) return n > 0 ? IoResult{n, 0, false} : Failure(GetLastError());
        const auto want = static_cast<DWORD>(std::min<std::size_t>(size - static_cast<std::size_t>(n), stat.cbInQue));
        if (want > 0) {
            const IoResult r = Transfer(d->handle, false, buffer + n, want, d->closing, kQueuedReadLimitMs);
            n += r.count;
            if (r.error != 0 && n == 0) return r;
        }
    }
    return IoResult{n, 0, false};
}

IoResult SerialDevice::Write(const uint8_t* buffer, std::size_t size) {
    std::shared_lock lock(lock_);
    if (d->handle == INVALID_HANDLE_VALUE) return Failure(ERROR_INVALID_HANDLE);
    if (closing_) return Failure(ERROR_OPERATION_ABORTED);
    // The driver applies the write time-outs; Close cancels a write that still waits for the line.
    return Transfer(d->handle, true, const_cast<uint8_t*>(buffer), static_cast<DWORD>(size), d->closing,
                    WriteWaitMs(DeviceTimeouts(timeouts_), size));
}

SerialDevice::Wait SerialDevice::WaitForInput(uint32_t timeoutMs) {
    std::shared_lock lock(lock_);
    if (d->handle == INVALID_HANDLE_VALUE || closing_) return Wait::Interrupted;
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    bool reissued = false;
    for (;;) {
        bool pending;
        {
            std::lock_guard rx(d->rx);
            d->Harvest();
            if (d->holding) return Wait::Ready;
            if (d->lostError) return Wait::HangUp;
            // A read that ended empty long before its time-out is started again once per call only.
            if (!d->waitReadPending && !(reissued && d->waitReadEmptyEarly)) {
                reissued = true;
                if (d->Issue() && !d->waitReadPending) continue;  // ended at once: look again
                if (d->lostError) return Wait::HangUp;
            }
            pending = d->waitReadPending;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) return Wait::Timeout;
        const HANDLE events[2] = {d->wake, d->waitReadDone};
        const DWORD w = WaitForMultipleObjects(pending ? 2 : 1, events, FALSE, static_cast<DWORD>(left));
        if (w == WAIT_OBJECT_0) return Wait::Interrupted;
        if (w != WAIT_OBJECT_0 + 1) return Wait::Timeout;
        if (WaitForSingleObject(d->wake, kGatherMs) == WAIT_OBJECT_0) return Wait::Interrupted;
    }
}

void SerialDevice::Interrupt() {
    std::shared_lock lock(lock_);
    if (d->wake) SetEvent(d->wake);
}

bool SerialDevice::ModemStatus(uint8_t& lines) {
    std::shared_lock lock(lock_);
    lines = 0;
    DWORD status = 0;
    // Fails where the device has no modem lines (a pty under wine): the empty set, as on POSIX.
    if (d->handle == INVALID_HANDLE_VALUE || !GetCommModemStatus(d->handle, &status)) return false;
    if (status & MS_CTS_ON) lines |= mlCTS;
    if (status & MS_DSR_ON) lines |= mlDSR;
    if (status & MS_RING_ON) lines |= mlRING;
    if (status & MS_RLSD_ON) lines |= mlCD;
    return true;
}

bool SerialDevice::Purge(bool input, bool output) {
    std::shared_lock lock(lock_);
    if (d->handle == INVALID_HANDLE_VALUE || (!input && !output)) return false;
    if (input) {
        std::lock_guard rx(d->rx);
        d->holding = false;  // the waiting read's byte was input too
    }
    DWORD flags = 0;
    if (input && output) flags = PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT;
    else flags = input ? PURGE_RXCLEAR : PURGE_TXCLEAR;
    return PurgeComm(d->handle, flags);
}

namespace {
bool Escape(HANDLE h, DWORD fn) { return h != INVALID_HANDLE_VALUE && EscapeCommFunction(h, fn); }
}  // namespace

bool SerialDevice::SetBreak(bool on) {
    std::shared_lock lock(lock_);
    return Escape(d->handle, on ? SETBREAK : CLRBREAK);
}

bool SerialDevice::SetDTR(bool on) {
    std::shared_lock lock(lock_);
    return Escape(d->handle, on ? SETDTR : CLRDTR);
}

bool SerialDevice::SetRTS(bool on) {
    std::shared_lock lock(lock_);
    return Escape(d->handle, on ? SETRTS : CLRRTS);
}

bool SerialDevice::SetXonXoff(bool on) {
    std::shared_lock lock(lock_);
    return Escape(d->handle, on ? SETXON : SETXOFF);
}

std::string SerialDevice::DevicePathForPort(const std::string& portName) { return "\\\\.\\" + portName; }

std::vector<std::string> SerialDevice::ExistingPortNames() {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        char valueName[256];
        DWORD valueNameLen = sizeof valueName;
        BYTE data[256];
        DWORD dataLen = sizeof data - 1;
        DWORD type = 0;
        const LONG r = RegEnumValueA(key, i, valueName, &valueNameLen, nullptr, &type, data, &dataLen);
        if (r == ERROR_NO_MORE_ITEMS) break;
        if (r != ERROR_SUCCESS || type != REG_SZ) continue;
        std::string name(reinterpret_cast<const char*>(data), dataLen);
        name.resize(std::min(name.find('\0'), name.size()));
        names.push_back(std::move(name));
    }
    RegCloseKey(key);
    return names;
}

namespace {

// A value of a key under the local machine, read only; false when the key cannot be opened.
bool ReadMachineString(const std::string& keyPath, const std::string& valueName, std::string& value) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    char data[512] = {};
    DWORD size = sizeof data - 1;
    DWORD type = 0;
    value.clear();
    if (RegQueryValueExA(key, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ))
        value.assign(data, strnlen(data, size));
    RegCloseKey(key);
    return true;
}

// The FTDI driver lists its present devices as "USB\VID_0403&PID_6001\A50285BI" and keeps the
// port name it gave each under the device's own key. Its order is the driver's enumeration order.
void AddFtdiFacts(std::vector<TSerialPortInfo>& ports) {
    const std::string enumKey = "SYSTEM\\CurrentControlSet\\Services\\FTDIBUS\\Enum";
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, enumKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    DWORD count = 0, size = sizeof count, type = 0;
    if (RegQueryValueExA(key, "Count", nullptr, &type, reinterpret_cast<BYTE*>(&count), &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        count = 0;
    RegCloseKey(key);
    for (DWORD i = 0; i < count && i < 256; ++i) {
        std::string path;
        if (!ReadMachineString(enumKey, std::to_string(i), path) || path.size() < 22) continue;
        std::string device = path.substr(4);
        if (const auto amp = device.find('&'); amp != std::string::npos) device[amp] = '+';
        if (const auto slash = device.find('\\'); slash != std::string::npos) device[slash] = '+';
        const std::string base = "SYSTEM\\CurrentControlSet\\Enum\\FTDIBUS\\";
        std::string portName;
        // Not every entry has a key of this form (one interface of a composite device, "&MI_00",
        // is named after the chip): the entries after it are still read.
        if (!ReadMachineString(base + device + "\\0000\\Device Parameters", "PortName", portName) &&
            !ReadMachineString(base + device + "A\\0000\\Device Parameters", "PortName", portName))
            continue;
        const int n = PortNumberFromName(TrimSpaces(portName));
        const auto port = std::find_if(ports.begin(), ports.end(), [n](const auto& p) { return p.Number == n; });
        if (n == 0 || port == ports.end()) continue;
        port->VendorId = path.substr(8, 4);
        port->ProductId = path.substr(17, 4);
        port->Serial = path.substr(path.rfind('\\') + 1);
        char order[8];
        std::snprintf(order, sizeof order, "%04lu", static_cast<unsigned long>(i));
        port->UsbPath = order;
    }
}

}  // namespace

std::vector<TSerialPortInfo> ScanSerialPorts() {
    std::vector<TSerialPortInfo> out;
    for (const std::string& name : SerialDevice::ExistingPortNames()) {
        const int n = PortNumberFromName(TrimSpaces(name));
        if (n == 0 || std::any_of(out.begin(), out.end(), [n](const auto& p) { return p.Number == n; })) continue;
        TSerialPortInfo port;
        port.Number = n;
        port.Name = PortNameFromNumber(n);
        out.push_back(std::move(port));
    }
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.Number < b.Number; });
    AddFtdiFacts(out);
    return out;
}

void SerialDevice::RequestTimerResolution() {
    if (const auto fn = LinkTimerApi().begin) fn(1);
}

void SerialDevice::ReleaseTimerResolution() {
    if (const auto fn = LinkTimerApi().end) fn(1);
}

void SerialDevice::SetCurrentThreadPriority(int level) {
    static constexpr int kPriorities[] = {THREAD_PRIORITY_IDLE,         THREAD_PRIORITY_LOWEST,
                                          THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
                                          THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
                                          THREAD_PRIORITY_TIME_CRITICAL};
    SetThreadPriority(GetCurrentThread(), kPriorities[std::clamp(level, -3, 3) + 3]);
}

}  // namespace korvel
