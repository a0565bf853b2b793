// Linux-only: rates without a B-constant (7200, 14400, 128000, custom) go through termios2,
// whose kernel header clashes with <termios.h>, so it stays alone in this file.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cstdint>

namespace korvel {

bool SetArbitraryBaudRate(int fd, int32_t rate) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) return false;
    t.c_cflag &= ~CBAUD;
    t.c_cflag |= BOTHER;
    t.c_ispeed = static_cast<speed_t>(rate);
    t.c_ospeed = static_cast<speed_t>(rate);
    return ioctl(fd, TCSETS2, &t) == 0;
}

}  // namespace korvel
