// The kernel's device notifications (uevents) on Linux: a netlink socket to watch, and the
// reading of its messages into serial-port arrivals and removals. Elsewhere Open gives null.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "host/ui_host.h"

namespace korvel {

// A tty came ("add") or went ("remove"); every other message (other subsystems, "change",
// "bind", malformed bytes) is no serial-port change.
std::optional<TDeviceChange> ParseUevent(const char* data, std::size_t size);

class TUeventSocket {
public:
    static std::unique_ptr<TUeventSocket> Open();  // null where it cannot be had
    ~TUeventSocket();
    TUeventSocket(const TUeventSocket&) = delete;
    TUeventSocket& operator=(const TUeventSocket&) = delete;

    int Fd() const { return fd_; }
    // The changes among the messages waiting now; never blocks. Lost messages (the socket's
    // queue overran) count as an arrival, so the caller rescans.
    std::vector<TDeviceChange> ReadChanges();
    // Whether the kernel has sent anything yet, of any device. The socket binds just as well in a
    // network namespace the kernel never tells (a container's): until it speaks, it proves nothing.
    bool Heard() const { return heard_; }

private:
    explicit TUeventSocket(int fd) : fd_(fd) {}
    int fd_;
    bool heard_ = false;
};

}  // namespace korvel
