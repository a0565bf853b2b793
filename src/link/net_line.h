// A board behind a network serial server, as a line like a local port: "rfc2217://HOST:PORT"
// (telnet with the COM port option: this line sets baud rate, frame and flow control and checks
// what the server answers) or "tcp://HOST:PORT" (raw bytes: the server has set the line).
//
// Threads as for a local device. Open and Configure wait for the server; they hand their waiting
// to the caller's wait function, so a window stays alive meanwhile, and a Close from another
// thread or from inside that wait ends them.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>

#include "link/serial_device.h"

namespace korvel {

// How long a network line waits for the server; tests shorten them.
struct NetLineLimits {
    uint32_t connectMs = 5000;    // name look-up and connect
    uint32_t answerMs = 3000;     // each round of the server's answers
    uint32_t closeGraceMs = 150;  // raw TCP: a server that cannot give the line closes this soon
};

class NetSerialDevice : public SerialLine {
public:
    // Called over and over while Open or Configure waits; should do the caller's work (a
    // window's events) for at most maxWaitMs. Empty: the wait sleeps on the connection.
    using WaitFn = std::function<void(uint32_t maxWaitMs)>;

    // stop: asked while a send waits for the server to take the data; true gives the send up.
    explicit NetSerialDevice(WaitFn wait = {}, NetLineLimits limits = {}, std::function<bool()> stop = {});
    ~NetSerialDevice() override;
    NetSerialDevice(const NetSerialDevice&) = delete;
    NetSerialDevice& operator=(const NetSerialDevice&) = delete;

    // `address` as ParseNetAddress reads it.
    bool Open(const std::string& address, DeviceError& error) override;
    void Close() override;
    bool IsOpen() const override;

    // rfc2217: sends the settings and DTR/RTS, waits for the settings' answers and refuses a line
    // the server set otherwise. The modem lines are not waited for: not every server answers them.
    // tcp: nothing to do, the server owns the line.
    bool Configure(const LineSettings& settings, DeviceError& error) override;
    bool SetTimeouts(const SerialTimeouts& timeouts) override;
    bool SetQueueSizes(uint32_t input, uint32_t output) override;

    IoResult WaitingCount() override;
    IoResult Read(uint8_t* buffer, std::size_t size) override;
    IoResult Write(const uint8_t* buffer, std::size_t size) override;
    Wait WaitForInput(uint32_t timeoutMs) override;
    void Interrupt() override;

    bool ModemStatus(uint8_t& lines) override;  // as the server last reported them; false for tcp
    bool Purge(bool input, bool output) override;
    bool SetBreak(bool on) override;
    bool SetDTR(bool on) override;
    bool SetRTS(bool on) override;
    bool SetXonXoff(bool on) override;

    std::string LossAdvice() const override;

private:
    struct Impl;
    struct OpenJob;
    bool Negotiate(DeviceError& error);
    bool WaitFor(const std::function<bool()>& done, uint32_t timeoutMs);
    void PullNow();
    bool SendRaw(const std::vector<uint8_t>& bytes);
    bool SendOwed();
    bool SendAll(const std::vector<uint8_t>& bytes, std::size_t& sent);
    void FlushReplies();
    void Owe(const uint8_t* bytes, std::size_t size, bool front);
    bool SendControl(uint8_t value);
    void Fail(DeviceError& error, const std::string& text, const std::string& advice);

    const WaitFn wait_;
    const NetLineLimits limits_;
    const std::function<bool()> stop_;
    std::unique_ptr<Impl> d;
    // As for a local device: calls take it shared, Close exclusively.
    mutable std::shared_mutex lock_;
    // The session, the received data and the loss (under it the socket's reads happen).
    mutable std::mutex state_;
    // One sender at a time on the socket, so a reply never lands inside a block.
    std::mutex write_;
    std::mutex replies_;  // a leaf: what the session owes the server, until a sender takes it
    std::mutex job_;      // a leaf: the open in progress, for a Close from elsewhere
    std::atomic<bool> closing_{false};
    std::atomic<bool> cancelOpen_{false};
};

}  // namespace korvel
