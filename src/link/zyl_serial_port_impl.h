// The port's state, shared by its files (open and receive; the line settings); not for users.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/zyl_serial_port.h"

namespace korvel {

struct TZylSerialPort::Impl {
    std::string FPort;
    std::string FCustomPortName;
    int32_t FCustomBaudRate = 0;
    LineSettings settings;
    SerialTimeouts timeouts;
    uint32_t FOutputBuffer = 4096;
    std::atomic<TThreadPriority> FPriority{TThreadPriority::tpNormal};
    std::atomic<uint32_t> FDelay{100};
    bool timerRequested = false;

    std::atomic<uint8_t> connectedTo{spNone};
    std::atomic<bool> isSending{false};
    std::atomic<bool> isReceiving{false};
    std::atomic<uint8_t> lineStatus{0};
    ByteString FReadBuffer;

    std::shared_ptr<SerialLine> device;
    TLineTap* tap = nullptr;  // set while closed; the receive thread reads it after its start
    // The line an Open is waiting for (a network line connecting), so a Close can end the wait.
    std::shared_ptr<SerialLine> opening;
    // What to check after the line went by itself; set where the loss is found, read on the UI thread.
    mutable std::mutex lossMutex;
    std::string lossAdvice;
    void NoteLoss(const SerialLine& line) {
        std::string advice = line.LossAdvice();
        if (advice.empty()) return;
        std::lock_guard lock(lossMutex);
        lossAdvice = std::move(advice);
    }
    // Shared so a Close waiting for a thread still holds it when a handler has retired it meanwhile.
    std::shared_ptr<TComThread> ComThread;
    std::vector<std::shared_ptr<TComThread>> retired;  // stopped from inside a handler; joined later

    // Set while one of our hand-overs runs on the UI thread, so Close can tell it is nested.
    std::atomic<int> handOverDepth{0};
    // Set by the destructor: the owner's handlers may belong to an object already gone.
    std::atomic<bool> eventsMuted{false};

    struct Sender {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::vector<Sender> senders;
};

}  // namespace korvel
