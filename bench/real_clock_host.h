// A UiHost that really waits: a condition variable stands in for the UI thread's event queue, so
// a benchmark measures what the waits cost without a window system.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "host/ui_host.h"

namespace korvel::bench {

class RealClockHost : public UiHost {
public:
    ~RealClockHost() override { Shutdown(); }
    bool RunOnUiThreadAndWait(const std::function<void()>& fn) override;
    void ProcessEvents(uint32_t maxWaitMs) override;
    uint32_t TickCount() override;
    TModalResult MessageBox(TMsgDlgType, const std::string&, TMsgDlgButtons) override { return TModalResult::mrOk; }
    void Trace(const std::string&) override {}
    void Shutdown();

private:
    struct HandOver {
        const std::function<void()>* fn;
        bool done = false;
    };
    bool RunPending();

    std::mutex m_;
    std::condition_variable cv_;
    std::deque<HandOver*> queue_;
    bool shutdown_ = false;
};

}  // namespace korvel::bench
