#include "host/console_host.h"

#include <chrono>
#include <cstdlib>
#include <ostream>

namespace korvel {

namespace {
std::atomic<bool> gInterrupted{false};
}

TConsoleHost::TConsoleHost(std::ostream& messages) : messages_(messages) {
    trace_ = std::getenv("KORVEL_TRACE") != nullptr;
}

TConsoleHost::~TConsoleHost() { Shutdown(); }

void TConsoleHost::Interrupt() { gInterrupted = true; }
bool TConsoleHost::Interrupted() { return gInterrupted; }
void TConsoleHost::ClearInterrupt() { gInterrupted = false; }

bool TConsoleHost::RunOnUiThreadAndWait(const std::function<void()>& fn) {
    Task task{fn};
    std::unique_lock<std::mutex> guard(lock_);
    if (shutdown_) return false;
    tasks_.push_back(&task);
    wake_.notify_all();
    wake_.wait(guard, [&] { return task.done || (shutdown_ && !task.taken); });
    if (!task.done) {
        // Shut down before it ran: take it back so nobody runs a task whose caller has gone.
        for (auto it = tasks_.begin(); it != tasks_.end(); ++it)
            if (*it == &task) {
                tasks_.erase(it);
                break;
            }
    }
    return task.done;
}

void TConsoleHost::HandleInterrupt() {
    if (!gInterrupted || interruptHandled_) return;
    interruptHandled_ = true;
    if (OnInterrupt) OnInterrupt();
}

void TConsoleHost::ProcessEvents(uint32_t maxWaitMs) {
    HandleInterrupt();
    std::unique_lock<std::mutex> guard(lock_);
    if (tasks_.empty() && maxWaitMs > 0)
        wake_.wait_for(guard, std::chrono::milliseconds(maxWaitMs), [&] { return !tasks_.empty() || shutdown_; });
    while (!tasks_.empty()) {
        Task* task = tasks_.front();
        tasks_.pop_front();
        task->taken = true;
        // The caller waits for it; run it without the lock, so it may hand over again.
        guard.unlock();
        task->fn();
        guard.lock();
        task->done = true;
        wake_.notify_all();
    }
    guard.unlock();
    // A signal that came while this waited is handled before the caller looks at the flag: the
    // caller may end its command on it, and what it stops must still be there.
    HandleInterrupt();
}

uint32_t TConsoleHost::TickCount() {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

TModalResult TConsoleHost::MessageBox(TMsgDlgType type, const std::string& text, TMsgDlgButtons buttons) {
    if (ShowBoxes && (type == TMsgDlgType::mtError || type == TMsgDlgType::mtWarning)) messages_ << text << std::endl;
    if (buttons == TMsgDlgButtons::mbOK) return TModalResult::mrOk;
    return ConfirmQuestions ? TModalResult::mrOk : TModalResult::mrCancel;
}

void TConsoleHost::Trace(const std::string& line) {
    if (trace_) messages_ << "trace: " << line << std::endl;
}

void TConsoleHost::Shutdown() {
    std::lock_guard<std::mutex> guard(lock_);
    shutdown_ = true;
    wake_.notify_all();
}

}  // namespace korvel
