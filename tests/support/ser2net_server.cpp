#include "support/ser2net_server.h"

#ifndef _WIN32

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace korvel::test {

namespace {

constexpr const char* kSer2net = "/usr/sbin/ser2net";

bool Ipv6(const std::string& bind) { return bind.find(':') != std::string::npos; }

// Fills a socket address for bind:port; false when bind is no numeric address.
bool Endpoint(const std::string& bind, uint16_t port, sockaddr_storage& out, socklen_t& len) {
    out = {};
    if (Ipv6(bind)) {
        auto* a = reinterpret_cast<sockaddr_in6*>(&out);
        a->sin6_family = AF_INET6;
        a->sin6_port = htons(port);
        len = sizeof *a;
        return ::inet_pton(AF_INET6, bind.c_str(), &a->sin6_addr) == 1;
    }
    auto* a = reinterpret_cast<sockaddr_in*>(&out);
    a->sin_family = AF_INET;
    a->sin_port = htons(port);
    len = sizeof *a;
    return ::inet_pton(AF_INET, bind.c_str(), &a->sin_addr) == 1;
}

bool Accepts(const std::string& bind, uint16_t port) {
    sockaddr_storage a;
    socklen_t len = 0;
    if (!Endpoint(bind, port, a, len)) return false;
    const int s = ::socket(a.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool ok = s >= 0 && ::connect(s, reinterpret_cast<sockaddr*>(&a), len) == 0;
    if (s >= 0) ::close(s);
    return ok;
}

}  // namespace

uint16_t FreeLoopbackPort(const std::string& bind) {
    sockaddr_storage a;
    socklen_t len = 0;
    if (!Endpoint(bind, 0, a, len)) return 0;
    const int s = ::socket(a.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    uint16_t port = 0;
    if (s >= 0 && ::bind(s, reinterpret_cast<sockaddr*>(&a), len) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&a)->sin6_port
                                             : reinterpret_cast<sockaddr_in*>(&a)->sin_port);
    if (s >= 0) ::close(s);
    return port;
}

bool Ser2net::Installed() { return ::access(kSer2net, X_OK) == 0; }

Ser2net::Ser2net(const std::string& device, Mode mode, Options options) : bind_(options.bind), mode_(mode) {
    char pattern[] = "/tmp/korvel-ser2net-XXXXXX";
    if (!Installed() || !::mkdtemp(pattern)) return;
    dir_ = pattern;
    port_ = FreeLoopbackPort(bind_);
    // Each byte from the board goes out as it comes: no wait for more ("chardelay"), and no wait
    // for the previous one's acknowledgement ("nodelay"), which a client's delayed acknowledgement
    // stretches to 40 ms. Every exchange would carry either, and a settings write has 116.
    std::ofstream(dir_ + "/ser2net.yaml") << "%YAML 1.1\n---\n"
                                          << "connection: &board\n"
                                          << "    accepter: " << (mode == Mode::Rfc2217 ? "telnet(rfc2217)," : "")
                                          << "tcp(nodelay)," << bind_ << "," << port_ << "\n"
                                          << "    connector: serialdev," << device << "," << options.line << ",local\n"
                                          << "    options:\n"
                                          << "      chardelay: false\n";
    // Everything the child needs is made before the fork: other threads may hold the heap's lock.
    const std::string logPath = dir_ + "/log", config = dir_ + "/ser2net.yaml", pidFile = dir_ + "/pid";
    pid_ = ::fork();
    if (pid_ == 0) {
        const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(log, 1);
        ::dup2(log, 2);
        // -u: no UUCP lock files; -d: in the foreground, its log on stdout.
        ::execl(kSer2net, "ser2net", "-n", "-d", "-u", "-P", pidFile.c_str(), "-c", config.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    for (int i = 0; pid_ > 0 && i < 250; ++i) {
        if (Accepts(bind_, port_)) return;
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) pid_ = -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Kill();
}

Ser2net::~Ser2net() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        // It takes SIGTERM as a wish, not a command: give it a moment, then insist.
        for (int i = 0; i < 50 && ::waitpid(pid_, nullptr, WNOHANG) != pid_; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        Kill();
    }
    if (!dir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
}

void Ser2net::Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

std::string Ser2net::Address() const {
    const std::string host = Ipv6(bind_) ? "[" + bind_ + "]" : bind_;
    return std::string(mode_ == Mode::Rfc2217 ? "rfc2217://" : "tcp://") + host + ":" + std::to_string(port_);
}

std::string Ser2net::Log() const {
    std::ostringstream out;
    out << std::ifstream(dir_ + "/ser2net.yaml").rdbuf() << std::ifstream(dir_ + "/log").rdbuf();
    return out.str();
}

}  // namespace korvel::test

#endif
