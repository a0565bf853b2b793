// POSIX serial backend: termios, ioctl and poll on a non-blocking descriptor.
#include "link/serial_device.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>

#include "link/port_names.h"
#include "link/serial_ports.h"

namespace korvel {

// Rates without a B-constant need the kernel's own interface (serial_device_linux_baud.cpp).
bool SetArbitraryBaudRate(int fd, int32_t rate);

std::string SystemErrorText(int error) {
    char buf[256] = {};
    // GNU strerror_r may return a static string instead of filling buf.
    const char* text = strerror_r(error, buf, sizeof buf);
    return text ? std::string(text) : std::string(buf);
}

DeviceError MakeDeviceError(int code) {
    DeviceError e{code, SystemErrorText(code), TOpenFailure::Other};
    switch (code) {
        case ENOENT: case ENODEV: case ENXIO: e.kind = TOpenFailure::Absent; break;
        case EACCES: case EPERM: e.kind = TOpenFailure::NoAccess; break;
        case EBUSY: e.kind = TOpenFailure::Busy; break;
        case ENOTTY: e.kind = TOpenFailure::NotSerial; break;
        default: break;
    }
    return e;
}

namespace {

bool IsGoneError(int e) { return e == EIO || e == ENXIO || e == ENODEV || e == EBADF || e == EPIPE; }

IoResult Failure(int e) { return IoResult{-1, e, IsGoneError(e)}; }

speed_t StandardSpeed(int32_t rate) {
    switch (rate) {
        case 50: return B50;
        case 75: return B75;
        case 110: return B110;
        case 134: return B134;
        case 150: return B150;
        case 200: return B200;
        case 300: return B300;
        case 600: return B600;
        case 1200: return B1200;
        case 1800: return B1800;
        case 2400: return B2400;
        case 4800: return B4800;
        case 9600: return B9600;
        case 19200: return B19200;
        case 38400: return B38400;
        case 57600: return B57600;
        case 115200: return B115200;
        case 230400: return B230400;
#ifdef B460800
        case 460800: return B460800;
#endif
#ifdef B921600
        case 921600: return B921600;
#endif
        default: return B0;
    }
}

}  // namespace

struct SerialDevice::Impl {
    int fd = -1;
    int wakeRead = -1, wakeWrite = -1;  // self-pipe that ends a wait early
    bool locked = false;
    bool exclusive = false;
    bool haveSaved = false;
    termios saved{};
};

SerialDevice::SerialDevice() : d(std::make_unique<Impl>()) {}

SerialDevice::~SerialDevice() { Close(); }

bool SerialDevice::Open(const std::string& devicePath, DeviceError& error) {
    Close();
    std::unique_lock lock(lock_);
    const int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = MakeDeviceError(errno);
        return false;
    }
    // flock first: it holds against root too and leaves no window between open and TIOCEXCL.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int e = errno;
        ::close(fd);
        error = MakeDeviceError(e == EWOULDBLOCK ? EBUSY : e);
        return false;
    }
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = MakeDeviceError(errno);
        ::flock(fd, LOCK_UN);
        ::close(fd);
        return false;
    }
    d->fd = fd;
    d->wakeRead = pipeFds[0];
    d->wakeWrite = pipeFds[1];
    d->locked = true;
    d->exclusive = ::ioctl(fd, TIOCEXCL) == 0;
    d->haveSaved = ::tcgetattr(fd, &d->saved) == 0;
    return true;
}

void SerialDevice::Close() {
    closing_ = true;
    Interrupt();
    std::unique_lock lock(lock_);
    if (d->fd >= 0) {
        if (d->exclusive) ::ioctl(d->fd, TIOCNXCL);
        if (d->locked) ::flock(d->fd, LOCK_UN);
        if (d->haveSaved) ::tcsetattr(d->fd, TCSANOW, &d->saved);
        ::close(d->fd);
    }
    if (d->wakeRead >= 0) ::close(d->wakeRead);
    if (d->wakeWrite >= 0) ::close(d->wakeWrite);
    *d = Impl{};
    closing_ = false;
}

bool SerialDevice::IsOpen() const {
    std::shared_lock lock(lock_);
    return d->fd >= 0;
}

bool SerialDevice::Configure(const LineSettings& s, DeviceError& error) {
    std::shared_lock lock(lock_);
    if (d->fd < 0) {
        error = MakeDeviceError(EBADF);
        return false;
    }
    termios t{};
    if (::tcgetattr(d->fd, &t) != 0) {
        error = MakeDeviceError(errno);
        return false;
    }
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CRTSCTS | HUPCL);
#ifdef CMSPAR
    t.c_cflag &= ~CMSPAR;
