#ifndef _WIN32

#include "support/telnet_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "link/telnet_codec.h"

namespace korvel::test {

using namespace telnet;
using Clock = std::chrono::steady_clock;

const TelnetServer::Bytes TelnetServer::kOpening{IAC, WILL, 3, IAC, DO, 3, IAC, DO, 0, IAC, WILL, 0, IAC, DO, 44};

TelnetServer::Bytes TelnetServer::Sub(const Bytes& payload) {
    Bytes out;
    AppendSubnegotiation(out, OptComPort, payload.data(), payload.size());
    return out;
}

TelnetServer::Bytes TelnetServer::LineAnswers() {
    Bytes answers = Sub({101, 0, 0, 0x25, 0x80});
    for (const Bytes& b : {Sub({102, 8}), Sub({103, 1}), Sub({104, 2}), Sub({105, 1})})
        answers.insert(answers.end(), b.begin(), b.end());
    return answers;
}

TelnetServer::TelnetServer(std::function<void(TelnetServer&)> script) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(listener_, reinterpret_cast<sockaddr*>(&a), len);
    ::listen(listener_, 1);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this, script = std::move(script)] {
        pollfd p{listener_, POLLIN, 0};
        if (::poll(&p, 1, 10000) <= 0) return;
        client_ = ::accept(listener_, nullptr, nullptr);
        const int one = 1;
        ::setsockopt(client_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        script(*this);
        while (!done_ && Read(50)) {
        }
    });
}

TelnetServer::~TelnetServer() {
    done_ = true;
    thread_.join();
    if (client_ >= 0) ::close(client_);
    ::close(listener_);
}

std::string TelnetServer::Address(const char* scheme) const {
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_);
}

void TelnetServer::Send(const Bytes& bytes, bool byteByByte) {
    for (std::size_t i = 0; i < bytes.size(); i += byteByByte ? 1 : bytes.size()) {
        (void)!::send(client_, bytes.data() + i, byteByByte ? 1 : bytes.size(), MSG_NOSIGNAL);
        if (byteByByte) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void TelnetServer::Flood(const Bytes& bytes) {
    Bytes many;
    while (many.size() < 16384) many.insert(many.end(), bytes.begin(), bytes.end());
    for (std::size_t at = 0; !done_;) {
        pollfd p{client_, POLLOUT, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const ssize_t n = ::send(client_, many.data() + at, many.size() - at, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno != EAGAIN && errno != EINTR) return;  // the client has gone
        if (n > 0) at = (at + static_cast<std::size_t>(n)) % many.size();
    }
}

bool TelnetServer::Expect(const Bytes& pattern, int ms) {
    for (const auto end = Clock::now() + std::chrono::milliseconds(ms); Clock::now() < end; Read(20)) {
        std::lock_guard lock(m_);
        if (std::search(received_.begin(), received_.end(), pattern.begin(), pattern.end()) != received_.end())
            return true;
    }
    return false;
}

void TelnetServer::HangUp() { ::shutdown(client_, SHUT_RDWR); }

TelnetServer::Bytes TelnetServer::Received() {
    std::lock_guard lock(m_);
    return received_;
}

bool TelnetServer::Read(int ms) {
    pollfd p{client_, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0) return true;
    uint8_t buf[1024];
    const ssize_t n = ::recv(client_, buf, sizeof buf, 0);
    if (n <= 0) return false;
    std::lock_guard lock(m_);
    received_.insert(received_.end(), buf, buf + n);
    return true;
}

}  // namespace korvel::test

#endif
