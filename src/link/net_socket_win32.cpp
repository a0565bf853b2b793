// Winsock: getaddrinfo, a non-blocking connect waited for with select, and the receive side
// waited for on an event (WSAEventSelect) beside a second event that ends a wait early.
#include "link/net_socket.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>

#include "link/serial_device.h"

namespace korvel {

namespace {

using Clock = std::chrono::steady_clock;

// Once per process; never undone, as the process may use sockets until it ends.
bool StartWinsock() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

NetError MakeNetError(int code) {
    NetError e{TNetFailure::Other, code, SystemErrorText(code)};
    switch (code) {
        case WSAECONNREFUSED: e.kind = TNetFailure::Refused; break;
        case WSAETIMEDOUT: e.kind = TNetFailure::TimedOut; break;
        case WSAENETUNREACH: case WSAEHOSTUNREACH: case WSAENETDOWN: case WSAEHOSTDOWN:
            e.kind = TNetFailure::Unreachable;
            break;
        case WSAECONNRESET: case WSAECONNABORTED: case WSAENETRESET: e.kind = TNetFailure::Reset; break;
        case WSAHOST_NOT_FOUND: case WSANO_DATA: case WSATRY_AGAIN: case WSANO_RECOVERY:
            e.kind = TNetFailure::UnknownHost;
            break;
        default: break;
    }
    return e;
}

void SetOption(SOCKET s, int level, int name, int value) {
    ::setsockopt(s, level, name, reinterpret_cast<const char*>(&value), sizeof value);
}

// As on POSIX: probes after 10 s of silence, every 5 s.
void TuneConnection(SOCKET s) {
    SetOption(s, IPPROTO_TCP, TCP_NODELAY, 1);
    SetOption(s, SOL_SOCKET, SO_KEEPALIVE, 1);
    tcp_keepalive k{1, 10000, 5000};
    DWORD n = 0;
    WSAIoctl(s, SIO_KEEPALIVE_VALS, &k, sizeof k, nullptr, 0, &n, nullptr, nullptr);
}

// One select on one socket, in slices so a cancel is noticed.
bool SelectOne(SOCKET s, bool write, uint32_t ms) {
    fd_set set, errors;
    FD_ZERO(&set);
    FD_ZERO(&errors);
    FD_SET(s, &set);
    FD_SET(s, &errors);
    timeval tv{static_cast<long>(ms / 1000), static_cast<long>((ms % 1000) * 1000)};
    return ::select(0, write ? nullptr : &set, write ? &set : nullptr, &errors, &tv) > 0;
}

constexpr uint32_t kSliceMs = 20;
// As the Win32 serial port does: a byte that wakes the receive thread brings the ones right behind
// it. A server that passes the board's bytes on as they come sends one segment a byte at 9600 baud,
// and under wine every wake-up and hand-over is a call to the wine server.
constexpr DWORD kGatherMs = 3;

}  // namespace

struct NetSocket::Impl {
    SOCKET s = INVALID_SOCKET;
    HANDLE wake = nullptr;      // auto-reset: Interrupt
    WSAEVENT readable = WSA_INVALID_EVENT;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> closeSeen{false};  // FD_CLOSE is reported once, to whichever waiter looks

