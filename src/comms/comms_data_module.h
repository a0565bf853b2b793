// The single link object between the application and the board: connection state, block
// decoder feed, block sending, request/response exchanges and the firmware download.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "comms/delay_timer.h"
#include "comms/frame_codec.h"
#include "host/ui_host.h"
#include "link/ftdi_vcom.h"
#include "link/serial_ports.h"
#include "link/zyl_serial_port.h"

namespace korvel {

enum TConnectionState : uint8_t { csDisconnected = 0, csConnecting = 1, csConnected = 2 };

class TCommsDataModule;

using TCommsProgressNotification = std::function<void(TCommsDataModule* Sender, uint32_t Progress,
                                                      uint32_t MaxProgress, bool Error,
                                                      const std::string& Status, bool& Cancel)>;
using TCommsDatablockNotification =
    std::function<void(TCommsDataModule* Sender, int32_t Size, const uint8_t* Data)>;  // Data: 515 bytes
using TCommsDataErrorNotification = std::function<void(TCommsDataModule* Sender)>;
using TCommsStatusChange = std::function<void(TCommsDataModule* Sender)>;

class TCommsDataModule {
public:
    explicit TCommsDataModule(UiHost& host);  // runs DataModuleCreate
    ~TCommsDataModule();                      // runs DataModuleDestroy (Disconnect)
    TCommsDataModule(const TCommsDataModule&) = delete;
    TCommsDataModule& operator=(const TCommsDataModule&) = delete;

    void Connect();
    void Disconnect();
    void SendBlock(const uint8_t* Data, uint32_t Size);
    bool TransceiveBlock(const uint8_t* Data, uint32_t Size, uint8_t ExpectedResponsecode);
    void FlashFirmware(const std::string& Filename);
    void HandleByte(uint8_t B);
    // The line went away: a send that failed found it before the port's own report, which then
    // changes nothing, so the loss is told once, by whoever found it.
    void LineLost();
    // The words for a lost line, and after them what to check where the line knows (a network
    // server that closed, a network that went).
    std::string LineLostText(const std::string& text) const;

    // The present ports in number order, each with what a user recognises it by.
    void FillAvailableComPortsList(TPortList& List);
    static TCommPort PortNumber(const std::string& Text);

    TConnectionState ConnectionState() const { return FConnectionState; }
    bool FlashingFirmware() const { return FFlashingFirmware; }

    TCommsStatusChange OnStatusChange;
    // The line went away by itself (adapter pulled), raised after OnStatusChange; a Disconnect
    // on purpose does not raise it.
    TCommsStatusChange OnLineLost;
    TCommsProgressNotification OnProgress;
    TCommsDatablockNotification OnDatablock;
    TCommsDataErrorNotification OnDataError;

    TZylSerialPort ZylSerialPort;
    TDelayTimer DelayTimer;
    // Made after the port: an adapter present at start-up is preselected while the module is built.
    TFTDI_VCOM FTDI_VCOM;

    // Decoder state, readable for tests and the decoder's callers.
    uint32_t ProtocolState() const;
    uint32_t InputCount() const;
    const uint8_t* InputData() const;

private:
    friend struct CommsDataModuleProbe;  // tests reach the download's receive path through it

    void ZylSerialPortReceive(TZylSerialPort* Sender, const ByteString& Buffer);
    void Datablock();
    void DataError();
    void DelayTimerIdle(TDelayTimer* Sender, uint32_t StillToGo);
    void DataModuleCreate();
    void DataModuleDestroy();
    void ZylSerialPortDisconnect(TZylSerialPort* Sender, TCommPort Port);
    void FTDI_VCOMArrival(TFTDI_VCOM* Sender);
    void ClosePort();

    UiHost& host_;
    TFrameDecoder Decoder;
    TConnectionState FConnectionState = csDisconnected;
    // While FlashFirmware runs: received bytes go to FirmwareResponseCharacter, not the decoder.
    bool FFlashingFirmware = false;
    bool ResponseSeen = false;
    bool FClosingPort = false;
    std::array<uint8_t, 1024> FirmwareResponseCharacter{};
    int32_t FirmwareResponseCharacterCount = 0;
    std::array<uint8_t, FRAMEBUFSIZE> OutputData{};
    uint32_t OutputCount = 0;
    // One set per running TransceiveBlock (they can nest through dispatched events): the
    // identifiers of every block delivered since its request, so an answer followed by another
    // block in the same chunk is still recognised.
    std::vector<std::bitset<256>*> FResponseWatchers;
    const std::thread::id FUiThread = std::this_thread::get_id();
};

}  // namespace korvel
