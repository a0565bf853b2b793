// Finding the port: the sysfs scan, the adapter detector and its arrival rule, the port list, the
// kernel's notifications, and what the user is told when a port cannot be opened.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>

#include "board_sim.h"
#include "comms/comms_data_module.h"
#include "link/ftdi_vcom.h"
#include "link/port_names.h"
#include "link/serial_ports.h"
#include "link/uevent_socket.h"
#include "support/fake_sysfs.h"
#include "support/fake_ui_host.h"

namespace korvel {
namespace {

using test::FakeSysfs;
using test::FakeUiHost;

std::string Found(const char* port) { return std::string("Compatibele aansluiting gevonden op ") + port + " ."; }

std::vector<std::string> BoxTexts(const FakeUiHost& host) {
    std::vector<std::string> out;
    for (const auto& b : host.Boxes()) {
        EXPECT_EQ(b.type, TMsgDlgType::mtInformation) << b.text;
        out.push_back(b.text);
    }
    return out;
}

TEST(SysfsScan, PortsWithTheirDeviceAndUsbFacts) {
    FakeSysfs sys;
    sys.AddTty("ttyS0");
    sys.AddUsbTty("ttyUSB0", "1-2", "0403", "6001", "A50285BI");
    sys.AddTty("ttyAMA0", "pts/9");                            // node named otherwise than the tty
    sys.AddTty("ttyS5", "../../etc/passwd");                   // a name that leaves /dev is not taken
    sys.AddUsbTty("ttyUSB1", "1-3", "067b", "2303", "", "");  // no serial, no product
    {
        std::ofstream(std::filesystem::path(sys.Root()) / "devices/pci0000:00/0000:00:14.0/usb1/1-2/product")
            << std::string("FT232R\x01 USB UART") + std::string(300, 'x') << '\n';
    }

    const auto ports = ScanSerialPorts(sys.Root());
    ASSERT_EQ(ports.size(), 5u);
    struct Row {
        int number;
        const char* name;
        const char* device;
        const char* vid;
        const char* serial;
        const char* usbPath;
        const char* shown;  // DescribeUsbDevice
    } rows[] = {
        {1, "COM1", "/dev/ttyS0", "", "", "", ""},
        {6, "COM6", "/dev/ttyS5", "", "", "", ""},
        {33, "COM33", "/dev/ttyUSB0", "0403", "A50285BI", "devices/pci0000:00/0000:00:14.0/usb1/1-2", nullptr},
        {34, "COM34", "/dev/ttyUSB1", "067b", "", "devices/pci0000:00/0000:00:14.0/usb1/1-3", "USB 067b:2303"},
        {161, "COM161", "/dev/pts/9", "", "", "", ""},
    };
    for (std::size_t i = 0; i < ports.size(); ++i) {
        SCOPED_TRACE(rows[i].name);
        EXPECT_EQ(ports[i].Number, rows[i].number);
        EXPECT_EQ(ports[i].Name, rows[i].name);
        EXPECT_EQ(ports[i].DevicePath, rows[i].device);
        EXPECT_EQ(ports[i].VendorId, rows[i].vid);
        EXPECT_EQ(ports[i].Serial, rows[i].serial);
        EXPECT_EQ(ports[i].UsbPath, rows[i].usbPath);
        if (rows[i].shown) {
            EXPECT_EQ(DescribeUsbDevice(ports[i]), rows[i].shown);
        }
    }
    // A product text from the device is bounded and cannot carry control characters.
    EXPECT_EQ(ports[2].Product.substr(0, 17), "FT232R? USB UARTx");
    EXPECT_EQ(ports[2].Product.size(), 128u);

    EXPECT_TRUE(ScanSerialPorts(sys.Root() + "/missing").empty());
}

TEST(PortList, PresentPortsInNumberOrderWithWhatTellsThemApart) {
    FakeSysfs sys;
    sys.AddTty("ttyS9");
    sys.AddTty("ttyS1");
    sys.AddTty("ttyS2");
    sys.AddUsbTty("ttyUSB1", "1-4", "0403", "6001", "FT1XYZ");
    sys.AddUsbTty("ttyUSB0", "1-3", "0403", "6001", "FT0ABC");
    FakeUiHost host;
    TCommsDataModule m(host);
    TPortList list = {{"stale", 1, "", ""}};
    m.FillAvailableComPortsList(list);
    std::vector<std::vector<std::string>> got;
    for (const auto& item : list)
        got.push_back({item.Name, std::to_string(item.Number), item.DevicePath, item.UsbDevice});
    const std::vector<std::vector<std::string>> want = {
        {"COM2", "2", "/dev/ttyS1", ""},
        {"COM3", "3", "/dev/ttyS2", ""},
        {"COM10", "10", "/dev/ttyS9", ""},
        {"COM33", "33", "/dev/ttyUSB0", "FT232R USB UART, serienummer FT0ABC"},
        {"COM34", "34", "/dev/ttyUSB1", "FT232R USB UART, serienummer FT1XYZ"},
    };
    EXPECT_EQ(got, want);
    EXPECT_EQ(TCommsDataModule::PortNumber("COM10"), TCommPort(10));
    EXPECT_EQ(TCommsDataModule::PortNumber("/dev/ttyUSB0"), spCustom);

    FakeSysfs empty;
    m.FillAvailableComPortsList(list);
    EXPECT_TRUE(list.empty());
}

// The arrival rule as the module applies it: what is plugged in or pulled, in which state, and
// what the engineer then finds selected and is told.
TEST(AdapterDetector, ArrivalRule) {
    struct Tty {
        std::string name, bus, vid, pid, serial;  // bus "": a port without USB
    };
    const Tty adapter{"ttyUSB0", "1-1", "0403", "6001", "A1"};
    struct Step {
        bool plug;
        Tty tty;
    };
    struct Row {
        const char* what;
        std::vector<Tty> atStart;
        bool connected;
        const char* chosen;  // port chosen before the change; nullptr leaves it
        std::vector<Step> steps;
        const char* portAfter;  // nullptr: unchanged
        std::vector<std::string> boxes;
        std::vector<int32_t> comArray;
    } rows[] = {
        {"nothing present", {}, false, nullptr, {}, "", {}, {}},
        {"present at start-up", {adapter}, false, nullptr, {}, "COM33", {Found("COM33")}, {33}},
        {"plugged in with no port chosen", {}, false, nullptr, {{true, adapter}}, "COM33", {Found("COM33")}, {33}},
        {"plugged in with another port chosen", {}, false, "COM1", {{true, adapter}}, "COM33", {Found("COM33")}, {33}},
        {"plugged in again on the chosen port", {}, false, "COM33", {{true, adapter}}, "COM33", {}, {33}},
        {"plugged in while connected", {}, true, nullptr, {{true, adapter}}, nullptr, {}, {33}},
        {"two adapters: the first on the bus, not the lower tty",
         {{"ttyUSB0", "1-10", "0403", "6001", "B"}, {"ttyUSB1", "1-2", "0403", "6001", "A"}},
         false, nullptr, {}, "COM34", {Found("COM34")}, {34, 33}},
        {"another serial device while the adapter is chosen",
         {adapter}, false, nullptr, {{true, {"ttyS3", "", "", "", ""}}}, "COM33", {Found("COM33")}, {33}},
        {"another USB serial device is not the adapter",
         {}, false, nullptr, {{true, {"ttyUSB2", "1-5", "067b", "2303", ""}}}, "", {}, {}},
        {"pulled: the count drops, the port stays", {adapter}, false, nullptr, {{false, adapter}}, "COM33",
         {Found("COM33")}, {}},
        {"pulled and plugged into another socket", {adapter}, false, nullptr,
         {{false, adapter}, {true, {"ttyUSB1", "1-4", "0403", "6001", "A1"}}}, "COM34",
         {Found("COM33"), Found("COM34")}, {34}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        FakeSysfs sys;
        const auto Add = [&](const Tty& t) {
            if (t.bus.empty())
                sys.AddTty(t.name);
            else
                sys.AddUsbTty(t.name, t.bus, t.vid, t.pid, t.serial);
        };
        for (const Tty& t : r.atStart) Add(t);
        FakeUiHost host;
        sim::BoardSimOptions quiet;
        quiet.silent = true;
        sim::BoardSim board(quiet);
        TCommsDataModule m(host);
        EXPECT_EQ(host.LiveWatches(), 1u);
        if (r.chosen) m.ZylSerialPort.SetPort(TZylSerialPort::StringToCommPort(r.chosen));
        if (r.connected) {
            m.ZylSerialPort.SetCustomPortName(board.Start());
            m.ZylSerialPort.SetPort(spCustom);
            m.Connect();
            ASSERT_EQ(m.ConnectionState(), csConnected);
        }
        const std::string before = m.ZylSerialPort.PortName();
        for (const Step& s : r.steps) {
            if (s.plug) {
                Add(s.tty);
            } else {
                sys.Remove(s.tty.name);
            }
            host.DeviceChange(s.plug ? TDeviceChange::Arrival : TDeviceChange::Removal);
        }
        EXPECT_EQ(m.ZylSerialPort.PortName(), r.portAfter ? r.portAfter : before);
        EXPECT_EQ(BoxTexts(host), r.boxes);
        EXPECT_EQ(m.FTDI_VCOM.ComArray, r.comArray);
        EXPECT_EQ(m.FTDI_VCOM.Count, static_cast<int32_t>(r.comArray.size()));
        m.Disconnect();
    }
}

TEST(AdapterDetector, EventsOfSettingTheIdsAndOfChanges) {
    FakeSysfs sys;
    sys.AddUsbTty("ttyUSB0", "1-1", "10c4", "EA60", "X");
    FakeUiHost host;
    std::string events;
    {
        TFTDI_VCOM detector(host);
        detector.OnArrival = [&](TFTDI_VCOM*) { events += 'A'; };
        detector.OnRemove = [&](TFTDI_VCOM*) { events += 'R'; };
        detector.SetVID("10C4");  // no product ID yet: no match
        EXPECT_EQ(detector.VendorID(), "10c4");
        detector.SetPID("ea60");
        EXPECT_EQ(events, "RA");
        EXPECT_EQ(detector.ComArray, std::vector<int32_t>{33});
        EXPECT_EQ(detector.Adapters().at(0).Serial, "X");
        EXPECT_EQ(detector.vz_info(), "VID & PID in hex");
        EXPECT_EQ(detector.version(), "v1.0");

        host.DeviceChange(TDeviceChange::Arrival);  // still there: raised again
        sys.Remove("ttyUSB0");
        host.DeviceChange(TDeviceChange::Removal);  // the count changed
        host.DeviceChange(TDeviceChange::Removal);  // nothing changed, nothing present
        EXPECT_EQ(events, "RAAR");
        EXPECT_EQ(detector.Count, 0);

        detector.SetPID("");
        EXPECT_FALSE(detector.VID_PID_match());
        const auto traces = host.Traces();
        EXPECT_NE(std::find(traces.begin(), traces.end(), "interface for VID=10c4 PID=EA60 at COM33"), traces.end());
    }
    EXPECT_EQ(host.LiveWatches(), 0u);  // the watch ends with the detector
}

TEST(Uevent, OnlyTtysComingAndGoingCount) {
    using namespace std::string_literals;
    struct Row {
        std::string bytes;
        std::optional<TDeviceChange> want;
    } rows[] = {
        {"add@/devices/pci0000:00/usb1/1-2/1-2:1.0/ttyUSB0/tty/ttyUSB0\0ACTION=add\0DEVPATH=/devices/x\0"
         "SUBSYSTEM=tty\0MAJOR=188\0MINOR=0\0DEVNAME=ttyUSB0\0SEQNUM=4107\0"s,
         TDeviceChange::Arrival},
        {"remove@/devices/x/tty/ttyUSB0\0ACTION=remove\0SUBSYSTEM=tty\0"s, TDeviceChange::Removal},
        {"add@/x\0SUBSYSTEM=tty\0ACTION=add"s, TDeviceChange::Arrival},  // last field without its NUL
        {"change@/x\0ACTION=change\0SUBSYSTEM=tty\0"s, std::nullopt},
        {"add@/devices/pci0000:00/usb1/1-2\0ACTION=add\0SUBSYSTEM=usb\0"s, std::nullopt},
        {"add@/x\0ACTION=add\0SUBSYSTEM=ttyX\0"s, std::nullopt},
        {"libudev\0\xfe\xed\xca\xfe ACTION=add\0SUBSYSTEM=tty\0"s, std::nullopt},  // udev's copy, not the kernel's
        {"ACTION=add\0SUBSYSTEM=tty\0"s, std::nullopt},
        {""s, std::nullopt},
        {"\0\0\0"s, std::nullopt},
    };
    for (const Row& r : rows) EXPECT_EQ(ParseUevent(r.bytes.data(), r.bytes.size()), r.want) << r.bytes;
}

TEST(OpenFailure, TheSystemsTextThenWhatToDo) {
    FakeUiHost host;
    TZylSerialPort port(host);
    // /dev/null opens but is no terminal; a COM name with no device behind it names the port.
    struct Row {
        const char* port;
        std::string want;
    } rows[] = {
        {"/dev/null",
         "Cannot connect to /dev/null . Inappropriate ioctl for device\n"
         "/dev/null is geen seriële poort: kies met \"Com poort...\" de poort van de USB-adapter."},
        {"COM161",
         "Cannot connect to COM161 . No such file or directory\n"
         "COM161 is er niet: sluit de USB-adapter aan of kies met \"Com poort...\" een poort die er wel is."},
    };
    for (const Row& r : rows) {
        if (TZylSerialPort::StringToCommPort(r.port) == spCustom) {
            port.SetCustomPortName(r.port);
            port.SetPort(spCustom);
        } else {
            port.SetPort(TZylSerialPort::StringToCommPort(r.port));
        }
        try {
            port.Open();
            ADD_FAILURE() << r.port << " opened";
        } catch (const EZylSerialPortException& e) {
            EXPECT_EQ(std::string(e.what()), r.want);
        }
        EXPECT_FALSE(port.IsConnected());
    }
    // No access cannot be staged for root; the sentence must still name the device and the way in.
    EXPECT_EQ(OpenFailureAdvice(TOpenFailure::NoAccess, "/dev/ttyUSB0", "met \"Com poort...\""),
              "U heeft geen toegang tot /dev/ttyUSB0: laat uw gebruiker toevoegen aan de groep dialout "
              "(sudo usermod -aG dialout $USER), meld u af en weer aan en probeer het opnieuw.");
    EXPECT_EQ(MakeDeviceError(EACCES).kind, TOpenFailure::NoAccess);
    EXPECT_EQ(MakeDeviceError(EACCES).text, "Permission denied");
}

}  // namespace
}  // namespace korvel
