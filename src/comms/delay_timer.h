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
    void Yield();       // handle pending events; waits at most until the next tick when none
    void AbortDelay();  // the running delay ends at its next pass
    bool Busy() const { return InDelay; }

    std::function<void(TDelayTimer* Sender, uint32_t StillToGo)> OnIdle;

private:
    UiHost& host_;
    uint32_t TimeFence = 0;
    bool InDelay = false;
    bool QuitDelay = false;
};

}  // namespace korvel
