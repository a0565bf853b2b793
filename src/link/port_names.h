// The tool's port names ("COM1".."COM254") and, on systems without such names, the fixed scheme
// that ties them to device paths. Pure functions: the scan of the system lives in the backend.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "link/serial_device.h"  // TOpenFailure

namespace korvel {

// Number of a standard port name, exact case, no spaces: "COM5" -> 5; 0 for anything else.
int PortNumberFromName(std::string_view name);
std::string PortNameFromNumber(int number);  // 1..254 -> "COMn", else ""

struct SerialPortMapping {
    int number;              // 1..254
    std::string name;        // "COM5"
    std::string devicePath;  // "/dev/ttyS4"
};

// /dev/ttyS<k> -> COM<k+1> (k 0..31), /dev/ttyUSB<k> -> COM<33+k>, /dev/ttyACM<k> -> COM<97+k>
// (k 0..63); 0 for other devices. Fixed so a name means the same adapter from run to run.
int FixedPortNumber(std::string_view devicePath);
std::string FixedDevicePath(int number);  // the reverse; "" outside the fixed blocks

// Names for the devices present, ordered by number: fixed ones first by the scheme above, the
// others on the following free numbers in name order. Devices beyond COM254 get no name.
std::vector<SerialPortMapping> MapSerialDevices(std::vector<std::string> devicePaths);

// Device behind a port name: a fixed number resolves without a scan; another COM number by the
// mapping of the present devices; any other name is itself the path.
std::string ResolveDevicePath(std::string_view portName, const std::vector<std::string>& presentDevices);

// Trims spaces at both ends.
std::string TrimSpaces(std::string_view s);

// The sentence said after "Cannot connect to ..." : what the user can do about the failure.
// howToChoose: how this program chooses another port, e.g. "met \"Com poort...\"".
std::string OpenFailureAdvice(TOpenFailure kind, const std::string& device, const std::string& howToChoose);

}  // namespace korvel
