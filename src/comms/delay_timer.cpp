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

void TDelayTimer::Pass(uint32_t maxMs) {
    if (InDelay || maxMs == 0) return;
    InDelay = true;
    struct End {
        TDelayTimer& t;
        ~End() {
            t.InDelay = false;
            t.FStillToGo = 0;
        }
    } end{*this};
    FStart = host_.TickCount();
    FLength = maxMs;
    TimeFence = FStart + FLength;
    FStillToGo = maxMs;
    if (OnIdle)
        OnIdle(this, FStillToGo);
    else
        Yield();
}

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
    if (nested_) {
        timer_.Delay(1);  // returns at once: the running delay's owner does the waiting
        ++passes_;
        return;
    }
    // Until the next old tick since the start, at most one tick: passes that an event ended
    // early do not make a later one longer.
    const uint32_t elapsed = timer_.Host().TickCount() - start_;
    const uint32_t tick = MinimumMs(passes_ + 1);
    uint32_t wait = tick > elapsed ? tick - elapsed : 1;
    if (passes_ >= target_) wait = elapsed < minimumMs_ ? minimumMs_ - elapsed : 1;
    timer_.Pass(std::clamp<uint32_t>(wait, 1, 16));
    ++passes_;
}

}  // namespace korvel
