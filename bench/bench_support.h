// What the benchmarks share: the process's CPU time and whole reads and writes on the pipes
// between a benchmark and the stand-in it runs in a child process.
#pragma once

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#undef Yield  // an old macro of windows.h; the delay timer has a member of that name
#else
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace korvel::bench {

inline double CpuSeconds() {
#ifdef _WIN32
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    auto seconds = [](const FILETIME& f) {
        return static_cast<double>((static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
#else
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
#endif
}

#ifndef _WIN32
inline bool ReadFull(int fd, void* buf, size_t n, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    auto* p = static_cast<uint8_t*>(buf);
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (n > 0) {
        pollfd pfd{fd, POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0 || ::poll(&pfd, 1, static_cast<int>(left)) <= 0) return false;
        const ssize_t r = ::read(fd, p, n);
        if (r <= 0) return false;
        p += r;
        n -= static_cast<size_t>(r);
    }
    return true;
}

inline void WriteFull(int fd, const void* buf, size_t n) {
    const auto* p = static_cast<const uint8_t*>(buf);
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w <= 0) return;
        p += w;
        n -= static_cast<size_t>(w);
    }
}
#endif

}  // namespace korvel::bench
