#include "support/fake_sysfs.h"

#ifndef _WIN32

#include <stdlib.h>

#include <fstream>
#include <stdexcept>

#include "link/serial_ports.h"

namespace korvel::test {

namespace fs = std::filesystem;

namespace {
void Write(const fs::path& file, const std::string& text) { std::ofstream(file) << text << '\n'; }
}  // namespace

FakeSysfs::FakeSysfs() : previous_(SysfsRoot()) {
    std::string pattern = (fs::temp_directory_path() / "korvel_sysfs_XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
    root_ = pattern;
    fs::create_directories(root_ / "class" / "tty");
    SetSysfsRoot(root_.string());
}

FakeSysfs::~FakeSysfs() {
    SetSysfsRoot(previous_);
    std::error_code ec;
    fs::remove_all(root_, ec);
}

void FakeSysfs::Link(const std::string& name, const fs::path& ttyDir, const fs::path& device, const std::string& devName) {
    fs::create_directories(ttyDir);
    fs::create_directories(device);
    fs::create_directory_symlink(device, ttyDir / "device");
    Write(ttyDir / "uevent", "MAJOR=188\nMINOR=0\nDEVNAME=" + (devName.empty() ? name : devName));
    fs::create_directory_symlink(ttyDir, root_ / "class" / "tty" / name);
}

void FakeSysfs::AddTty(const std::string& name, const std::string& devName) {
    const fs::path device = root_ / "devices" / "platform" / ("serial-" + name);
    Link(name, device / "tty" / name, device, devName);
    Write(device / "tty" / name / "type", "4");
    owned_[name] = device;
}

void FakeSysfs::AddUsbTty(const std::string& name, const std::string& busPath, const std::string& vid,
                          const std::string& pid, const std::string& serial, const std::string& product,
                          const std::string& devName) {
    const fs::path usb = root_ / "devices" / "pci0000:00" / "0000:00:14.0" / "usb1" / busPath;
    fs::create_directories(usb);
    Write(usb / "idVendor", vid);
    Write(usb / "idProduct", pid);
    if (!serial.empty()) Write(usb / "serial", serial);
    if (!product.empty()) Write(usb / "product", product);
    // As the kernel has it: USB device, its interface, the usb-serial port, then the tty.
    const fs::path port = usb / (busPath + ":1.0") / name;
    Link(name, port / "tty" / name, port, devName);
    owned_[name] = usb;
}

void FakeSysfs::Remove(const std::string& name) {
    std::error_code ec;
    fs::remove(root_ / "class" / "tty" / name, ec);
    if (const auto it = owned_.find(name); it != owned_.end()) {
        fs::remove_all(it->second, ec);
        owned_.erase(it);
    }
}

std::string DevName(const std::string& devicePath) {
    return devicePath.rfind("/dev/", 0) == 0 ? devicePath.substr(5) : devicePath;
}

}  // namespace korvel::test

#endif
