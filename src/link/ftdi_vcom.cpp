#include "link/ftdi_vcom.h"

#include <algorithm>

namespace korvel {

namespace {

std::string ToLower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; });
    return s;
}

}  // namespace

TFTDI_VCOM::TFTDI_VCOM(UiHost& host) : host_(host) { USBRegister(); }

TFTDI_VCOM::~TFTDI_VCOM() {
    FWatch.reset();  // no notification may reach a half-destroyed detector
}

bool TFTDI_VCOM::USBRegister() {
    // Without notifications the detector still finds what is present when the IDs are set.
    FWatch = host_.WatchDeviceChanges([this](TDeviceChange change) { WMDeviceChange(change); });
    return FWatch != nullptr;
}

void TFTDI_VCOM::Raise(const TFTDIEvent& event) {
    if (event) event(this);
}

void TFTDI_VCOM::SetVID(const std::string& value) {
    FGetVID = ToLower(value);
    if (VID_PID_match()) Raise(OnArrival);
    if (!VID_PID_match()) Raise(OnRemove);
}

void TFTDI_VCOM::SetPID(const std::string& value) {
    FGetPID = ToLower(value);
    if (VID_PID_match()) Raise(OnArrival);
    if (!VID_PID_match()) Raise(OnRemove);
}

bool TFTDI_VCOM::VID_PID_match() {
    if (FGetVID.empty() || FGetPID.empty()) return false;
    return getCom();
}

bool TFTDI_VCOM::getCom() {
    const int32_t previous = Count;
    Count = 0;
    ComArray.clear();
    FAdapters.clear();
    bool result = false;
    for (TSerialPortInfo& adapter : FindUsbAdapters(ScanSerialPorts(), FGetVID, FGetPID)) {
        host_.Trace("interface for VID=" + adapter.VendorId + " PID=" + adapter.ProductId + " at " + adapter.Name);
        result = true;
        ComArray.push_back(adapter.Number);
        ++Count;
        FAdapters.push_back(std::move(adapter));
    }
    return result || Count != previous;
}

void TFTDI_VCOM::WMDeviceChange(TDeviceChange change) {
    // Every change rescans, so Count and ComArray describe the state after it.
    if (!VID_PID_match()) return;
    Raise(change == TDeviceChange::Arrival ? OnArrival : OnRemove);
}

}  // namespace korvel
