// The port scan on Linux: the tty class in sysfs, and for each tty the USB device it hangs under.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "link/port_names.h"
#include "link/serial_ports.h"

namespace korvel {

namespace fs = std::filesystem;

namespace {

std::string& RootSetting() {
    static std::string root = "/sys";
    return root;
}

// First line of a sysfs attribute, bounded, with control characters made harmless: the text
// ends up in a window.
std::string ReadAttribute(const fs::path& file) {
    std::ifstream in(file);
    if (!in) return {};
    std::string line;
    std::getline(in, line);
    if (line.size() > 128) line.resize(128);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) line.pop_back();
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return line;
}

// The node's name under /dev as the kernel gives it in the uevent file (it may differ from the
// directory's name); the directory's name where there is none.
std::string DeviceNodeName(const fs::path& entry) {
    std::ifstream in(entry / "uevent");
    std::string line;
    while (in && std::getline(in, line)) {
        if (line.rfind("DEVNAME=", 0) != 0) continue;
        const std::string name = line.substr(8);
        const bool safe = !name.empty() && name.size() <= 64 && name[0] != '/' && name.find("..") == std::string::npos &&
                          name.find('\0') == std::string::npos;
        if (safe) return name;
        break;
    }
    return entry.filename().string();
}

struct TtyEntry {
    std::string devicePath;
    fs::path entry;
};

std::vector<TtyEntry> ListTtys(const fs::path& sysClassTty) {
    std::vector<TtyEntry> out;
    std::error_code ec;
    for (fs::directory_iterator it(sysClassTty, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path entry = it->path();
        if (!fs::exists(entry / "device", ec)) continue;
        // Serial-core ports without a UART behind them (type 0) are placeholders, not ports.
        std::ifstream type(entry / "type");
        int uartType = -1;
        if (type && (type >> uartType) && uartType == 0) continue;
        out.push_back({"/dev/" + DeviceNodeName(entry), entry});
    }
    return out;
}

// Walks up from the tty's device to the USB device that carries it (the first ancestor with a
// vendor and product ID), staying inside the tree.
void FillUsbFacts(TSerialPortInfo& port, const fs::path& entry, const fs::path& top) {
    std::error_code ec;
    fs::path at = fs::canonical(entry / "device", ec);
    if (ec) return;
    for (int depth = 0; depth < 32 && !at.empty(); ++depth, at = at.parent_path()) {
        const fs::path rel = at.lexically_relative(top);
        if (rel.empty() || rel == "." || *rel.begin() == "..") return;
        if (!fs::exists(at / "idVendor", ec) || !fs::exists(at / "idProduct", ec)) continue;
        port.VendorId = ReadAttribute(at / "idVendor");
        port.ProductId = ReadAttribute(at / "idProduct");
        port.Serial = ReadAttribute(at / "serial");
        port.Product = ReadAttribute(at / "product");
        port.UsbPath = rel.generic_string();
        return;
    }
}

}  // namespace

const std::string& SysfsRoot() { return RootSetting(); }

void SetSysfsRoot(std::string root) { RootSetting() = std::move(root); }

std::vector<std::string> ListSerialDevices(const std::string& sysClassTty) {
    std::vector<std::string> out;
    for (const TtyEntry& t : ListTtys(sysClassTty)) out.push_back(t.devicePath);
    return out;
}

std::vector<TSerialPortInfo> ScanSerialPorts(const std::string& sysfsRoot) {
    const std::vector<TtyEntry> ttys = ListTtys(fs::path(sysfsRoot) / "class" / "tty");
    std::vector<std::string> paths;
    for (const TtyEntry& t : ttys) paths.push_back(t.devicePath);
    std::error_code ec;
    const fs::path top = fs::canonical(sysfsRoot, ec);

    std::vector<TSerialPortInfo> out;
    for (const SerialPortMapping& m : MapSerialDevices(paths)) {
        TSerialPortInfo port;
        port.Number = m.number;
        port.Name = m.name;
        port.DevicePath = m.devicePath;
        const auto t = std::find_if(ttys.begin(), ttys.end(), [&](const TtyEntry& e) { return e.devicePath == m.devicePath; });
        if (t != ttys.end() && !ec) FillUsbFacts(port, t->entry, top);
        out.push_back(std::move(port));
    }
    return out;
}

std::vector<TSerialPortInfo> ScanSerialPorts() { return ScanSerialPorts(SysfsRoot()); }

}  // namespace korvel
