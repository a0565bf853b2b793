// The firmware download: the image goes to the board's loader in 64-byte chunks, each released
// by an "A" from the board.
#include <memory>
#include <stdexcept>

#include "comms/comms_data_module.h"
#include "comms/flash_image.h"
#include "messages/message_ids.h"

namespace korvel {

namespace {

constexpr char MAGICTEXT[] = "KICKOFF";
constexpr uint32_t kFirstAddress = 0x8800;
constexpr uint32_t kChunkSize = 64;
constexpr uint32_t kPassesPerChunk = 1000;

constexpr char kNoValidFile[] = "Geen geldig firmware bestand.";
constexpr char kConfirmHead[] = "De firmware van";
constexpr char kConfirmTail[] = "wordt nu verstuurd naar het KORVEL bord.";
constexpr char kStarting[] = "Flashen van de firmware.";
constexpr char kFlashing[] = "Flashing firmware.";
constexpr char kNoAnswer[] = "KORVEL bord geeft geen antwoord.";
constexpr char kDone[] = "Nieuwe firmware staat er in.";
// Said plainly, because the board may now hold half a program and must be flashed again.
constexpr char kLineLost[] =
    "De verbinding met het KORVEL bord is verbroken tijdens het flashen van de firmware.";

}  // namespace

TCommsDataModule::TFlashResult TCommsDataModule::FlashFirmware(const std::string& Filename) {
    auto FlashMemory = std::make_unique<TFlashImage>();
    bool CancelRequested = false;
    const auto Progress = [&](uint32_t progress, uint32_t maxProgress, const std::string& status) {
        if (OnProgress) OnProgress(this, progress, maxProgress, false, status, CancelRequested);
    };

    FFlashingFirmware = true;
    FAbortTransceive = false;
    FirmwareResponseCharacterCount = 0;
    struct Finish {
        TCommsDataModule& m;
        const decltype(Progress)& progress;
        ~Finish() {
            m.FFlashingFirmware = false;
            m.LineRecord.SetLoader(false);
            try {
                progress(0, 0, "");
            } catch (const std::exception& e) {
                // Already leaving (maybe by an error of its own); the strip is only cosmetic.
                m.host_.Trace(std::string("Progress handler failed: ") + e.what());
            } catch (...) {
                m.host_.Trace("Progress handler failed");
            }
        }
    } finish{*this, Progress};

    FlashMemory->ReadHexFile(Filename);
    if (FlashMemory->MapError()) {
        host_.MessageBox(TMsgDlgType::mtError, kNoValidFile, TMsgDlgButtons::mbOK);
        return TFlashResult::InvalidFile;
    }
    const std::string question = std::string(kConfirmHead) + "\n" + Filename + "\n" + kConfirmTail;
    if (host_.MessageBox(TMsgDlgType::mtConfirmation, question, TMsgDlgButtons::mbOKCancel) != TModalResult::mrOk)
        return TFlashResult::Declined;

    uint8_t C[128] = {};
    C[0] = P2KBLASTFW;
    for (size_t i = 0; i < sizeof MAGICTEXT - 1; ++i) C[1 + i] = static_cast<uint8_t>(MAGICTEXT[i]);

    Progress(0, 0, kStarting);
    ZylSerialPort.ClearInputBuffer();
    SendBlock(C, 1 + sizeof MAGICTEXT - 1);

    // From here the line was up: when it goes away (adapter pulled), say so at once instead of
    // waiting out the board or reporting the port's bare "not open".
    const bool stateTracked = FConnectionState == csConnected;
    const auto LineUp = [&] {
        return ZylSerialPort.IsConnected() && (!stateTracked || FConnectionState == csConnected);
    };
    // The download tells of the loss itself; the window's own notice would say it a second time.
    const auto Lost = [&] {
        LineLost();
        return std::runtime_error(LineLostText(kLineLost));
    };
    const auto CheckLine = [&] {
        if (!LineUp()) throw Lost();
    };
    // The start block went out, so the port was open: a send that fails now has found the line
    // gone, often before the receive thread has reported the hang-up.
    const auto Send = [&](uint8_t b) {
        try {
            ZylSerialPort.SendByte(b);
        } catch (const EZylSerialPortException&) {
            throw Lost();
        }
    };

    while (ZylSerialPort.IsSending()) {
        CheckLine();
        DelayTimer.Delay(1);
    }
    DelayTimer.Delay(1000);
    CheckLine();
    // The board's answer to the start block has come meanwhile; from here the line carries the
    // loader's characters and chunks, which the record must not read as frames.
    LineRecord.SetLoader(true);
    Send('X');

    uint32_t Address = kFirstAddress;
    bool TimedOut = false;
    FirmwareResponseCharacterCount = 0;
    while (Address < 0x10000 && !TimedOut) {
        if (FAbortTransceive) return TFlashResult::Stopped;
        Progress(Address, 0x10000, kFlashing);
        bool FoundBlockStart = false;
        TPassBudget TimeOut(DelayTimer, kPassesPerChunk);
        while (!FoundBlockStart && !TimeOut.Exhausted()) {
            if (FirmwareResponseCharacterCount > 0) {
                for (int32_t i = 0; i < FirmwareResponseCharacterCount; ++i)
                    if (FirmwareResponseCharacter[static_cast<size_t>(i)] == 'A') FoundBlockStart = true;
                FirmwareResponseCharacterCount = 0;
            }
            if (FoundBlockStart) break;  // the board waits for this chunk: no pass more
            CheckLine();
            if (FAbortTransceive) return TFlashResult::Stopped;
            TimeOut.Pass();
        }
        TimedOut = !FoundBlockStart;
        if (FoundBlockStart) {
            FirmwareResponseCharacterCount = 0;
            // One send call per byte, as the board's loader was written against.
            for (uint32_t j = 0; j < kChunkSize; ++j) Send(FlashMemory->GetMemory(Address + j));
        }
        Address += kChunkSize;
    }

    if (TimedOut) {
        host_.MessageBox(TMsgDlgType::mtError, kNoAnswer, TMsgDlgButtons::mbOK);
        return TFlashResult::NoAnswer;
    }
    host_.MessageBox(TMsgDlgType::mtInformation, kDone, TMsgDlgButtons::mbOK);
    return TFlashResult::Done;
}

}  // namespace korvel
