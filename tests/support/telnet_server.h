// A telnet server of the tests' own, for what Debian's ser2net cannot be made to do: answer other
// settings than asked, cut its commands into single bytes, refuse the COM port option, stay
// silent, or flood the client without reading what it answers. It plays a script on the one
// connection it takes, on a thread of its own.
#pragma once

#ifndef _WIN32

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace korvel::test {

class TelnetServer {
public:
    using Bytes = std::vector<uint8_t>;
    // After the script the server reads what comes until it goes.
    explicit TelnetServer(std::function<void(TelnetServer&)> script);
    ~TelnetServer();
    TelnetServer(const TelnetServer&) = delete;
    TelnetServer& operator=(const TelnetServer&) = delete;

    std::string Address(const char* scheme = "rfc2217") const;
    // Byte by byte, each in a segment of its own: the client's reads see every cut.
    void Send(const Bytes& bytes, bool byteByByte = false);
    // Sends the bytes over and over, as fast as the client takes them, reading nothing, until the
    // server goes or the client closes.
    void Flood(const Bytes& bytes);
    bool Expect(const Bytes& pattern, int ms = 3000);
    void HangUp();
    Bytes Received();

    // What a server of the COM port option says first, and a sub-negotiation of that option.
    static const Bytes kOpening;
    static Bytes Sub(const Bytes& payload);
    // The answers to the line the tool asks for (9600 8N2, no flow control).
    static Bytes LineAnswers();

private:
    bool Read(int ms);

    int listener_ = -1;
    std::atomic<int> client_{-1};
    uint16_t port_ = 0;
    std::atomic<bool> done_{false};
    std::mutex m_;
    Bytes received_;
    std::thread thread_;
};

}  // namespace korvel::test

#endif