#endif
    switch (s.DataWidth) {
        case 5: t.c_cflag |= CS5; break;
        case 6: t.c_cflag |= CS6; break;
        case 7: t.c_cflag |= CS7; break;
        default: t.c_cflag |= CS8; break;
    }
    // One and a half stop bits is what the UART sends for CSTOPB at 5 data bits.
    if (s.StopBits != 0) t.c_cflag |= CSTOPB;
    switch (s.Parity) {
        case 0: break;
        case 1: t.c_cflag |= PARENB | PARODD; break;
        case 2: t.c_cflag |= PARENB; break;
#ifdef CMSPAR
        case 3: t.c_cflag |= PARENB | PARODD | CMSPAR; break;
        case 4: t.c_cflag |= PARENB | CMSPAR; break;
#endif
        default:
            error = MakeDeviceError(EINVAL);
            return false;
    }
    // Without replacement, bytes with parity errors pass unaltered; with it they read as NUL,
    // the only replacement a termios line offers.
    t.c_iflag &= ~(INPCK | IGNPAR | PARMRK | IXON | IXOFF | IXANY);
    if (s.ParityCheck && s.ReplaceParityErrors) t.c_iflag |= INPCK;
    if (s.HwFlowControl == hfRTSCTS) t.c_cflag |= CRTSCTS;
    if (s.HwFlowControl == hfDTRDSR) {
        // The tty layer has no DTR/DSR handshake; refusing beats a line that silently overruns.
        error = MakeDeviceError(ENOTSUP);
        return false;
    }
    if (s.SwFlowControl == sfXONXOFF) {
        t.c_iflag |= IXON | IXOFF;
        t.c_cc[VSTART] = static_cast<cc_t>(s.XonChar);
        t.c_cc[VSTOP] = static_cast<cc_t>(s.XoffChar);
    }
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;

    const speed_t speed = StandardSpeed(s.BaudRate);
    if (s.BaudRate <= 0) {
        error = MakeDeviceError(EINVAL);
        return false;
    }
    if (speed != B0) ::cfsetspeed(&t, speed);
    if (::tcsetattr(d->fd, TCSANOW, &t) != 0) {
        error = MakeDeviceError(errno);
        return false;
    }
    if (speed == B0 && !SetArbitraryBaudRate(d->fd, s.BaudRate)) {
        error = MakeDeviceError(errno);
        return false;
    }
    // DTR and RTS by the driver's handshake when that flow control owns them; a pty has neither.
    int dtr = TIOCM_DTR, rts = TIOCM_RTS;
    ::ioctl(d->fd, s.EnableDTROnOpen ? TIOCMBIS : TIOCMBIC, &dtr);
    if (s.HwFlowControl != hfRTSCTS) ::ioctl(d->fd, s.EnableRTSOnOpen ? TIOCMBIS : TIOCMBIC, &rts);
    discardNulls_ = s.DiscardNulls;
    dsrSensitivity_ = s.DsrSensitivity;
    return true;
}

bool SerialDevice::SetTimeouts(const SerialTimeouts& timeouts) {
    // Reads never wait here; only the write totals have a meaning, applied in Write.
    std::unique_lock lock(lock_);
    timeouts_ = timeouts;
    return d->fd >= 0;
}

bool SerialDevice::SetQueueSizes(uint32_t, uint32_t) {
    std::shared_lock lock(lock_);
    return d->fd >= 0;  // the tty layer sizes its own queues
}

IoResult SerialDevice::WaitingCount() {
    std::shared_lock lock(lock_);
    if (d->fd < 0 || closing_) return Failure(EBADF);
    int n = 0;
    if (::ioctl(d->fd, FIONREAD, &n) != 0) return Failure(errno);
    return IoResult{n, 0, false};
}

IoResult SerialDevice::Read(uint8_t* buffer, std::size_t size) {
    std::shared_lock lock(lock_);
    if (d->fd < 0 || closing_) return Failure(EBADF);
    ssize_t n = ::read(d->fd, buffer, size);
    if (n < 0) {
        if (errno == EAGAIN || errno == EINTR) return IoResult{};
        return Failure(errno);
    }
    if (dsrSensitivity_) {
        int lines = 0;
        if (::ioctl(d->fd, TIOCMGET, &lines) == 0 && !(lines & TIOCM_DSR)) return IoResult{};
    }
    if (discardNulls_) n = std::remove(buffer, buffer + n, uint8_t{0}) - buffer;
    return IoResult{n, 0, false};
}

