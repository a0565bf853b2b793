// A sysfs tree built in a temporary directory, laid out as the kernel lays out serial ports and
// USB adapters, and made the root the port scans read for as long as it lives.
#pragma once

#ifndef _WIN32

#include <filesystem>
#include <map>
#include <string>

namespace korvel::test {

class FakeSysfs {
public:
    FakeSysfs();   // an empty tree: no ports
    ~FakeSysfs();  // removes the tree; the previous root comes back
    FakeSysfs(const FakeSysfs&) = delete;
    FakeSysfs& operator=(const FakeSysfs&) = delete;

    // A port without USB behind it, e.g. "ttyS1". devName: its node under /dev when that is not
    // the tty's own name (tests point it at a pty, "pts/4").
    void AddTty(const std::string& name, const std::string& devName = "");
    // A USB adapter at bus position busPath ("1-2") with one tty, e.g. "ttyUSB0".
    void AddUsbTty(const std::string& name, const std::string& busPath, const std::string& vid, const std::string& pid,
                   const std::string& serial, const std::string& product = "FT232R USB UART",
                   const std::string& devName = "");
    // The tty and the device it hangs under go, as when the adapter is pulled.
    void Remove(const std::string& name);

    std::string Root() const { return root_.string(); }

private:
    void Link(const std::string& name, const std::filesystem::path& ttyDir, const std::filesystem::path& device,
              const std::string& devName);

    std::filesystem::path root_;
    std::string previous_;
    std::map<std::string, std::filesystem::path> owned_;  // tty -> directory that goes with it
};

// A pty's node name under /dev ("/dev/pts/4" -> "pts/4").
std::string DevName(const std::string& devicePath);

}  // namespace korvel::test

#endif