    bool ConnectOne(const addrinfo& ai, Clock::time_point deadline, NetError& error);
};

NetSocket::NetSocket() : d(std::make_unique<Impl>()) {
    StartWinsock();
    d->wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
}

NetSocket::~NetSocket() {
    Close();
    if (d->wake) CloseHandle(d->wake);
}

bool NetSocket::Impl::ConnectOne(const addrinfo& ai, Clock::time_point deadline, NetError& error) {
    const SOCKET c = ::socket(ai.ai_family, ai.ai_socktype, ai.ai_protocol);
    if (c == INVALID_SOCKET) {
        error = MakeNetError(WSAGetLastError());
        return false;
    }
    u_long nonBlocking = 1;
    ioctlsocket(c, FIONBIO, &nonBlocking);
    int result = ::connect(c, ai.ai_addr, static_cast<int>(ai.ai_addrlen)) == 0 ? 0 : WSAGetLastError();
    if (result == WSAEWOULDBLOCK) {
        for (;;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (cancelled) break;
            if (left <= 0) {
                result = WSAETIMEDOUT;
                break;
            }
            if (SelectOne(c, true, static_cast<uint32_t>(std::min<int64_t>(left, kSliceMs)))) {
                int err = 0;
                int len = sizeof err;
                ::getsockopt(c, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len);
                result = err;
                break;
            }
        }
    }
    if (cancelled) {
        ::closesocket(c);
        error = NetError{TNetFailure::Cancelled, 0, "cancelled"};
        return false;
    }
    if (result != 0) {
        ::closesocket(c);
        error = MakeNetError(result);
        return false;
    }
    TuneConnection(c);
    readable = WSACreateEvent();
    if (readable == WSA_INVALID_EVENT || WSAEventSelect(c, readable, FD_READ | FD_CLOSE) != 0) {
        error = MakeNetError(WSAGetLastError());
        if (readable != WSA_INVALID_EVENT) WSACloseEvent(readable);
        readable = WSA_INVALID_EVENT;
        ::closesocket(c);
        return false;
    }
    s = c;
    closeSeen = false;
    return true;
}

bool NetSocket::Connect(const std::string& host, uint16_t port, uint32_t timeoutMs, NetError& error) {
    Close();
    if (!StartWinsock()) {
        error = MakeNetError(WSAGetLastError());
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    const int r = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list);
    if (r != 0) {
        error = MakeNetError(r);
        if (error.kind == TNetFailure::Other) error.kind = TNetFailure::UnknownHost;
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    error = MakeNetError(WSAETIMEDOUT);
    bool ok = false, tried = false;
    for (const addrinfo* ai = list; ai && !ok && !d->cancelled && Clock::now() < deadline; ai = ai->ai_next) {
        NetError e;
        ok = d->ConnectOne(*ai, deadline, e);
        if (!ok && (!tried || e.kind != TNetFailure::Unreachable)) error = e;
        tried = true;
    }
    ::freeaddrinfo(list);
    if (!ok && d->cancelled) error = NetError{TNetFailure::Cancelled, 0, "cancelled"};
    return ok;
}

void NetSocket::Cancel() {
    d->cancelled = true;
    if (d->wake) SetEvent(d->wake);
}

int64_t NetSocket::Send(const uint8_t* data, std::size_t size, NetError& error) {
    const int n = ::send(d->s, reinterpret_cast<const char*>(data), static_cast<int>(std::min<std::size_t>(size, 1 << 20)), 0);
    if (n >= 0) return n;
    const int e = WSAGetLastError();
    if (e == WSAEWOULDBLOCK || e == WSAEINTR) return 0;
    error = MakeNetError(e);
    return -1;
}

int64_t NetSocket::Receive(uint8_t* buffer, std::size_t size, NetError& error) {
    const int n = ::recv(d->s, reinterpret_cast<char*>(buffer), static_cast<int>(std::min<std::size_t>(size, 1 << 20)), 0);
    if (n > 0) return n;
    if (n == 0) {
        error = NetError{TNetFailure::Closed, 0, "closed by the server"};
        return -1;
    }
    const int e = WSAGetLastError();
    if (e == WSAEWOULDBLOCK || e == WSAEINTR) return 0;
    error = MakeNetError(e);
    return -1;
}

NetSocket::Ready NetSocket::WaitReadable(uint32_t timeoutMs) {
    if (d->s == INVALID_SOCKET) return Ready::Timeout;
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        // Taking the notices resets the event. Every read empties the socket and re-arms the notice,
        // so a byte that came since the last read is noticed here or wakes the wait below. (A
        // second waiter, the opening thread, may take a notice: then the next slice finds it.)
        WSANETWORKEVENTS events{};
        WSAEnumNetworkEvents(d->s, d->readable, &events);
        if (events.lNetworkEvents & FD_CLOSE) d->closeSeen = true;
        if (d->closeSeen || (events.lNetworkEvents & FD_READ)) return Ready::Yes;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) return Ready::Timeout;
        const HANDLE handles[2] = {d->wake, d->readable};
        const DWORD w = WaitForMultipleObjects(2, handles, FALSE, static_cast<DWORD>(left));
        if (w == WAIT_OBJECT_0) return Ready::Interrupted;
        if (w != WAIT_OBJECT_0 + 1) return Ready::Timeout;
        if (WaitForSingleObject(d->wake, kGatherMs) == WAIT_OBJECT_0) return Ready::Interrupted;
    }
}

NetSocket::Ready NetSocket::WaitWritable(uint32_t timeoutMs) {
    if (d->s == INVALID_SOCKET) return Ready::Timeout;
    return SelectOne(d->s, true, timeoutMs) ? Ready::Yes : Ready::Timeout;
}

void NetSocket::Interrupt() {
    if (d->wake) SetEvent(d->wake);
}

void NetSocket::Close() {
    if (d->s != INVALID_SOCKET) ::closesocket(d->s);
    if (d->readable != WSA_INVALID_EVENT) WSACloseEvent(d->readable);
    d->s = INVALID_SOCKET;
    d->readable = WSA_INVALID_EVENT;
}

bool NetSocket::IsOpen() const { return d->s != INVALID_SOCKET; }

}  // namespace korvel
