// Debian's ser2net, started for a test: a generated configuration bridges a pseudo-terminal (the
// stand-in's) to a free loopback port, as telnet(rfc2217) or as raw TCP; stopped when it goes.
#pragma once

#ifndef _WIN32

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace korvel::test {

class Ser2net {
public:
    enum class Mode { Rfc2217, Raw };
    struct Options {
        std::string line = "9600n82";  // what the server sets the device to at each connection
        std::string bind = "127.0.0.1";
    };

    // Waits until the server takes connections; Running() is false when it could not start.
    Ser2net(const std::string& device, Mode mode, Options options);
    Ser2net(const std::string& device, Mode mode) : Ser2net(device, mode, Options{}) {}
    ~Ser2net();
    Ser2net(const Ser2net&) = delete;
    Ser2net& operator=(const Ser2net&) = delete;

    static bool Installed();
    bool Running() const { return pid_ > 0; }
    uint16_t Port() const { return port_; }
    // "rfc2217://127.0.0.1:PORT" or "tcp://127.0.0.1:PORT" (IPv6 hosts in brackets).
    std::string Address() const;
    // The server as it went on startup: its configuration file's text and its log.
    std::string Log() const;

    void Kill();  // at once (SIGKILL): its connections close as a crashed server's do

private:
    std::string dir_;
    std::string bind_;
    Mode mode_;
    uint16_t port_ = 0;
    pid_t pid_ = -1;
};

// A loopback port nobody listens on (taken from the system, then let go).
uint16_t FreeLoopbackPort(const std::string& bind = "127.0.0.1");

}  // namespace korvel::test

#endif
