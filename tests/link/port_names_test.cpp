#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "link/port_names.h"
#include "link/serial_device.h"
#include "link/serial_ports.h"
#include "link/zyl_serial_port.h"
#include "support/fake_ui_host.h"

namespace korvel {
namespace {

TEST(PortNames, NameToPortFollowsExactCaseAndTrimming) {
    struct Row {
        const char* name;
        TCommPort port;
    } rows[] = {
        {"", spNone},          {"   ", spNone},         {"COM1", TCommPort(1)},  {"  COM5  ", TCommPort(5)},
        {"COM254", spCOM254},  {"COM255", spCustom},    {"COM0", spCustom},      {"com5", spCustom},
        {"Com5", spCustom},    {"COM05", spCustom},     {"COM", spCustom},       {"COM5x", spCustom},
        {"COM-1", spCustom},   {"/dev/pts/3", spCustom}, {"\tCOM5", spCustom},
    };
    for (const Row& r : rows) EXPECT_EQ(TZylSerialPort::StringToCommPort(r.name), r.port) << '"' << r.name << '"';
}

TEST(PortNames, PortToNameAndPortProperty) {
    test::FakeUiHost host;
    TZylSerialPort port(host);
    EXPECT_EQ(port.CommPortToString(spNone), "");
    EXPECT_EQ(port.CommPortToString(TCommPort(10)), "COM10");
    EXPECT_EQ(port.CommPortToString(spCOM254), "COM254");

    port.SetPort(TCommPort(5));
    EXPECT_EQ(port.PortName(), "COM5");
    EXPECT_EQ(port.GetPort(), TCommPort(5));

    // A custom name is trimmed, and follows into the port only while the port is custom.
    port.SetCustomPortName("  /dev/pts/7 ");
    EXPECT_EQ(port.GetCustomPortName(), "/dev/pts/7");
    EXPECT_EQ(port.PortName(), "COM5");
    port.SetPort(spCustom);
    EXPECT_EQ(port.PortName(), "/dev/pts/7");
    port.SetCustomPortName("/dev/pts/8");
    EXPECT_EQ(port.PortName(), "/dev/pts/8");
    EXPECT_EQ(port.CommPortToString(spCustom), "/dev/pts/8");

    port.SetPort(spNone);
    EXPECT_EQ(port.PortName(), "");
}

TEST(PortNames, FixedDeviceSchemeBothWays) {
    struct Row {
        const char* device;
        int number;
    } rows[] = {
        {"/dev/ttyS0", 1},     {"/dev/ttyS4", 5},      {"/dev/ttyS31", 32},   {"/dev/ttyS32", 0},
        {"/dev/ttyUSB0", 33},  {"/dev/ttyUSB63", 96},  {"/dev/ttyUSB64", 0},  {"/dev/ttyACM0", 97},
        {"/dev/ttyACM63", 160}, {"/dev/ttyACM64", 0},  {"/dev/ttyAMA0", 0},   {"/dev/ttyS", 0},
        {"/dev/ttyS01", 0},    {"/dev/ttyUSB1a", 0},   {"/dev/pts/3", 0},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(FixedPortNumber(r.device), r.number) << r.device;
        if (r.number) {
            EXPECT_EQ(FixedDevicePath(r.number), r.device);
        }
    }
    EXPECT_EQ(FixedDevicePath(161), "");
    EXPECT_EQ(FixedDevicePath(0), "");
}

TEST(PortNames, OtherDevicesTakeFollowingNumbersInNameOrder) {
    const auto map = MapSerialDevices(
        {"/dev/ttyUSB1", "/dev/ttyAMA1", "/dev/ttyS0", "/dev/rfcomm0", "/dev/ttyAMA0", "/dev/ttyUSB1", "/dev/ttyS40"});
    std::vector<std::pair<std::string, std::string>> got;
    for (const auto& m : map) got.emplace_back(m.name, m.devicePath);
    const std::vector<std::pair<std::string, std::string>> want = {
        {"COM1", "/dev/ttyS0"},     {"COM34", "/dev/ttyUSB1"},   {"COM161", "/dev/rfcomm0"},
        {"COM162", "/dev/ttyAMA0"}, {"COM163", "/dev/ttyAMA1"},  {"COM164", "/dev/ttyS40"},
    };
    EXPECT_EQ(got, want);

    // Names run out at COM254 rather than wrapping onto a fixed number.
    std::vector<std::string> many;
    for (int i = 0; i < 120; ++i) many.push_back("/dev/ttyX" + std::to_string(1000 + i));
    const auto capped = MapSerialDevices(many);
    EXPECT_EQ(capped.size(), 94u);
    EXPECT_EQ(capped.back().name, "COM254");
}

TEST(PortNames, ResolvingANameToItsDevice) {
    const std::vector<std::string> present = {"/dev/ttyAMA0", "/dev/ttyUSB0"};
    EXPECT_EQ(ResolveDevicePath("COM5", present), "/dev/ttyS4");
    EXPECT_EQ(ResolveDevicePath("COM33", {}), "/dev/ttyUSB0");
    EXPECT_EQ(ResolveDevicePath("COM161", present), "/dev/ttyAMA0");
    EXPECT_EQ(ResolveDevicePath("COM162", present), "");
    EXPECT_EQ(ResolveDevicePath("/dev/pts/3", present), "/dev/pts/3");
#ifdef _WIN32
    EXPECT_EQ(TZylSerialPort::DevicePath(" COM5 "), "\\\\.\\COM5");
    EXPECT_EQ(TZylSerialPort::DevicePath("COM254"), "\\\\.\\COM254");
#else
    EXPECT_EQ(TZylSerialPort::DevicePath(" COM5 "), "/dev/ttyS4");
    EXPECT_EQ(TZylSerialPort::DevicePath("/dev/pts/3"), "/dev/pts/3");
#endif
}

#ifndef _WIN32
TEST(PortNames, SysfsScanSkipsPlaceholdersAndNonDevices) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("korvel_tty_" + std::to_string(::getpid()));
    fs::remove_all(root);
    auto makeTty = [&](const std::string& name, bool device, const char* type) {
        fs::create_directories(root / name);
        if (device) fs::create_directories(root / name / "device");
        if (type) std::ofstream(root / name / "type") << type << '\n';
    };
    makeTty("ttyS0", true, "4");
    makeTty("ttyS1", true, "0");      // no UART behind it
    makeTty("tty1", false, nullptr);  // virtual console
    makeTty("ttyUSB0", true, nullptr);
    makeTty("ttyACM2", true, nullptr);

    auto found = ListSerialDevices(root.string());
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{"/dev/ttyACM2", "/dev/ttyS0", "/dev/ttyUSB0"}));
    EXPECT_TRUE(ListSerialDevices((root / "missing").string()).empty());
    fs::remove_all(root);
}
#endif

}  // namespace
}  // namespace korvel
