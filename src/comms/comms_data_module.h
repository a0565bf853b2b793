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

#include "capture/line_record.h"
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
    // Answer: when given, receives the answering block (identifier first, without check bytes).
    bool TransceiveBlock(const uint8_t* Data, uint32_t Size, uint8_t ExpectedResponsecode,
                         std::vector<uint8_t>* Answer = nullptr);
    // Ends a running TransceiveBlock at its next pass, as unanswered, and a firmware download
    // before its next chunk (Stopped).
    void AbortTransceive() { FAbortTransceive = true; }
    // Shows its own messages; the outcome is for callers without a window. Throws when the file
    // cannot be read or the line is lost. Stopped: ended by AbortTransceive after the loader was
    // started, so the board holds part of the new firmware.
    enum class TFlashResult : uint8_t { Done, InvalidFile, Declined, NoAnswer, Stopped };
    TFlashResult FlashFirmware(const std::string& Filename);
    void HandleByte(uint8_t B);
    // The line went away: a send that failed found it before the port's own report, which then
    // changes nothing, so the loss is told once, by whoever found it.
    void LineLost();
    // The words for a lost line, and after them what to check where the line knows (a network
    // server that closed, a network that went).
    std::string LineLostText(const std::string& text) const;

    // An adapter that arrived while the tool still counted itself connected (plugged back in
    // before the hang-up was noticed) is taken once the line is found lost; the engineer's own
    // disconnect forgets it. Does nothing while connected or downloading.
    void TakeMissedArrival();

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

    // What crossed the line, both ways: the port's tap, kept for the capture file and the traffic
    // window. Made before the port and gone after it.
    TLineRecord LineRecord;
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
    bool FMissedArrival = false;
    std::array<uint8_t, 1024> FirmwareResponseCharacter{};
    int32_t FirmwareResponseCharacterCount = 0;
    std::array<uint8_t, FRAMEBUFSIZE> OutputData{};
    uint32_t OutputCount = 0;
    // One set per running TransceiveBlock (they can nest through dispatched events): the
    // identifiers of every block delivered since its request, so an answer followed by another
    // block in the same chunk is still recognised.
    struct TResponseWatch {
        std::bitset<256> Delivered;
        uint8_t Expected = 0;
        std::vector<uint8_t>* Answer = nullptr;
    };
    std::vector<TResponseWatch*> FResponseWatchers;
    bool FAbortTransceive = false;
    const std::thread::id FUiThread = std::this_thread::get_id();
};

}  // namespace korvel
