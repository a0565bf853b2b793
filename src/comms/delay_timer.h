// Cooperative delay: every wait on the board is made with it, so the UI thread keeps handling
// events (and the receive hand-over) while it waits. Each pass waits for the next event or tick
// through the host instead of spinning.
#pragma once

#include <cstdint>
#include <functional>

#include "host/ui_host.h"

namespace korvel {

class TDelayTimer {
public:
    explicit TDelayTimer(UiHost& host);

    // Waits ToDelay ms. Nested call while a delay runs: moves the running delay's deadline to
    // now + ToDelay and returns at once.
    void Delay(uint32_t ToDelay);
    void Yield();       // handle pending events; waits at most until the running delay's deadline
    // One pass of a wait: handles the next event, or waits at most maxMs for one. Nested inside a
    // running delay it returns at once, as a nested Delay does.
    void Pass(uint32_t maxMs);
    void AbortDelay();  // the running delay ends at its next pass
    bool Busy() const { return InDelay; }
    UiHost& Host() { return host_; }

    // Called once per pass of a running delay. When unassigned, a pass still waits through Yield,
    // so a delay never spins.
    std::function<void(TDelayTimer* Sender, uint32_t StillToGo)> OnIdle;

private:
    UiHost& host_;
    // The deadline is kept as start + length so that a delay across the tick counter's wrap
    // still lasts its full length; TimeFence mirrors it for readers of the old field.
    uint32_t TimeFence = 0;
    uint32_t FStart = 0;
    uint32_t FLength = 0;
    uint32_t FStillToGo = 0;
    bool InDelay = false;
    bool QuitDelay = false;
};

// A wait counted in passes of Delay(1): TransceiveBlock's 1000 passes, the firmware loader's 1000
// passes per chunk. The board was first served by a PC whose tick counter stepped every
// 15.625 ms, so a pass lasted until the next such tick and N passes gave it N x 15.625 ms. A pass
// here lasts until the next of those ticks or the next event, whichever comes first, and a budget
// is exhausted only when it has made its N passes AND that much wall time has gone by. An answer
// is an event, so it still ends the wait at once (the caller checks for it between passes), and a
// wait costs some 64 wake-ups a second instead of a thousand.
//
//     TPassBudget budget(DelayTimer, 1000);
//     while (!answered && !budget.Exhausted()) { ...look...; budget.Pass(); }
//
// Inside a running delay (a nested wait) Delay(1) returns at once, so only the passes count there
// and the wait ends after N quick passes instead of spinning for the wall time.
class TPassBudget {
public:
    TPassBudget(TDelayTimer& timer, uint32_t passes);
    bool Exhausted() const;
    void Pass();
    uint32_t Passes() const { return passes_; }

    static constexpr uint32_t MinimumMs(uint32_t passes) {
        return static_cast<uint32_t>((static_cast<uint64_t>(passes) * 125u + 7u) / 8u);
    }

private:
    TDelayTimer& timer_;
    const uint32_t target_;
    const uint32_t minimumMs_;
    const uint32_t start_;
    uint32_t passes_ = 0;
    bool nested_ = false;
};

}  // namespace korvel
