// The application's general error display: an error raised by a handler (the port's "Cannot
// connect to ..." and the like) ends up here as a message box with the error's own text.
#pragma once

#include <exception>
#include <utility>

#include "host/ui_host.h"

namespace korvel {

void ShowGeneralError(UiHost& host, std::exception_ptr error);

// Every user command and every hand-over runs through this: an error must never unwind through
// the Qt event loop, which cannot carry it.
template <typename F>
void RunGuarded(UiHost& host, F&& f) {
    try {
        std::forward<F>(f)();
    } catch (...) {
        ShowGeneralError(host, std::current_exception());
    }
}

}  // namespace korvel
