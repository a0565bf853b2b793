// The small set of services through which core reaches the UI thread. The app implements it with
// Qt; tests implement it with scripted fakes so nothing ever blocks on a modal box.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace korvel {

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation };
enum class TMsgDlgButtons { mbOK, mbOKCancel };
enum class TModalResult { mrOk, mrCancel };
// The buttons as every box shows them, whatever language the toolkit's own texts are in, so that
// a question can name them. mbOKCancel's default is Cancel: a question asks before something.
inline constexpr char BUTTON_OK[] = "OK";
inline constexpr char BUTTON_CANCEL[] = "Annuleren";

// A serial port appeared (adapter plugged in) or went away.
enum class TDeviceChange { Arrival, Removal };

// A running watch on serial ports coming and going; destroying it ends the notifications.
class DeviceChangeWatch {
public:
    virtual ~DeviceChangeWatch() = default;
};

class UiHost {
public:
    virtual ~UiHost() = default;

    // From a worker thread: run fn on the UI thread and return once it has run. Calls from one
    // thread run in the order made. Returns false (fn not run) once the host is shutting down,
    // so a worker never waits for a UI thread that has gone.
    virtual bool RunOnUiThreadAndWait(const std::function<void()>& fn) = 0;

    // UI thread: handle the pending events (window messages, timers, hand-overs). When none is
    // pending, wait for one, but at most maxWaitMs; 0 never waits.
    virtual void ProcessEvents(uint32_t maxWaitMs) = 0;

    // Millisecond tick counter; wraps at 2^32 like any 32-bit tick count.
    virtual uint32_t TickCount() = 0;

    // Modal message box with a fixed text; returns the button chosen.
    virtual TModalResult MessageBox(TMsgDlgType type, const std::string& text, TMsgDlgButtons buttons) = 0;
    // The same with advice below the fixed text (what happened, what to do), set apart from it;
    // a host that cannot set it apart puts it after a blank line.
    virtual TModalResult MessageBoxWithAdvice(TMsgDlgType type, const std::string& text, const std::string& advice,
                                              TMsgDlgButtons buttons) {
        return MessageBox(type, advice.empty() ? text : text + "\n\n" + advice, buttons);
    }

    // Single-line input dialog: the edited text on OK, defaultText on Cancel. A host without
    // dialogs answers as Cancel.
    virtual std::string InputBox(const std::string& caption, const std::string& prompt, const std::string& defaultText) {
        (void)caption;
        (void)prompt;
        return defaultText;
    }

    // The user asked the program to stop (the command line's Ctrl+C): a wait that cannot handle
    // events meanwhile (a send the network does not take) gives up instead of running its course.
    virtual bool StopRequested() { return false; }

    // Developer trace line (debug output), never shown to the user.
    virtual void Trace(const std::string& line) = 0;

    // UI thread: calls onChange, on the UI thread, each time a serial port appears or goes, until
    // the watch returned is destroyed. Null where nothing can be watched.
    virtual std::unique_ptr<DeviceChangeWatch> WatchDeviceChanges(std::function<void(TDeviceChange)> onChange) {
        (void)onChange;
        return nullptr;
    }
};

}  // namespace korvel
