// Serial port component: opens one device exclusively, applies the line settings and hands every
// received chunk to the UI thread from its receive thread. Knows nothing of frames.
//
// Threads: every member is for the UI thread, except that handlers run on the receive thread
// when NeedSynchronization is false. A hang-up (adapter pulled) ends the receive thread, raises
// OnDisconnect and leaves the component Closed.
#pragma once

#include <atomic>
#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/ui_host.h"
#include "link/line_tap.h"
#include "link/serial_device.h"

namespace korvel {

using ByteString = std::string;  // bytes as they travel; use static_cast<uint8_t> when reading

enum TCommPort : uint8_t { spNone = 0, spCOM1 = 1, spCOM254 = 254, spCustom = 255 };
using TCommPortSet = std::bitset<256>;

enum TBaudRate : uint8_t {
    br000075, br000110, br000134, br000150, br000300, br000600, br001200, br001800, br002400,
    br004800, br007200, br009600, br014400, br019200, br038400, br057600, br115200, br128000,
    br230400, br256000, br460800, br921600, brCustom
};
enum TDataWidth : uint8_t { dw5Bits, dw6Bits, dw7Bits, dw8Bits };
enum TStopBits : uint8_t { sb1Bit, sb1_5Bits, sb2Bits };
enum TParityBits : uint8_t { pbNone, pbOdd, pbEven, pbMark, pbSpace };
enum TLineStatus : uint8_t { lsCTS, lsDSR, lsRING, lsCD };
using TLineStatusSet = std::bitset<4>;  // indexed by TLineStatus
enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class EZylSerialPortException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TZylSerialPort;
class TComThread;


using TReceiveEvent = std::function<void(TZylSerialPort* Sender, const ByteString& Buffer)>;
using TSendEvent = std::function<void(TZylSerialPort* Sender, const ByteString& Buffer)>;
using TLineStatusEvent = std::function<void(TZylSerialPort* Sender, TLineStatusSet NewLineStatus)>;
using TConnectionEvent = std::function<void(TZylSerialPort* Sender, TCommPort Port)>;

class TZylSerialPort {
public:
    explicit TZylSerialPort(UiHost& host);
    // Closes without raising events (the owner may be half gone) and joins every thread.
    ~TZylSerialPort();
    TZylSerialPort(const TZylSerialPort&) = delete;
    TZylSerialPort& operator=(const TZylSerialPort&) = delete;

    // Port names
    static TCommPort StringToCommPort(const std::string& name);
    std::string CommPortToString(TCommPort port) const;
    static int32_t BaudRateToInt(TBaudRate rate, int32_t customBaudRate);
    static TBaudRate IntToBaudRate(int32_t rate);

    TCommPort GetPort() const;
    void SetPort(TCommPort value);
    const std::string& GetCustomPortName() const;
    void SetCustomPortName(const std::string& name);
    const std::string& PortName() const;  // FPort
    // The device a port name opens, e.g. "COM5" -> "/dev/ttyS4" (shown beside the name).
    static std::string DevicePath(const std::string& portName);

    TBaudRate GetBaudRate() const;
    void SetBaudRate(TBaudRate value);
    int32_t GetCustomBaudRate() const;
    void SetCustomBaudRate(int32_t value);
    TDataWidth GetDataWidth() const;
    void SetDataWidth(TDataWidth value);       // raises "Invalid data-width and stop-bits combination."
    TParityBits GetParity() const;
    void SetParity(TParityBits value);
    TStopBits GetStopBits() const;
    void SetStopBits(TStopBits value);         // raises "Invalid data-width and stop-bits combination."
    bool GetEnableDTROnOpen() const;
    void SetEnableDTROnOpen(bool value);
    bool GetEnableRTSOnOpen() const;
    void SetEnableRTSOnOpen(bool value);
    THwFlowControl GetHwFlowControl() const;
    void SetHwFlowControl(THwFlowControl value);
    TSwFlowControl GetSwFlowControl() const;
    void SetSwFlowControl(TSwFlowControl value);
    void SetXonChar(uint8_t v);
    void SetXoffChar(uint8_t v);
    void SetXonLim(uint16_t v);
    void SetXoffLim(uint16_t v);
    void SetParityCheck(bool v);
    void SetReplaceParityErrors(bool v);
    void SetErrorChar(uint8_t v);
    void SetEofChar(uint8_t v);
    void SetDiscardNulls(bool v);
    void SetDsrSensitivity(bool v);
    void SetTXContinueOnXoff(bool v);
    const LineSettings& Settings() const;
    const SerialTimeouts& Timeouts() const;
    void SetReadIntervalTimeout(uint32_t v);
    void SetReadTotalTimeoutMultiplier(uint32_t v);
    void SetReadTotalTimeoutConstant(uint32_t v);
    void SetWriteTotalTimeoutMultiplier(uint32_t v);
    void SetWriteTotalTimeoutConstant(uint32_t v);
    uint32_t GetInputBuffer() const;
    void SetInputBuffer(uint32_t v);
    uint32_t GetOutputBuffer() const;
    void SetOutputBuffer(uint32_t v);
    TThreadPriority GetPriority() const;
    void SetPriority(TThreadPriority v);
    uint32_t GetDelay() const;
    void SetDelay(uint32_t ms);
    double Version() const { return 1.58; }

