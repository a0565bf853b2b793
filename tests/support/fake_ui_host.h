// A scripted UiHost for tests: records message boxes and trace lines, answers boxes from a
// script, runs the receive hand-over when the "UI thread" (the test) processes events, and
// drives either a fake clock (fast, exact) or the real one (for tests over a pty).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "host/ui_host.h"

namespace korvel::test {

struct ShownBox {
    TMsgDlgType type;
    std::string text;
    TMsgDlgButtons buttons;
    std::string advice = {};  // below the text
};

class FakeUiHost : public UiHost {
public:
    enum class Clock { Fake, Real };
    explicit FakeUiHost(Clock clock = Clock::Fake, uint32_t startTick = 1000);
    ~FakeUiHost() override;

    bool RunOnUiThreadAndWait(const std::function<void()>& fn) override;
    // Runs what is pending; when nothing is, waits (really) at most 1 ms for a hand-over and,
    // with the fake clock, moves time on by maxWaitMs (at least 1 ms).
    void ProcessEvents(uint32_t maxWaitMs) override;
    uint32_t TickCount() override;
    TModalResult MessageBox(TMsgDlgType type, const std::string& text, TMsgDlgButtons buttons) override;
    TModalResult MessageBoxWithAdvice(TMsgDlgType type, const std::string& text, const std::string& advice,
                                      TMsgDlgButtons buttons) override;
    std::string InputBox(const std::string& caption, const std::string& prompt, const std::string& defaultText) override;
    void Trace(const std::string& line) override;
    std::unique_ptr<DeviceChangeWatch> WatchDeviceChanges(std::function<void(TDeviceChange)> onChange) override;

    // Test side.
    void DeviceChange(TDeviceChange change);  // as the kernel would report it, to every live watch, now
    std::size_t LiveWatches() const;
    void Post(std::function<void()> task);       // a UI event, run by the next ProcessEvents
    void AdvanceTime(uint32_t ms);               // fake clock only
    void SetTime(uint32_t tick);                 // fake clock only
    void ScriptAnswers(std::vector<TModalResult> answers);  // then mrOk once used up
    // Texts the next input boxes return; nullopt answers as Cancel, and so does an empty script.
    void ScriptInputs(std::vector<std::optional<std::string>> inputs);
    std::vector<std::string> InputPrompts() const;  // "caption|prompt|default" of each box shown
    std::vector<ShownBox> Boxes() const;
    std::vector<std::string> Traces() const;
    void ClearRecords();
    uint64_t ProcessEventsCalls() const { return processCalls_; }
    // Processes events until pred() holds or realTimeoutMs of real time passed; returns pred().
    bool PumpUntil(const std::function<bool()>& pred, uint32_t realTimeoutMs = 5000);
    // Refuses further hand-overs and releases a worker waiting in one.
    void Shutdown();

    std::function<void()> OnProcessEvents;  // called at the start of every ProcessEvents
    std::function<void(const ShownBox&)> OnMessageBox;  // called as a box is shown

private:
    class Watch;
    bool RunPending();

    const Clock clock_;
    mutable std::mutex m_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> posted_;
    struct HandOver {
        const std::function<void()>* fn;
        bool done = false;
    };
    std::deque<HandOver*> handovers_;
    bool shutdown_ = false;
    uint32_t fakeTick_;
    uint64_t processCalls_ = 0;
    std::deque<TModalResult> answers_;
    std::vector<ShownBox> boxes_;
    std::deque<std::optional<std::string>> inputs_;
    std::vector<std::string> inputPrompts_;
    std::vector<std::string> traces_;
    std::vector<Watch*> watches_;  // UI thread only
};

}  // namespace korvel::test
