// The UiHost of a program without a window (the command line): the thread that runs the job is
// the "UI thread"; the receive thread's hand-overs queue up and run when it processes events, so
// the communications module works as it does in the window. Boxes go to stderr.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <iosfwd>
#include <mutex>

#include "host/ui_host.h"

namespace korvel {

class TConsoleHost : public UiHost {
public:
    explicit TConsoleHost(std::ostream& messages);
    ~TConsoleHost() override;

    bool RunOnUiThreadAndWait(const std::function<void()>& fn) override;
    void ProcessEvents(uint32_t maxWaitMs) override;
    uint32_t TickCount() override;
    // Writes an error or a warning as a line while ShowBoxes; a question (OK/Cancel) is answered
    // Cancel unless ConfirmQuestions: a script is not asked.
    TModalResult MessageBox(TMsgDlgType type, const std::string& text, TMsgDlgButtons buttons) override;
    bool ShowBoxes = true;
    bool ConfirmQuestions = false;
    // Trace lines go to the messages stream only when asked for (KORVEL_TRACE set).
    void Trace(const std::string& line) override;

    // Refuses further hand-overs and releases a worker waiting in one.
    void Shutdown();

    // Set from a signal handler (nothing else may be done there); ProcessEvents on the job's
    // thread runs OnInterrupt once, on entry or after its wait.
    static void Interrupt();
    static bool Interrupted();
    bool StopRequested() override { return Interrupted(); }
    // For a process that runs several commands (tests): the next one starts uninterrupted.
    static void ClearInterrupt();
    std::function<void()> OnInterrupt;

private:
    void HandleInterrupt();

    struct Task {
        std::function<void()> fn;
        bool taken = false;  // being run: its caller must wait for the end even at shutdown
        bool done = false;
    };
    std::ostream& messages_;
    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<Task*> tasks_;
    bool shutdown_ = false;
    bool interruptHandled_ = false;
    bool trace_ = false;
};

}  // namespace korvel