    std::atomic<bool> NeedSynchronization{true};
    std::atomic<bool> LogInput{false};
    std::atomic<bool> LogDateTime{false};
    std::string LogFile;  // change while closed
    // How the user of this program chooses another port, for the advice after a failed open.
    std::string PortChoice = "met \"Com poort...\"";

    TReceiveEvent OnReceive;
    TSendEvent OnSend;
    TLineStatusEvent OnLineStatusChange;
    TConnectionEvent OnConnect;
    TConnectionEvent OnDisconnect;

    // Raises EZylSerialPortException "Cannot connect to %s . %s". A network address
    // ("rfc2217://HOST:PORT", "tcp://HOST:PORT") connects while UI events are processed; a Close
    // meanwhile gives the connect up, and Open returns without a connection.
    void Open();
    void Close();  // bounded wait that keeps processing UI events
    bool IsConnected() const;
    TCommPort ConnectedTo() const;
    // After the line went by itself: what the user should check, where the line knows more than
    // that it went (a network server); "" otherwise. Cleared by the next Open.
    std::string LossAdvice() const;
    bool IsSending() const;
    bool IsReceiving() const;
    TLineStatusSet LineStatus() const;
    const ByteString& ReadBuffer() const;  // the chunk most recently received; stable inside OnReceive

    int32_t SendData(const uint8_t* buffer, uint32_t size);  // raises "%s is not open. Serial port is not connected."
    int32_t SendChar(char c);
    int32_t SendByte(uint8_t b);
    int32_t SendWord(uint16_t w);
    int32_t SendChars(const ByteString& s);
    int32_t SendString(const ByteString& s);
    void SendStringOnNewThread(const ByteString& s);
    void SendCharsOnNewThread(const ByteString& s);

    bool ClearInputBuffer();
    bool ClearOutputBuffer();
    bool SetBreak(bool on);
    bool SetDTR(bool on);
    bool SetRTS(bool on);
    bool SetXonXoff(bool on);
    bool GetCTS();
    bool GetDSR();
    bool GetRING();
    bool GetCD();

    TCommPortSet GetExistingCommPorts() const;
    void GetExistingCommPortNames(std::vector<std::string>& list) const;
    static ByteString ReplaceControlChars(const ByteString& s);

    UiHost& Host() { return host_; }

    // Receives every byte read and written from now on; set while closed, and the tap must
    // outlive the port's use of it. Null: none.
    void SetLineTap(TLineTap* tap);

private:
    friend class TComThread;
    struct Impl;
    bool ApplyLineConfiguration(bool purgeFirst);
    void ReapplyIf(bool needed);
    void ReapThreads(bool all);
    void StartSenderThread(ByteString s, int sendType);
    int32_t WriteBytes(const std::shared_ptr<SerialLine>& device, const std::string& port,
                       const uint8_t* buffer, uint32_t size);
    [[noreturn]] static void RaiseNotOpen(const std::string& port);

    std::unique_ptr<Impl> d;
    UiHost& host_;
};

// Sets the port from a name a user gives (the window's --port, the command line's): "COM1" ...
// "COM254" by number, anything else (a device path, a network address) as a custom name.
void PreselectPort(TZylSerialPort& port, const std::string& name);

}  // namespace korvel
