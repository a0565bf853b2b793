// How the module finds its port: the list for the port-selection dialog, and the USB adapter
// detector's arrivals, which preselect the adapter while nothing is connected.
#include "comms/comms_data_module.h"

#include <algorithm>

namespace korvel {

namespace {
constexpr char kAdapterFound[] = "Compatibele aansluiting gevonden op ";
}

void TCommsDataModule::FillAvailableComPortsList(TPortList& List) {
    List.clear();
    const TCommPortSet present = ZylSerialPort.GetExistingCommPorts();
    const std::vector<TSerialPortInfo> ports = ScanSerialPorts();
    for (int n = spCOM1; n <= spCOM254; ++n) {
        if (!present.test(static_cast<std::size_t>(n))) continue;
        TPortListItem item;
        item.Name = ZylSerialPort.CommPortToString(static_cast<TCommPort>(n));
        item.Number = n;
        const auto info = std::find_if(ports.begin(), ports.end(), [n](const TSerialPortInfo& p) { return p.Number == n; });
        if (info != ports.end()) {
            item.DevicePath = info->DevicePath;
            item.UsbDevice = DescribeUsbDevice(*info);
        }
        List.push_back(std::move(item));
    }
}

TCommPort TCommsDataModule::PortNumber(const std::string& Text) { return TZylSerialPort::StringToCommPort(Text); }

void TCommsDataModule::FTDI_VCOMArrival(TFTDI_VCOM*) {
    // Never under a connection: the engineer's open line is not swapped for another.
    if (FConnectionState != csDisconnected) {
        FMissedArrival = FMissedArrival || FTDI_VCOM.Count > 0;
        return;
    }
    FMissedArrival = false;
    if (FTDI_VCOM.Count <= 0) return;
    const TCommPort before = ZylSerialPort.GetPort();
    ZylSerialPort.SetPort(static_cast<TCommPort>(FTDI_VCOM.ComArray[0]));
    if (ZylSerialPort.GetPort() == before) return;
    host_.MessageBox(TMsgDlgType::mtInformation,
                     kAdapterFound + ZylSerialPort.CommPortToString(ZylSerialPort.GetPort()) + " .",
                     TMsgDlgButtons::mbOK);
}

void TCommsDataModule::TakeMissedArrival() {
    if (!FMissedArrival || FConnectionState != csDisconnected || FFlashingFirmware) return;
    FMissedArrival = false;
    if (FTDI_VCOM.VID_PID_match()) FTDI_VCOMArrival(&FTDI_VCOM);  // a fresh look: it may have gone again
}

}  // namespace korvel
