// UiHost on Qt: the receive hand-over, cooperative waiting, ticks, message boxes and trace lines of
// the running application. Tests script the boxes and capture the trace through the hooks.
#pragma once

#include <QObject>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "host/ui_host.h"

namespace korvel {

class QtUiHost : public QObject, public UiHost {
    Q_OBJECT
public:
    explicit QtUiHost(QObject* parent = nullptr);  // the constructing thread is the UI thread
    ~QtUiHost() override;

    bool RunOnUiThreadAndWait(const std::function<void()>& fn) override;
    void ProcessEvents(uint32_t maxWaitMs) override;
    uint32_t TickCount() override;
    TModalResult MessageBox(TMsgDlgType type, const std::string& text, TMsgDlgButtons buttons) override;
    // The advice as the box's informative text.
    TModalResult MessageBoxWithAdvice(TMsgDlgType type, const std::string& text, const std::string& advice,
                                      TMsgDlgButtons buttons) override;
    std::string InputBox(const std::string& caption, const std::string& prompt, const std::string& defaultText) override;
    void Trace(const std::string& line) override;
    // The kernel's notifications (or a poll); each runs under the general error display.
    std::unique_ptr<DeviceChangeWatch> WatchDeviceChanges(std::function<void(TDeviceChange)> onChange) override;

    // Refuses further hand-overs and releases every worker still waiting for one.
    void Shutdown();

    // When set, boxes are answered here instead of being shown (with the advice after a blank line).
    std::function<TModalResult(TMsgDlgType, const std::string&, TMsgDlgButtons)> MessageBoxHook;
    std::function<void(const std::string&)> TraceHook;
    std::function<std::string(const std::string& caption, const std::string& prompt, const std::string& defaultText)>
        InputBoxHook;

private:
    struct Call;
    void RunCall(const std::shared_ptr<Call>& call);

    std::mutex m_;
    std::condition_variable cv_;
    bool shutdown_ = false;
    uint64_t handOversRun_ = 0;  // UI thread only
};

}  // namespace korvel
