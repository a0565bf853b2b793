// The USB adapter detector: finds the serial ports of USB devices with a given vendor and
// product ID, at once when both IDs are set and again on every device change the host reports.
// UI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/ui_host.h"
#include "link/serial_ports.h"

namespace korvel {

class TFTDI_VCOM;
using TFTDIEvent = std::function<void(TFTDI_VCOM* Sender)>;

class TFTDI_VCOM {
public:
    explicit TFTDI_VCOM(UiHost& host);  // Create: registers for device changes
    ~TFTDI_VCOM();
    TFTDI_VCOM(const TFTDI_VCOM&) = delete;
    TFTDI_VCOM& operator=(const TFTDI_VCOM&) = delete;

    TFTDIEvent OnArrival;
    TFTDIEvent OnRemove;

    // Stored in lower case; setting either runs a match (and may raise OnArrival or OnRemove).
    void SetVID(const std::string& value);
    void SetPID(const std::string& value);
    const std::string& VendorID() const { return FGetVID; }
    const std::string& ProductID() const { return FGetPID; }
    static std::string vz_info() { return "VID & PID in hex"; }
    static std::string version() { return "v1.0"; }

    bool VID_PID_match();  // false while an ID is empty; else a fresh scan
    bool getCom();         // the scan: true when an adapter is present or the count changed

    // A device change as the host reports it (the hidden window's WM_DEVICECHANGE elsewhere).
    void WMDeviceChange(TDeviceChange change);

    // Result of the last scan: port numbers in bus order, and the ports themselves.
    int32_t Count = 0;
    std::vector<int32_t> ComArray;
    const std::vector<TSerialPortInfo>& Adapters() const { return FAdapters; }

private:
    bool USBRegister();
    void Raise(const TFTDIEvent& event);

    UiHost& host_;
    std::string FGetVID;
    std::string FGetPID;
    std::vector<TSerialPortInfo> FAdapters;
    std::unique_ptr<DeviceChangeWatch> FWatch;
};

}  // namespace korvel
