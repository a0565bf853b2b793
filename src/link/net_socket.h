// One TCP connection's calls to the operating system: BSD sockets in net_socket_posix.cpp,
// Winsock in net_socket_win32.cpp, picked by CMake. Non-blocking throughout; a wait or a connect
// can be ended early from another thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace korvel {

// What a failed network call means to the user, whatever the platform's code.
enum class TNetFailure : uint8_t { None, UnknownHost, Refused, TimedOut, Unreachable, Reset, Closed, Cancelled, Other };

struct NetError {
    TNetFailure kind = TNetFailure::None;
    int code = 0;      // the platform's code; 0 where there is none
    std::string text;  // the system's text for it
};

class NetSocket {
public:
    NetSocket();
    ~NetSocket();
    NetSocket(const NetSocket&) = delete;
    NetSocket& operator=(const NetSocket&) = delete;

    // Looks the host up and connects to the first of its addresses that takes the connection,
    // within timeoutMs for the connecting. The look-up itself cannot be cut short: call this from
    // a worker thread. Cancel() ends the connecting early. The connection gets TCP_NODELAY (a
    // block must not wait for the next one) and keep-alive probes (a dead peer is noticed).
    bool Connect(const std::string& host, uint16_t port, uint32_t timeoutMs, NetError& error);
    // From any thread: ends a Connect, now or when it gets to connecting.
    void Cancel();

    // What can go now, without waiting: the count taken (0: nothing now), or -1 and why. The
    // peer's orderly close reads as -1 with Closed.
    int64_t Send(const uint8_t* data, std::size_t size, NetError& error);
    int64_t Receive(uint8_t* buffer, std::size_t size, NetError& error);

    enum class Ready : uint8_t { Yes, Timeout, Interrupted };
    // Yes also when the peer has closed or the connection failed: the next Receive tells.
    Ready WaitReadable(uint32_t timeoutMs);
    Ready WaitWritable(uint32_t timeoutMs);
    void Interrupt();  // ends one WaitReadable early, from any thread

    void Close();
    bool IsOpen() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace korvel
