#include "comms/comms_data_module.h"

#include "korvel_version.h"
#include "link/net_address.h"
#include "link/port_names.h"

namespace korvel {

namespace {
const char kHex[] = "0123456789ABCDEF";
}

TCommsDataModule::TCommsDataModule(UiHost& host)
    : LineRecord(KORVEL_PRODUCT_NAME " " KORVEL_FILE_VERSION_TEXT), ZylSerialPort(host), DelayTimer(host),
      FTDI_VCOM(host), host_(host) {
    ZylSerialPort.SetLineTap(&LineRecord);
    ZylSerialPort.SetBaudRate(br009600);
    ZylSerialPort.SetStopBits(sb2Bits);
    ZylSerialPort.SetInputBuffer(16384);
    ZylSerialPort.SetOutputBuffer(16384);
    ZylSerialPort.SetReadIntervalTimeout(0);
    ZylSerialPort.SetWriteTotalTimeoutMultiplier(0);
    ZylSerialPort.SetWriteTotalTimeoutConstant(0);
    ZylSerialPort.SetDelay(0);
    ZylSerialPort.OnReceive = [this](TZylSerialPort* s, const ByteString& b) { ZylSerialPortReceive(s, b); };
    ZylSerialPort.OnDisconnect = [this](TZylSerialPort* s, TCommPort p) { ZylSerialPortDisconnect(s, p); };
    DelayTimer.OnIdle = [this](TDelayTimer* s, uint32_t still) { DelayTimerIdle(s, still); };
    Decoder.OnBlock = [this] { Datablock(); };
    Decoder.OnCheckError = [this] { DataError(); };
    Decoder.OnDataError = [this] {
        if (OnDataError) OnDataError(this);
    };
    DataModuleCreate();
    // In this order: setting the product ID finds an adapter that is already plugged in.
    FTDI_VCOM.OnArrival = [this](TFTDI_VCOM* s) { FTDI_VCOMArrival(s); };
    FTDI_VCOM.SetVID("0403");
    FTDI_VCOM.SetPID("6001");
}

TCommsDataModule::~TCommsDataModule() {
    // The owner is being torn down around us: no event may call back into it now.
    FTDI_VCOM.OnArrival = nullptr;
    OnStatusChange = nullptr;
    OnLineLost = nullptr;
    OnProgress = nullptr;
    OnDatablock = nullptr;
    OnDataError = nullptr;
    try {
        DataModuleDestroy();
    } catch (...) {
        // A destructor must not throw; the port is gone either way.
    }
}

void TCommsDataModule::DataModuleCreate() {
    FConnectionState = csDisconnected;
    FFlashingFirmware = false;
    ZylSerialPort.NeedSynchronization = true;
}

void TCommsDataModule::DataModuleDestroy() { Disconnect(); }

void TCommsDataModule::Connect() {
    if (FConnectionState != csDisconnected) return;
    TakeMissedArrival();
    // After a hang-up the port object may still hold the dead line; start from a closed port.
    if (ZylSerialPort.IsConnected()) ClosePort();
    // A network line takes a moment, during which events are served: said, so the window takes
    // no second connect meanwhile and a disconnect can give this one up.
    const bool network = IsNetAddress(TrimSpaces(ZylSerialPort.PortName()));
    if (network) {
        FConnectionState = csConnecting;
        if (OnStatusChange) OnStatusChange(this);
    }
    LineRecord.LineOpened(TrimSpaces(ZylSerialPort.PortName()));
    try {
        ZylSerialPort.Open();
    } catch (...) {
        if (network) {
            FConnectionState = csDisconnected;
            if (OnStatusChange) OnStatusChange(this);
        }
        throw;
    }
    FConnectionState = ZylSerialPort.IsConnected() ? csConnected : csDisconnected;
    if (OnStatusChange) OnStatusChange(this);
    if (FConnectionState == csConnected) Decoder.Reset();
}

void TCommsDataModule::ClosePort() {
    // The port reports its own close through OnDisconnect; that is not a line lost.
    FClosingPort = true;
    struct Reset {
        bool& f;
        ~Reset() { f = false; }
    } reset{FClosingPort};
    ZylSerialPort.Close();
    LineRecord.LineClosed();
}

void TCommsDataModule::Disconnect() {
    FMissedArrival = false;
    ClosePort();
    FConnectionState = csDisconnected;
    if (OnStatusChange) OnStatusChange(this);
}

void TCommsDataModule::ZylSerialPortDisconnect(TZylSerialPort*, TCommPort) {
    // The port reports a line that went away by itself (adapter pulled) from its receive thread;
    // the state belongs to the UI thread, so the change is made there.
    if (std::this_thread::get_id() == FUiThread)
        LineLost();
    else
        host_.RunOnUiThreadAndWait([this] { LineLost(); });
}

std::string TCommsDataModule::LineLostText(const std::string& text) const {
    const std::string advice = ZylSerialPort.LossAdvice();
    return advice.empty() ? text : text + "\n" + advice;
}

void TCommsDataModule::LineLost() {
    if (FClosingPort || FConnectionState == csDisconnected) return;
    LineRecord.LineClosed();
    FConnectionState = csDisconnected;
    if (OnStatusChange) OnStatusChange(this);
    if (OnLineLost) OnLineLost(this);
}

void TCommsDataModule::SendBlock(const uint8_t* Data, uint32_t Size) {
    OutputCount = 0;
    const uint32_t n = EncodeFrame(Data, Size, OutputData.data());
    OutputCount = n;
    std::string trace = "Sending: ";
    trace.reserve(9 + 3 * Size);
    for (uint32_t i = 0; i < Size; ++i) {
        trace += kHex[Data[i] >> 4];
        trace += kHex[Data[i] & 0x0F];
        trace += ' ';
    }
    ZylSerialPort.SendData(OutputData.data(), OutputCount);
    host_.Trace(trace);
}

void TCommsDataModule::HandleByte(uint8_t B) { Decoder.HandleByte(B); }

void TCommsDataModule::ZylSerialPortReceive(TZylSerialPort*, const ByteString& Buffer) {
    if (!FFlashingFirmware) {
        for (char c : Buffer) HandleByte(static_cast<uint8_t>(c));
        return;
    }
    // The loader's characters: a chunk that does not fit is dropped whole.
    const auto len = static_cast<int64_t>(Buffer.size());
    if (len + FirmwareResponseCharacterCount >= static_cast<int64_t>(FirmwareResponseCharacter.size())) return;
    for (char c : Buffer) FirmwareResponseCharacter[FirmwareResponseCharacterCount++] = static_cast<uint8_t>(c);
}

void TCommsDataModule::Datablock() {
    const uint8_t id = Decoder.InputData[0];
    for (TResponseWatch* watch : FResponseWatchers) {
        // The first answer counts: a later block of the same kind must not replace what was waited for.
        if (watch->Answer != nullptr && id == watch->Expected && !watch->Delivered.test(id) && Decoder.InputCount >= 2)
            watch->Answer->assign(Decoder.InputData.begin(), Decoder.InputData.begin() + (Decoder.InputCount - 2));
        watch->Delivered.set(id);
    }
    if (OnDatablock) OnDatablock(this, static_cast<int32_t>(Decoder.InputCount), Decoder.InputData.data());
    ResponseSeen = true;
    host_.Trace("Block received");
}

void TCommsDataModule::DataError() {
    host_.Trace("Protocol error detected");
    if (OnDataError) OnDataError(this);
}

bool TCommsDataModule::TransceiveBlock(const uint8_t* Data, uint32_t Size, uint8_t ExpectedResponsecode,
                                       std::vector<uint8_t>* Answer) {
    ResponseSeen = false;
    FAbortTransceive = false;
    TResponseWatch watch{{}, ExpectedResponsecode, Answer};
    if (Answer != nullptr) Answer->clear();
    FResponseWatchers.push_back(&watch);
    struct Unwatch {
        std::vector<TResponseWatch*>& w;
        ~Unwatch() { w.pop_back(); }
    } unwatch{FResponseWatchers};

    // A line that goes away during the wait (adapter pulled) cannot bring the answer any more:
    // the caller learns it at once instead of after the whole wait.
    const bool wasConnected = FConnectionState == csConnected;
    SendBlock(Data, Size);
    TPassBudget budget(DelayTimer, 1000);
    for (;;) {
        // The watcher set, not ResponseSeen alone: a nested exchange may have cleared the flag.
        ResponseSeen = false;
        if (watch.Delivered.test(ExpectedResponsecode)) return true;
        if (FAbortTransceive || budget.Exhausted() || (wasConnected && FConnectionState != csConnected)) return false;
        budget.Pass();
    }
}

void TCommsDataModule::DelayTimerIdle(TDelayTimer*, uint32_t) { DelayTimer.Yield(); }

uint32_t TCommsDataModule::ProtocolState() const { return Decoder.ProtocolState; }
uint32_t TCommsDataModule::InputCount() const { return Decoder.InputCount; }
const uint8_t* TCommsDataModule::InputData() const { return Decoder.InputData.data(); }

}  // namespace korvel
