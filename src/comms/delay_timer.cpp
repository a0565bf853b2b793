#include "comms/delay_timer.h"

#include <algorithm>

namespace korvel {

TDelayTimer::TDelayTimer(UiHost& host) : host_(host) {}

void TDelayTimer::Delay(uint32_t ToDelay) {
    if (ToDelay == 0) return;
    if (InDelay) {
        FStart = host_.TickCount();
        FLength = ToDelay;
        TimeFence = FStart + FLength;
        return;
    }
    InDelay = true;
    QuitDelay = false;
    struct End {
        TDelayTimer& t;
        ~End() {
            t.QuitDelay = false;
            t.InDelay = false;
            t.FStillToGo = 0;
        }
    } end{*this};
    FStart = host_.TickCount();
    FLength = ToDelay;
    TimeFence = FStart + FLength;
    uint32_t now = FStart;
    // Elapsed time, not now < TimeFence: the latter ends early when the counter wraps.
    while (now - FStart < FLength && !QuitDelay) {
        FStillToGo = FLength - (now - FStart);
        if (OnIdle)
            OnIdle(this, FStillToGo);
        else
            Yield();
        now = host_.TickCount();
    }
}

void TDelayTimer::Yield() { host_.ProcessEvents(InDelay ? FStillToGo : 0); }

void TDelayTimer::AbortDelay() {
    if (InDelay) QuitDelay = true;
}

TPassBudget::TPassBudget(TDelayTimer& timer, uint32_t passes)
    : timer_(timer), target_(passes), minimumMs_(MinimumMs(passes)), start_(timer.Host().TickCount()) {}

bool TPassBudget::Exhausted() const {
    if (passes_ < target_) return false;
    return nested_ || timer_.Host().TickCount() - start_ >= minimumMs_;
}

void TPassBudget::Pass() {
    nested_ = nested_ || timer_.Busy();
    // Past the counted passes only the wall time is left to wait: wait it in slices of one old
    // tick, which keeps an answer's latency short without waking every millisecond.
    uint32_t step = 1;
    if (passes_ >= target_ && !nested_) {
        const uint32_t elapsed = timer_.Host().TickCount() - start_;
        if (elapsed < minimumMs_) step = std::min<uint32_t>(16, minimumMs_ - elapsed);
    }
    timer_.Delay(step);
    ++passes_;
}

}  // namespace korvel
