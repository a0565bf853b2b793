// The port's line settings: kept while closed, applied to the open line as they change.
#include <algorithm>
#include <array>

#include "link/zyl_serial_port.h"
#include "link/zyl_serial_port_impl.h"

namespace korvel {

namespace {

constexpr const char* kBadWidthStopBits = "Invalid data-width and stop-bits combination.";

constexpr std::array<int32_t, 22> kBaudRates{75,    110,   134,    150,    300,    600,    1200,   1800,
                                             2400,  4800,  7200,   9600,   14400,  19200,  38400,  57600,
                                             115200, 128000, 230400, 256000, 460800, 921600};

bool WidthStopBitsValid(uint8_t dataWidth, uint8_t stopBits) {
    if (dataWidth == 5) return stopBits != 2;
    return stopBits != 1;
}

}  // namespace

int32_t TZylSerialPort::BaudRateToInt(TBaudRate rate, int32_t customBaudRate) {
    return rate < kBaudRates.size() ? kBaudRates[rate] : customBaudRate;
}

TBaudRate TZylSerialPort::IntToBaudRate(int32_t rate) {
    const auto it = std::find(kBaudRates.begin(), kBaudRates.end(), rate);
    return it == kBaudRates.end() ? brCustom : static_cast<TBaudRate>(it - kBaudRates.begin());
}

// --- line settings ---------------------------------------------------------------------------

bool TZylSerialPort::ApplyLineConfiguration(bool purgeFirst) {
    if (!d->device || !d->device->IsOpen()) return false;
    if (purgeFirst) d->device->Purge(true, false);
    DeviceError error;
    if (d->device->Configure(d->settings, error)) return true;
    Close();
    return false;
}

namespace {
// Re-applies only when the value changed, for the settings that need no re-apply otherwise.
template <typename T>
bool Changed(T& field, T value) {
    if (field == value) return false;
    field = value;
    return true;
}
}  // namespace

void TZylSerialPort::ReapplyIf(bool needed) {
    if (needed && d->ComThread) ApplyLineConfiguration(true);
}

TBaudRate TZylSerialPort::GetBaudRate() const { return IntToBaudRate(d->settings.BaudRate); }

void TZylSerialPort::SetBaudRate(TBaudRate value) {
    d->settings.BaudRate = BaudRateToInt(value, d->FCustomBaudRate);
    ReapplyIf(true);
}

int32_t TZylSerialPort::GetCustomBaudRate() const { return d->FCustomBaudRate; }

void TZylSerialPort::SetCustomBaudRate(int32_t value) {
    d->FCustomBaudRate = value;
    if (GetBaudRate() == brCustom) {
        d->settings.BaudRate = value;
        ReapplyIf(true);
    }
}

TDataWidth TZylSerialPort::GetDataWidth() const {
    const uint8_t w = d->settings.DataWidth;
    return (w >= 5 && w <= 8) ? static_cast<TDataWidth>(w - 5) : dw8Bits;
}

void TZylSerialPort::SetDataWidth(TDataWidth value) {
    if (value > dw8Bits) return;
    const auto width = static_cast<uint8_t>(value + 5);
    if (!WidthStopBitsValid(width, d->settings.StopBits)) throw EZylSerialPortException(kBadWidthStopBits);
    d->settings.DataWidth = width;
    ReapplyIf(true);
}

TParityBits TZylSerialPort::GetParity() const { return static_cast<TParityBits>(d->settings.Parity); }

void TZylSerialPort::SetParity(TParityBits value) {
    if (value > pbSpace) return;
    d->settings.Parity = value;
    ReapplyIf(true);
}

TStopBits TZylSerialPort::GetStopBits() const { return static_cast<TStopBits>(d->settings.StopBits); }

void TZylSerialPort::SetStopBits(TStopBits value) {
    if (value > sb2Bits) return;
    if (!WidthStopBitsValid(d->settings.DataWidth, value)) throw EZylSerialPortException(kBadWidthStopBits);
    d->settings.StopBits = value;
    ReapplyIf(true);
}

bool TZylSerialPort::GetEnableDTROnOpen() const { return d->settings.EnableDTROnOpen; }
void TZylSerialPort::SetEnableDTROnOpen(bool v) { ReapplyIf(Changed(d->settings.EnableDTROnOpen, v)); }
bool TZylSerialPort::GetEnableRTSOnOpen() const { return d->settings.EnableRTSOnOpen; }
void TZylSerialPort::SetEnableRTSOnOpen(bool v) { ReapplyIf(Changed(d->settings.EnableRTSOnOpen, v)); }
THwFlowControl TZylSerialPort::GetHwFlowControl() const { return d->settings.HwFlowControl; }
void TZylSerialPort::SetHwFlowControl(THwFlowControl v) { ReapplyIf(Changed(d->settings.HwFlowControl, v)); }
TSwFlowControl TZylSerialPort::GetSwFlowControl() const { return d->settings.SwFlowControl; }
void TZylSerialPort::SetSwFlowControl(TSwFlowControl v) { ReapplyIf(Changed(d->settings.SwFlowControl, v)); }
void TZylSerialPort::SetXonChar(uint8_t v) { ReapplyIf(Changed(d->settings.XonChar, v)); }
void TZylSerialPort::SetXoffChar(uint8_t v) { ReapplyIf(Changed(d->settings.XoffChar, v)); }
void TZylSerialPort::SetXonLim(uint16_t v) { ReapplyIf(Changed(d->settings.XonLim, v)); }
void TZylSerialPort::SetXoffLim(uint16_t v) { ReapplyIf(Changed(d->settings.XoffLim, v)); }
void TZylSerialPort::SetParityCheck(bool v) { ReapplyIf(Changed(d->settings.ParityCheck, v)); }
void TZylSerialPort::SetReplaceParityErrors(bool v) { d->settings.ReplaceParityErrors = v; }
void TZylSerialPort::SetErrorChar(uint8_t v) { ReapplyIf(Changed(d->settings.ErrorChar, v)); }
void TZylSerialPort::SetEofChar(uint8_t v) { ReapplyIf(Changed(d->settings.EofChar, v)); }
void TZylSerialPort::SetDiscardNulls(bool v) { ReapplyIf(Changed(d->settings.DiscardNulls, v)); }
void TZylSerialPort::SetDsrSensitivity(bool v) { ReapplyIf(Changed(d->settings.DsrSensitivity, v)); }
void TZylSerialPort::SetTXContinueOnXoff(bool v) { ReapplyIf(Changed(d->settings.TXContinueOnXoff, v)); }

const LineSettings& TZylSerialPort::Settings() const { return d->settings; }
const SerialTimeouts& TZylSerialPort::Timeouts() const { return d->timeouts; }
void TZylSerialPort::SetReadIntervalTimeout(uint32_t v) { d->timeouts.ReadIntervalTimeout = v; }
void TZylSerialPort::SetReadTotalTimeoutMultiplier(uint32_t v) { d->timeouts.ReadTotalTimeoutMultiplier = v; }
void TZylSerialPort::SetReadTotalTimeoutConstant(uint32_t v) { d->timeouts.ReadTotalTimeoutConstant = v; }
void TZylSerialPort::SetWriteTotalTimeoutMultiplier(uint32_t v) { d->timeouts.WriteTotalTimeoutMultiplier = v; }
void TZylSerialPort::SetWriteTotalTimeoutConstant(uint32_t v) { d->timeouts.WriteTotalTimeoutConstant = v; }

uint32_t TZylSerialPort::GetInputBuffer() const { return d->settings.InputBuffer; }

void TZylSerialPort::SetInputBuffer(uint32_t v) {
    d->settings.InputBuffer = v;
    if (d->device && d->device->IsOpen()) d->device->SetQueueSizes(v, d->FOutputBuffer);
}

uint32_t TZylSerialPort::GetOutputBuffer() const { return d->FOutputBuffer; }

void TZylSerialPort::SetOutputBuffer(uint32_t v) {
    d->FOutputBuffer = v;
    if (d->device && d->device->IsOpen()) d->device->SetQueueSizes(d->settings.InputBuffer, v);
}

}  // namespace korvel
