// The serial ports present on this machine, with the USB device behind each where there is one:
// what the port list shows and what the adapter detector looks for. The scan is per platform
// (Linux: sysfs); matching, ordering and describing are plain functions over its result.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/ui_host.h"

namespace korvel {

struct TSerialPortInfo {
    int Number = 0;          // 1..254
    std::string Name;        // "COM33"
    std::string DevicePath;  // "/dev/ttyUSB0"
    // The USB device the port belongs to; all empty for other ports.
    std::string VendorId, ProductId;  // four hex digits, as the system writes them
    std::string Serial, Product;
    std::string UsbPath;  // where the device sits on the bus; orders adapters by socket
};

// Present ports with a name, in number order.
std::vector<TSerialPortInfo> ScanSerialPorts();

// The ports of USB devices with this vendor and product ID (hex, any letter case), ordered by
// their place on the bus, so the same socket comes first from run to run whatever the plug order.
std::vector<TSerialPortInfo> FindUsbAdapters(const std::vector<TSerialPortInfo>& ports, std::string_view vendorId,
                                             std::string_view productId);

// The USB device behind a port as the port list shows it: product and serial number, so two
// identical adapters can be told apart; "" for a port without one.
std::string DescribeUsbDevice(const TSerialPortInfo& port);

// One row of the port-selection list: the name, and beside it what a user recognises.
struct TPortListItem {
    std::string Name;  // "COM33"
    int Number = 0;
    std::string DevicePath;  // "/dev/ttyUSB0"; "" where the name is the device
    std::string UsbDevice;   // DescribeUsbDevice
};
using TPortList = std::vector<TPortListItem>;

// Tells which ports came or went since the last look, for platforms (or sandboxes) without
// change notifications: the first look only takes stock.
class TPortPresence {
public:
    using Lister = std::function<std::vector<std::string>()>;
    explicit TPortPresence(Lister list);
    std::vector<TDeviceChange> Poll();  // Removal before Arrival, each at most once

private:
    Lister list_;
    std::vector<std::string> known_;
};

#ifndef _WIN32
// Root of the sysfs tree the scans read ("/sys"); tests point it at a tree they build.
const std::string& SysfsRoot();
void SetSysfsRoot(std::string root);

std::vector<TSerialPortInfo> ScanSerialPorts(const std::string& sysfsRoot);
// Device paths of the serial devices listed under a sysfs tty class directory.
std::vector<std::string> ListSerialDevices(const std::string& sysClassTty);
#endif

}  // namespace korvel
