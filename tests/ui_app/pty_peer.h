// The far end of a pseudo-terminal for window tests: records the blocks the tool sends and sends
// blocks of its own, without any board logic in between.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "comms/frame_codec.h"

namespace korvel::test {

class PtyPeer {
public:
    PtyPeer() {
        char name[256] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) return;
        termios t{};
        tcgetattr(slave_, &t);
        cfmakeraw(&t);
        tcsetattr(slave_, TCSANOW, &t);
        path_ = name;
        decoder_.OnBlock = [this] {
            blocks_.emplace_back(decoder_.InputData.begin(), decoder_.InputData.begin() + (decoder_.InputCount - 2));
        };
    }
    ~PtyPeer() {
        if (master_ >= 0) close(master_);
        if (slave_ >= 0) close(slave_);
    }
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    const std::string& Path() const { return path_; }

    // Blocks (or raw bytes) sent by the tool since the last look, waiting up to waitMs for the first byte.
    std::vector<std::vector<uint8_t>> Blocks(int waitMs = 50) {
        Drain(waitMs);
        auto out = std::move(blocks_);
        blocks_.clear();
        raw_.clear();
        return out;
    }
    std::vector<uint8_t> RawBytes(int waitMs = 50) {
        Drain(waitMs);
        auto out = std::move(raw_);
        raw_.clear();
        blocks_.clear();
        return out;
    }

    void Send(const std::vector<uint8_t>& block) {
        const auto frame = EncodeFrame(block.data(), static_cast<uint32_t>(block.size()));
        (void)!write(master_, frame.data(), frame.size());
    }

private:
    void Drain(int waitMs) {
        pollfd p{master_, POLLIN, 0};
        int wait = waitMs;
        while (poll(&p, 1, wait) > 0 && (p.revents & POLLIN)) {
            uint8_t buf[4096];
            const ssize_t n = read(master_, buf, sizeof buf);
            if (n <= 0) break;
            for (ssize_t i = 0; i < n; ++i) {
                raw_.push_back(buf[i]);
                decoder_.HandleByte(buf[i]);
            }
            wait = 10;
        }
    }

    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    TFrameDecoder decoder_;
    std::vector<std::vector<uint8_t>> blocks_;
    std::vector<uint8_t> raw_;
};

}  // namespace korvel::test
