#include "real_clock_host.h"

#include <chrono>

namespace korvel::bench {

bool RealClockHost::RunOnUiThreadAndWait(const std::function<void()>& fn) {
    HandOver h{&fn};
    std::unique_lock lock(m_);
    if (shutdown_) return false;
    queue_.push_back(&h);
    cv_.notify_all();
    cv_.wait(lock, [&] { return h.done; });
    return !shutdown_;
}

bool RealClockHost::RunPending() {
    bool ran = false;
    std::unique_lock lock(m_);
    while (!queue_.empty()) {
        HandOver* h = queue_.front();
        queue_.pop_front();
        lock.unlock();
        (*h->fn)();
        lock.lock();
        h->done = true;
        cv_.notify_all();
        ran = true;
    }
    return ran;
}

void RealClockHost::ProcessEvents(uint32_t maxWaitMs) {
    if (RunPending() || maxWaitMs == 0) return;
    {
        std::unique_lock lock(m_);
        cv_.wait_for(lock, std::chrono::milliseconds(maxWaitMs), [&] { return !queue_.empty() || shutdown_; });
    }
    RunPending();
}

uint32_t RealClockHost::TickCount() {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void RealClockHost::Shutdown() {
    std::lock_guard lock(m_);
    shutdown_ = true;
    for (HandOver* h : queue_) h->done = true;
    queue_.clear();
    cv_.notify_all();
}

}  // namespace korvel::bench
