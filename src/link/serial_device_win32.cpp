// Win32 serial backend: a synchronous COM handle, DCB and comm time-outs.
#include "link/serial_device.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <chrono>
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

}  // namespace

struct SerialDevice::Impl {
    HANDLE handle = INVALID_HANDLE_VALUE;
    HANDLE wake = nullptr;  // set by Interrupt to end a wait early
};

SerialDevice::SerialDevice() : d(std::make_unique<Impl>()) {}

SerialDevice::~SerialDevice() { Close(); }

bool SerialDevice::Open(const std::string& devicePath, std::string& error) {
    Close();
    std::unique_lock lock(lock_);
    HANDLE h = CreateFileA(devicePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = SystemErrorText(static_cast<int>(GetLastError()));
        return false;
    }
    HANDLE wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!wake) {
        error = SystemErrorText(static_cast<int>(GetLastError()));
        CloseHandle(h);
        return false;
    }
    d->handle = h;
    d->wake = wake;
    return true;
}

void SerialDevice::Close() {
    closing_ = true;
    Interrupt();
    std::unique_lock lock(lock_);
    if (d->handle != INVALID_HANDLE_VALUE) CloseHandle(d->handle);
    if (d->wake) CloseHandle(d->wake);
    *d = Impl{};
    closing_ = false;
}

bool SerialDevice::IsOpen() const {
    std::shared_lock lock(lock_);
    return d->handle != INVALID_HANDLE_VALUE;
}

bool SerialDevice::Configure(const LineSettings& s, std::string& error) {
    std::shared_lock lock(lock_);
    if (d->handle == INVALID_HANDLE_VALUE) {
        error = SystemErrorText(ERROR_INVALID_HANDLE);
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
        error = SystemErrorText(static_cast<int>(GetLastError()));
        return false;
    }
    return true;
}

bool SerialDevice::SetTimeouts(const SerialTimeouts& t) {
    std::unique_lock lock(lock_);
    timeouts_ = t;
    COMMTIMEOUTS ct{t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant,
                    t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant};
    return d->handle != INVALID_HANDLE_VALUE && SetCommTimeouts(d->handle, &ct);
}

bool SerialDevice::SetQueueSizes(uint32_t input, uint32_t output) {
    std::shared_lock lock(lock_);
    return d->handle != INVALID_HANDLE_VALUE && SetupComm(d->handle, input, output);
}

IoResult SerialDevice::WaitingCount() {
    std::shared_lock lock(lock_);
    if (d->handle == INVALID_HANDLE_VALUE || closing_) return Failure(ERROR_INVALID_HANDLE);
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(d->handle, &errors, &stat)) return Failure(GetLastError());
    return IoResult{static_cast<int64_t>(stat.cbInQue), 0, false};
}

IoResult SerialDevice::Read(uint8_t* buffer, std::size_t size) {
    std::shared_lock lock(lock_);
    if (d->handle == INVALID_HANDLE_VALUE || closing_) return Failure(ERROR_INVALID_HANDLE);
    DWORD n = 0;
    if (!ReadFile(d->handle, buffer, static_cast<DWORD>(size), &n, nullptr)) return Failure(GetLastError());
    return IoResult{static_cast<int64_t>(n), 0, false};
}

IoResult SerialDevice::Write(const uint8_t* buffer, std::size_t size) {
    std::shared_lock lock(lock_);
    if (d->handle == INVALID_HANDLE_VALUE) return Failure(ERROR_INVALID_HANDLE);
    DWORD n = 0;
    if (!WriteFile(d->handle, buffer, static_cast<DWORD>(size), &n, nullptr)) {
        const DWORD e = GetLastError();
        return IoResult{static_cast<int64_t>(n), static_cast<int>(e), IsGoneError(e)};
    }
    return IoResult{static_cast<int64_t>(n), 0, false};
}

SerialDevice::Wait SerialDevice::WaitForInput(uint32_t timeoutMs) {
    // A synchronous handle cannot wait for a comm event while another thread writes, so poll
    // the input count on the 1 ms timer the port requested.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        HANDLE wake = nullptr;
        {
            std::shared_lock lock(lock_);
            if (d->handle == INVALID_HANDLE_VALUE || closing_) return Wait::Interrupted;
            DWORD errors = 0;
            COMSTAT stat{};
            if (!ClearCommError(d->handle, &errors, &stat)) {
                if (IsGoneError(GetLastError())) return Wait::HangUp;
            } else if (stat.cbInQue > 0) {
                return Wait::Ready;
            }
            wake = d->wake;
            if (std::chrono::steady_clock::now() >= end) return Wait::Timeout;
            if (WaitForSingleObject(wake, 1) == WAIT_OBJECT_0) return Wait::Interrupted;
        }
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