IoResult SerialDevice::Write(const uint8_t* buffer, std::size_t size) {
    std::shared_lock lock(lock_);
    if (d->fd < 0) return Failure(EBADF);
    using Clock = std::chrono::steady_clock;
    // The largest settings add up to more than the clock can count ahead. A century is no limit
    // in practice, and cannot overflow into a deadline that has already passed.
    constexpr uint64_t kMaxTotalMs = 100ull * 365 * 24 * 3600 * 1000;
    const uint64_t multiplier = timeouts_.WriteTotalTimeoutMultiplier;
    uint64_t totalMs = kMaxTotalMs;
    if (multiplier == 0 || size <= kMaxTotalMs / multiplier)
        totalMs = std::min<uint64_t>(multiplier * size + timeouts_.WriteTotalTimeoutConstant, kMaxTotalMs);
    const bool limited = totalMs > 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(totalMs);
    auto lastProgress = Clock::now();
    std::size_t done = 0;
    while (done < size) {
        if (closing_) return IoResult{static_cast<int64_t>(done), EBADF, true};
        const ssize_t n = ::write(d->fd, buffer + done, size - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            lastProgress = Clock::now();
            continue;
        }
        if (!limited && Clock::now() - lastProgress >= std::chrono::milliseconds(kStalledWriteMs)) break;
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            const int e = errno;
            return IoResult{static_cast<int64_t>(done), e, IsGoneError(e)};
        }
        // Output queue full: wait for room in short slices so a close is noticed.
        int sliceMs = 20;
        if (limited) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) break;
            sliceMs = static_cast<int>(std::min<int64_t>(left, sliceMs));
        }
        pollfd p{d->fd, POLLOUT, 0};
        ::poll(&p, 1, sliceMs);
        if (p.revents & (POLLERR | POLLNVAL)) return IoResult{static_cast<int64_t>(done), EIO, true};
    }
    return IoResult{static_cast<int64_t>(done), 0, false};
}

SerialDevice::Wait SerialDevice::WaitForInput(uint32_t timeoutMs) {
    std::shared_lock lock(lock_);
    if (d->fd < 0 || closing_) return Wait::Interrupted;
    pollfd p[2] = {{d->fd, POLLIN, 0}, {d->wakeRead, POLLIN, 0}};
    const int r = ::poll(p, 2, static_cast<int>(std::min<uint32_t>(timeoutMs, 60000)));
    if (r <= 0) return Wait::Timeout;
    if (p[1].revents) {
        uint8_t drain[64];
        while (::read(d->wakeRead, drain, sizeof drain) > 0) {
        }
        return Wait::Interrupted;
    }
    if (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return Wait::HangUp;
    return Wait::Ready;
}

void SerialDevice::Interrupt() {
    std::shared_lock lock(lock_);
    if (d->wakeWrite >= 0) {
        const uint8_t b = 1;
        [[maybe_unused]] const ssize_t n = ::write(d->wakeWrite, &b, 1);
    }
}

bool SerialDevice::ModemStatus(uint8_t& lines) {
    std::shared_lock lock(lock_);
    lines = 0;
    int bits = 0;
    if (d->fd < 0 || ::ioctl(d->fd, TIOCMGET, &bits) != 0) return false;
    if (bits & TIOCM_CTS) lines |= mlCTS;
    if (bits & TIOCM_DSR) lines |= mlDSR;
    if (bits & TIOCM_RNG) lines |= mlRING;
    if (bits & TIOCM_CAR) lines |= mlCD;
    return true;
}

bool SerialDevice::Purge(bool input, bool output) {
    std::shared_lock lock(lock_);
    if (d->fd < 0 || (!input && !output)) return false;
    return ::tcflush(d->fd, input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH) == 0;
}

bool SerialDevice::SetBreak(bool on) {
    std::shared_lock lock(lock_);
    return d->fd >= 0 && ::ioctl(d->fd, on ? TIOCSBRK : TIOCCBRK) == 0;
}

bool SerialDevice::SetDTR(bool on) {
    std::shared_lock lock(lock_);
    int bit = TIOCM_DTR;
    return d->fd >= 0 && ::ioctl(d->fd, on ? TIOCMBIS : TIOCMBIC, &bit) == 0;
}

bool SerialDevice::SetRTS(bool on) {
    std::shared_lock lock(lock_);
    int bit = TIOCM_RTS;
    return d->fd >= 0 && ::ioctl(d->fd, on ? TIOCMBIS : TIOCMBIC, &bit) == 0;
}

bool SerialDevice::SetXonXoff(bool on) {
    std::shared_lock lock(lock_);
    return d->fd >= 0 && ::tcflow(d->fd, on ? TCOON : TCOOFF) == 0;
}

std::string SerialDevice::DevicePathForPort(const std::string& portName) {
    if (PortNumberFromName(portName) == 0 || !FixedDevicePath(PortNumberFromName(portName)).empty())
        return ResolveDevicePath(portName, {});
    return ResolveDevicePath(portName, ListSerialDevices(SysfsRoot() + "/class/tty"));
}

std::vector<std::string> SerialDevice::ExistingPortNames() {
    std::vector<std::string> names;
    for (const SerialPortMapping& m : MapSerialDevices(ListSerialDevices(SysfsRoot() + "/class/tty")))
        names.push_back(m.name);
    return names;
}

void SerialDevice::RequestTimerResolution() {}
void SerialDevice::ReleaseTimerResolution() {}

void SerialDevice::SetCurrentThreadPriority(int level) {
#ifdef __linux__
    // Per-thread nice value; raising above normal needs privileges and then simply fails.
    const int nice = std::clamp(-level * 5, -15, 19);
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), nice);
#else
    (void)level;
#endif
}

#ifndef __linux__
bool SetArbitraryBaudRate(int, int32_t) {
    errno = EINVAL;
    return false;
}
#endif

}  // namespace korvel
