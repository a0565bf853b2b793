// The operating-system side of the serial port: one class, one implementation file per OS
// (serial_device_posix.cpp, serial_device_win32.cpp), picked by CMake. Nothing above this layer
// makes an OS call for the port. A board behind a network serial server is a line of its own
// (net_line.h) behind the same interface.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <string>
#include <utility>
#include <vector>

namespace korvel {

enum THwFlowControl : uint8_t { hfNONE, hfDTRDSR, hfRTSCTS };
enum TSwFlowControl : uint8_t { sfNONE, sfXONXOFF };

// Everything the line configuration hands to the device in one call.
struct LineSettings {
    int32_t BaudRate = 4800;
    uint8_t DataWidth = 8;    // 5..8
    uint8_t Parity = 0;       // 0 none, 1 odd, 2 even, 3 mark, 4 space
    uint8_t StopBits = 0;     // 0 one, 1 one and a half, 2 two
    bool EnableDTROnOpen = true;
    bool EnableRTSOnOpen = true;
    THwFlowControl HwFlowControl = hfNONE;
    TSwFlowControl SwFlowControl = sfNONE;
    uint8_t XonChar = 17, XoffChar = 19;
    uint16_t XonLim = 0, XoffLim = 1;
    bool ParityCheck = false, ReplaceParityErrors = false;
    uint8_t ErrorChar = 0, EofChar = 0;
    bool DiscardNulls = false, DsrSensitivity = false, TXContinueOnXoff = false;
    uint32_t InputBuffer = 4096;
};

struct SerialTimeouts {
    uint32_t ReadIntervalTimeout = 0xFFFFFFFFu;
    uint32_t ReadTotalTimeoutMultiplier = 0, ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 100, WriteTotalTimeoutConstant = 1000;
};
// A write whose caller set no total time-out (both write values 0) still ends once the line has
// taken nothing for this long: a stalled driver must not hold the caller, the UI thread, for good.
inline constexpr uint32_t kStalledWriteMs = 2000;

// Modem-line bits as the device reports them.
enum ModemLine : uint8_t { mlCTS = 1, mlDSR = 2, mlRING = 4, mlCD = 8 };

// What a failed open or configuration means to the user, whatever the platform's code.
// Cancelled: the open was given up on purpose (a close while it waited), nothing to report.
enum class TOpenFailure : uint8_t { Other, Absent, NoAccess, Busy, NotSerial, Cancelled };

// Why a device could not be had: the platform's code, the system's text for it, and its meaning.
struct DeviceError {
    DeviceError() = default;
    DeviceError(int c, std::string t, TOpenFailure k = TOpenFailure::Other, std::string a = {})
        : code(c), text(std::move(t)), kind(k), advice(std::move(a)) {}
    int code = 0;
    std::string text;
    TOpenFailure kind = TOpenFailure::Other;
    std::string advice;  // what to check, when the line knows better than `kind` can say
};

// Outcome of an I/O call: the count, or why there is none. `gone` means the device has
// disappeared (adapter pulled, pty master closed, handle closed): retrying cannot help.
struct IoResult {
    int64_t count = 0;
    int error = 0;      // platform error code, 0 on success
    bool gone = false;
};

// A line as the serial port component uses it: calls from its receive thread, its senders and
// the UI thread, as described for SerialDevice below.
class SerialLine {
public:
    virtual ~SerialLine() = default;

    virtual bool Open(const std::string& devicePath, DeviceError& error) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;

    virtual bool Configure(const LineSettings& settings, DeviceError& error) = 0;
    virtual bool SetTimeouts(const SerialTimeouts& timeouts) = 0;
    virtual bool SetQueueSizes(uint32_t input, uint32_t output) = 0;

    virtual IoResult WaitingCount() = 0;
    virtual IoResult Read(uint8_t* buffer, std::size_t size) = 0;
    virtual IoResult Write(const uint8_t* buffer, std::size_t size) = 0;

    enum class Wait { Ready, Timeout, Interrupted, HangUp };
    virtual Wait WaitForInput(uint32_t timeoutMs) = 0;
    virtual void Interrupt() = 0;

    virtual bool ModemStatus(uint8_t& lines) = 0;
    virtual bool Purge(bool input, bool output) = 0;
    virtual bool SetBreak(bool on) = 0;
    virtual bool SetDTR(bool on) = 0;
    virtual bool SetRTS(bool on) = 0;
    virtual bool SetXonXoff(bool on) = 0;

    // Once the line has gone by itself: a sentence naming what to check, where the usual words
    // for a lost line say too little (a network line); "" otherwise.
    virtual std::string LossAdvice() const { return {}; }
};

class SerialDevice : public SerialLine {
public:
    SerialDevice();
    ~SerialDevice() override;
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    // Opens the device exclusively. On failure returns false and says why in error.
    bool Open(const std::string& devicePath, DeviceError& error) override;
    // Gives the device back as it was found; safe from any thread, waits for calls in progress.
    void Close() override;
    bool IsOpen() const override;

    bool Configure(const LineSettings& settings, DeviceError& error) override;
    bool SetTimeouts(const SerialTimeouts& timeouts) override;
    bool SetQueueSizes(uint32_t input, uint32_t output) override;

    IoResult WaitingCount() override;
    // Reads at most `size` bytes, only what is already queued; never waits.
    IoResult Read(uint8_t* buffer, std::size_t size) override;
    // Writes the whole buffer unless the write time-outs expire or the device goes.
    IoResult Write(const uint8_t* buffer, std::size_t size) override;

    // Waits for input (or a hang-up) at most timeoutMs; Interrupt() ends the wait early.
    Wait WaitForInput(uint32_t timeoutMs) override;
    void Interrupt() override;

    bool ModemStatus(uint8_t& lines) override;  // ModemLine bits; false where unsupported
    bool Purge(bool input, bool output) override;
    bool SetBreak(bool on) override;
    bool SetDTR(bool on) override;
    bool SetRTS(bool on) override;
    bool SetXonXoff(bool on) override;  // true: act as if XON arrived (resume sending)

    // The device behind a port name: "COM5" or a custom name, which is itself the path.
    static std::string DevicePathForPort(const std::string& portName);
    // Names ("COM1".."COM254", or other names the system reports) of the ports present.
    static std::vector<std::string> ExistingPortNames();

    // Asks for a 1 ms system timer while a fast-polling port exists; paired calls. No-op where
    // the platform's waits are already fine-grained.
    static void RequestTimerResolution();
    static void ReleaseTimerResolution();
    // Applies a priority (-3 idle .. 0 normal .. +3 time critical) to the calling thread; best effort.
    static void SetCurrentThreadPriority(int level);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
    // Calls take it shared; Close takes it exclusively so a handle never vanishes mid-call.
    mutable std::shared_mutex lock_;
    std::atomic<bool> closing_{false};
    std::atomic<bool> discardNulls_{false}, dsrSensitivity_{false};  // applied by Read
    SerialTimeouts timeouts_;                                        // set under the exclusive lock
};

// The system's text for an OS error code; the only place that asks the OS for one.
std::string SystemErrorText(int error);
// The error for an OS code: its text and what it means to the user.
DeviceError MakeDeviceError(int code);

}  // namespace korvel
