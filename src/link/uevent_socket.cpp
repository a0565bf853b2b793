#include "link/uevent_socket.h"

#include <string_view>

#ifdef __linux__
#include <linux/netlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace korvel {

std::optional<TDeviceChange> ParseUevent(const char* data, std::size_t size) {
    // "add@/devices/...\0ACTION=add\0SUBSYSTEM=tty\0DEVNAME=ttyUSB0\0..."
    std::string_view rest(data, size);
    std::string_view action, subsystem;
    bool header = true;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\0');
        const std::string_view field = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (header) {
            header = false;
            if (field.find('@') == std::string_view::npos) return std::nullopt;  // not a kernel message
            continue;
        }
        if (field.rfind("ACTION=", 0) == 0) action = field.substr(7);
        if (field.rfind("SUBSYSTEM=", 0) == 0) subsystem = field.substr(10);
    }
    if (subsystem != "tty") return std::nullopt;
    if (action == "add") return TDeviceChange::Arrival;
    if (action == "remove") return TDeviceChange::Removal;
    return std::nullopt;
}

#ifdef __linux__

std::unique_ptr<TUeventSocket> TUeventSocket::Open() {
    const int fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_KOBJECT_UEVENT);
    if (fd < 0) return nullptr;
    sockaddr_nl addr{};
    addr.nl_family = AF_NETLINK;
    addr.nl_groups = 1;  // the kernel's own broadcasts
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<TUeventSocket>(new TUeventSocket(fd));
}

TUeventSocket::~TUeventSocket() { ::close(fd_); }

std::vector<TDeviceChange> TUeventSocket::ReadChanges() {
    std::vector<TDeviceChange> changes;
    char buffer[8192];
    // Bounded, so a storm of messages cannot hold the UI thread; the rest wakes us again.
    for (int i = 0; i < 256; ++i) {
        sockaddr_nl from{};
        iovec iov{buffer, sizeof buffer};
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        const ssize_t n = ::recvmsg(fd_, &msg, MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == ENOBUFS) {
                changes.push_back(TDeviceChange::Arrival);
                continue;
            }
            break;  // EAGAIN: nothing more waiting
        }
        // Only the kernel speaks on this group; anything else is ignored.
        if (from.nl_pid != 0) continue;
        heard_ = true;
        if (msg.msg_flags & MSG_TRUNC) continue;
        if (const auto change = ParseUevent(buffer, static_cast<std::size_t>(n))) changes.push_back(*change);
    }
    return changes;
}

#else

std::unique_ptr<TUeventSocket> TUeventSocket::Open() { return nullptr; }
TUeventSocket::~TUeventSocket() = default;
std::vector<TDeviceChange> TUeventSocket::ReadChanges() { return {}; }

#endif

}  // namespace korvel
