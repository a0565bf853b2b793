// BSD sockets: getaddrinfo, a non-blocking connect waited for with poll, a self-pipe that ends
// a wait early.
#include "link/net_socket.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>

#include "link/serial_device.h"

namespace korvel {

namespace {

using Clock = std::chrono::steady_clock;

NetError MakeNetError(int code) {
    NetError e{TNetFailure::Other, code, SystemErrorText(code)};
    switch (code) {
        case ECONNREFUSED: e.kind = TNetFailure::Refused; break;
        case ETIMEDOUT: e.kind = TNetFailure::TimedOut; break;
        case ENETUNREACH: case EHOSTUNREACH: case ENETDOWN: case EHOSTDOWN: e.kind = TNetFailure::Unreachable; break;
        case ECONNRESET: case EPIPE: case ECONNABORTED: e.kind = TNetFailure::Reset; break;
        default: break;
    }
    return e;
}

void SetOption(int fd, int level, int name, int value) { ::setsockopt(fd, level, name, &value, sizeof value); }

// Probes after 10 s of silence, every 5 s, 3 unanswered end the connection: a dead peer is
// noticed within about 25 s, and data the peer does not acknowledge within 15 s.
void TuneConnection(int fd) {
    SetOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
    SetOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
#ifdef TCP_KEEPIDLE
    SetOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, 10);
    SetOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, 5);
    SetOption(fd, IPPROTO_TCP, TCP_KEEPCNT, 3);
#endif
#ifdef TCP_USER_TIMEOUT
    SetOption(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, 15000);
#endif
}

}  // namespace

struct NetSocket::Impl {
    int fd = -1;
    int wakeRead = -1, wakeWrite = -1;
    std::atomic<bool> cancelled{false};

    void Wake() const {
        const uint8_t b = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeWrite, &b, 1);
    }
    void Drain() const {
        uint8_t buf[64];
        while (::read(wakeRead, buf, sizeof buf) > 0) {
        }
    }
    // One address: true when connected; error says why not.
    bool ConnectOne(const addrinfo& ai, Clock::time_point deadline, NetError& error);
};

NetSocket::NetSocket() : d(std::make_unique<Impl>()) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        d->wakeRead = fds[0];
        d->wakeWrite = fds[1];
    }
}

NetSocket::~NetSocket() {
    Close();
    if (d->wakeRead >= 0) ::close(d->wakeRead);
    if (d->wakeWrite >= 0) ::close(d->wakeWrite);
}

bool NetSocket::Impl::ConnectOne(const addrinfo& ai, Clock::time_point deadline, NetError& error) {
    const int s = ::socket(ai.ai_family, ai.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai.ai_protocol);
    if (s < 0) {
        error = MakeNetError(errno);
        return false;
    }
    int result = ::connect(s, ai.ai_addr, ai.ai_addrlen) == 0 ? 0 : errno;
    while (result == EINPROGRESS || result == EINTR) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            result = ETIMEDOUT;
            break;
        }
        pollfd p[2] = {{s, POLLOUT, 0}, {wakeRead, POLLIN, 0}};
        if (::poll(p, 2, static_cast<int>(left)) < 0 && errno != EINTR) {
            result = errno;
            break;
        }
        if (cancelled) break;
        if (p[1].revents) Drain();
        if (p[0].revents) {
            socklen_t len = sizeof result;
            if (::getsockopt(s, SOL_SOCKET, SO_ERROR, &result, &len) != 0) result = errno;
        }
    }
    if (cancelled) {
        ::close(s);
        error = NetError{TNetFailure::Cancelled, 0, "cancelled"};
        return false;
    }
    if (result != 0) {
        ::close(s);
        error = MakeNetError(result);
        return false;
    }
    TuneConnection(s);
    fd = s;
    return true;
}

bool NetSocket::Connect(const std::string& host, uint16_t port, uint32_t timeoutMs, NetError& error) {
    Close();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* list = nullptr;
    const int r = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list);
    if (r != 0) {
        if (r == EAI_SYSTEM) {
            error = MakeNetError(errno);
        } else {
            error = NetError{TNetFailure::UnknownHost, r, ::gai_strerror(r)};
            if (r == EAI_MEMORY) error.kind = TNetFailure::Other;
        }
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    error = NetError{TNetFailure::UnknownHost, 0, "no address"};
    bool ok = false;
    for (const addrinfo* ai = list; ai && !ok && !d->cancelled && Clock::now() < deadline; ai = ai->ai_next) {
        NetError e;
        ok = d->ConnectOne(*ai, deadline, e);
        // A refusal says more than an address family this machine cannot reach.
        if (!ok && (error.kind == TNetFailure::UnknownHost || e.kind != TNetFailure::Unreachable)) error = e;
    }
    ::freeaddrinfo(list);
    if (!ok && d->cancelled) error = NetError{TNetFailure::Cancelled, 0, "cancelled"};
    else if (!ok && error.kind == TNetFailure::UnknownHost && error.code == 0) error = MakeNetError(ETIMEDOUT);
    return ok;
}

void NetSocket::Cancel() {
    d->cancelled = true;
    d->Wake();
}

int64_t NetSocket::Send(const uint8_t* data, std::size_t size, NetError& error) {
    if (d->fd < 0) {
        error = MakeNetError(EBADF);
        return -1;
    }
    const ssize_t n = ::send(d->fd, data, size, MSG_NOSIGNAL);
    if (n >= 0) return n;
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
    error = MakeNetError(errno);
    return -1;
}

int64_t NetSocket::Receive(uint8_t* buffer, std::size_t size, NetError& error) {
    if (d->fd < 0) {
        error = MakeNetError(EBADF);
        return -1;
    }
    const ssize_t n = ::recv(d->fd, buffer, size, 0);
#ifdef TCP_QUICKACK
    // Acknowledged at once: a server that sends the board's bytes as they come (ser2net without
    // its character delay) holds each next one until the last is acknowledged, and a delayed
    // acknowledgement costs 40 ms an answer. The kernel falls back to delaying, so it is said
    // again after every read.
    if (n > 0) SetOption(d->fd, IPPROTO_TCP, TCP_QUICKACK, 1);
#endif
    if (n > 0) return n;
    if (n == 0) {
        error = NetError{TNetFailure::Closed, 0, "closed by the server"};
        return -1;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
    error = MakeNetError(errno);
    return -1;
}

NetSocket::Ready NetSocket::WaitReadable(uint32_t timeoutMs) {
    pollfd p[2] = {{d->fd, POLLIN, 0}, {d->wakeRead, POLLIN, 0}};
    if (::poll(p, 2, static_cast<int>(std::min<uint32_t>(timeoutMs, 60000))) <= 0) return Ready::Timeout;
    if (p[1].revents) {
        d->Drain();
        return Ready::Interrupted;
    }
    return Ready::Yes;
}

NetSocket::Ready NetSocket::WaitWritable(uint32_t timeoutMs) {
    pollfd p{d->fd, POLLOUT, 0};
    return ::poll(&p, 1, static_cast<int>(std::min<uint32_t>(timeoutMs, 60000))) > 0 ? Ready::Yes : Ready::Timeout;
}

void NetSocket::Interrupt() { d->Wake(); }

void NetSocket::Close() {
    if (d->fd >= 0) ::close(d->fd);
    d->fd = -1;
}

bool NetSocket::IsOpen() const { return d->fd >= 0; }

}  // namespace korvel
