#include "support/fake_ui_host.h"

#include <algorithm>
#include <chrono>

#include "link/serial_ports.h"

namespace korvel::test {

namespace {
// Tests never see this machine's own serial ports or adapters; a test that wants some builds a
// tree of its own (FakeSysfs).
[[maybe_unused]] const bool kNoMachineSysfs = [] {
#ifndef _WIN32
    SetSysfsRoot("/nonexistent/korvel-test-sysfs");
#endif
    return true;
}();
}  // namespace

class FakeUiHost::Watch : public DeviceChangeWatch {
public:
    Watch(FakeUiHost& host, std::function<void(TDeviceChange)> fn) : host_(host), fn_(std::move(fn)) {
        host_.watches_.push_back(this);
    }
    ~Watch() override { std::erase(host_.watches_, this); }
    void Fire(TDeviceChange change) { fn_(change); }

private:
    FakeUiHost& host_;
    std::function<void(TDeviceChange)> fn_;
};

FakeUiHost::FakeUiHost(Clock clock, uint32_t startTick) : clock_(clock), fakeTick_(startTick) {}

FakeUiHost::~FakeUiHost() { Shutdown(); }

void FakeUiHost::Shutdown() {
    std::lock_guard lock(m_);
    shutdown_ = true;
    for (HandOver* h : handovers_) h->done = true;
    handovers_.clear();
    cv_.notify_all();
}

bool FakeUiHost::RunOnUiThreadAndWait(const std::function<void()>& fn) {
    HandOver h{&fn};
    std::unique_lock lock(m_);
    if (shutdown_) return false;
    handovers_.push_back(&h);
    cv_.notify_all();
    cv_.wait(lock, [&] { return h.done; });
    return !shutdown_;
}

bool FakeUiHost::RunPending() {
    bool ran = false;
    for (;;) {
        std::unique_lock lock(m_);
        if (!posted_.empty()) {
            auto task = std::move(posted_.front());
            posted_.pop_front();
            lock.unlock();
            task();
            ran = true;
            continue;
        }
        if (!handovers_.empty()) {
            HandOver* h = handovers_.front();
            handovers_.pop_front();
            lock.unlock();
            (*h->fn)();
            lock.lock();
            h->done = true;
            cv_.notify_all();
            ran = true;
            continue;
        }
        return ran;
    }
}

void FakeUiHost::ProcessEvents(uint32_t maxWaitMs) {
    ++processCalls_;
    if (OnProcessEvents) OnProcessEvents();
    if (RunPending() || maxWaitMs == 0) return;
    {
        std::unique_lock lock(m_);
        const auto realWait = std::chrono::milliseconds(clock_ == Clock::Fake ? 1 : maxWaitMs);
        cv_.wait_for(lock, realWait, [&] { return !posted_.empty() || !handovers_.empty(); });
        if (clock_ == Clock::Fake) fakeTick_ += maxWaitMs;
    }
    RunPending();
}

uint32_t FakeUiHost::TickCount() {
    if (clock_ == Clock::Real) {
        using namespace std::chrono;
        return static_cast<uint32_t>(
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }
    std::lock_guard lock(m_);
    return fakeTick_;
}

TModalResult FakeUiHost::MessageBox(TMsgDlgType type, const std::string& text, TMsgDlgButtons buttons) {
    return MessageBoxWithAdvice(type, text, {}, buttons);
}

TModalResult FakeUiHost::MessageBoxWithAdvice(TMsgDlgType type, const std::string& text, const std::string& advice,
                                              TMsgDlgButtons buttons) {
    if (OnMessageBox) OnMessageBox({type, text, buttons, advice});
    std::lock_guard lock(m_);
    boxes_.push_back({type, text, buttons, advice});
    if (answers_.empty()) return TModalResult::mrOk;
    TModalResult r = answers_.front();
    answers_.pop_front();
    return r;
}

std::string FakeUiHost::InputBox(const std::string& caption, const std::string& prompt, const std::string& defaultText) {
    std::lock_guard lock(m_);
    inputPrompts_.push_back(caption + '|' + prompt + '|' + defaultText);
    if (inputs_.empty()) return defaultText;
    const std::optional<std::string> answer = inputs_.front();
    inputs_.pop_front();
    return answer.value_or(defaultText);
}

void FakeUiHost::Trace(const std::string& line) {
    std::lock_guard lock(m_);
    traces_.push_back(line);
}

std::unique_ptr<DeviceChangeWatch> FakeUiHost::WatchDeviceChanges(std::function<void(TDeviceChange)> onChange) {
    return std::make_unique<Watch>(*this, std::move(onChange));
}

void FakeUiHost::DeviceChange(TDeviceChange change) {
    const std::vector<Watch*> watches = watches_;
    for (Watch* w : watches)
        if (std::find(watches_.begin(), watches_.end(), w) != watches_.end()) w->Fire(change);
}

std::size_t FakeUiHost::LiveWatches() const { return watches_.size(); }

void FakeUiHost::Post(std::function<void()> task) {
    std::lock_guard lock(m_);
    posted_.push_back(std::move(task));
    cv_.notify_all();
}

void FakeUiHost::AdvanceTime(uint32_t ms) {
    std::lock_guard lock(m_);
    fakeTick_ += ms;
}

void FakeUiHost::SetTime(uint32_t tick) {
    std::lock_guard lock(m_);
    fakeTick_ = tick;
}

void FakeUiHost::ScriptAnswers(std::vector<TModalResult> answers) {
    std::lock_guard lock(m_);
    answers_.assign(answers.begin(), answers.end());
}

void FakeUiHost::ScriptInputs(std::vector<std::optional<std::string>> inputs) {
    std::lock_guard lock(m_);
    inputs_.assign(inputs.begin(), inputs.end());
}

std::vector<std::string> FakeUiHost::InputPrompts() const {
    std::lock_guard lock(m_);
    return inputPrompts_;
}

std::vector<ShownBox> FakeUiHost::Boxes() const {
    std::lock_guard lock(m_);
    return boxes_;
}

std::vector<std::string> FakeUiHost::Traces() const {
    std::lock_guard lock(m_);
    return traces_;
}

void FakeUiHost::ClearRecords() {
    std::lock_guard lock(m_);
    boxes_.clear();
    traces_.clear();
    inputPrompts_.clear();
}

bool FakeUiHost::PumpUntil(const std::function<bool()>& pred, uint32_t realTimeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(realTimeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= end) return pred();
        ProcessEvents(1);
    }
    return true;
}

}  // namespace korvel::test
