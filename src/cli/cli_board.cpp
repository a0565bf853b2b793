#include "cli/cli_board.h"

#include <array>
#include <ostream>

#include "messages/message_ids.h"

namespace korvel::cli {

namespace {

// The board reports every second: a few missed reports still mean a board that is there.
constexpr uint32_t kFirstReportMs = 10000;
// At PROGRAM the board asks every second; a few seconds without the question mean RUN.
constexpr uint32_t kServiceModeMs = 6000;

std::vector<TReportValue> ZeroReport() {
    static const std::array<uint8_t, REALTIME_REPORT_SIZE> zeros = [] {
        std::array<uint8_t, REALTIME_REPORT_SIZE> block{};
        block[0] = K2MSENDMONDATA;
        return block;
    }();
    return DecodeRealtimeReport(zeros.data(), zeros.size());
}

}  // namespace

TCliBoard::TCliBoard(std::ostream& messages) : FHost(messages), FLastReport(ZeroReport()) {
    FComms = std::make_unique<TCommsDataModule>(FHost);
    FService = std::make_unique<TServiceSession>(*FComms);
    FJob = std::make_unique<TSettingsJob>(*FComms);
    FJob->OnRequestSent = [this] { FService->Traffic(); };
    FComms->OnDatablock = [this](TCommsDataModule*, int32_t Size, const uint8_t* Data) {
        FSeen.set(Data[0]);
        Handle485Message(*this, Data, Size);
        if (OnBlock) OnBlock();
    };
    FComms->OnLineLost = [this](TCommsDataModule*) { FLineLost = true; };
    // Ctrl+C: a wait of the settings job or the download ends at its next pass.
    FHost.OnInterrupt = [this] {
        FJob->Stop();
        FComms->AbortTransceive();
    };
}

TCliBoard::~TCliBoard() {
    FComms->OnDatablock = nullptr;
    FComms->OnLineLost = nullptr;
    FJob.reset();
    FService.reset();
    FComms.reset();  // closes the port and joins its thread while the host still runs hand-overs
}

void TCliBoard::Open(const std::string& port, const std::string& capture) {
    FPort = port;
    if (!capture.empty()) {
        try {
            FComms->LineRecord.StartFile(capture);
        } catch (const std::exception& e) {
            throw TCliFailure{EXIT_FILE, std::string(e.what()) + ". Kies een map waarin geschreven mag worden."};
        }
    }
    PreselectPort(FComms->ZylSerialPort, port);
    try {
        FComms->Connect();
    } catch (const std::exception& e) {
        throw TCliFailure{EXIT_LINE, e.what()};
    }
    if (FComms->ConnectionState() != csConnected)
        throw TCliFailure{EXIT_LINE, "Cannot connect to " + port + " . Controleer de poortnaam."};
    FLastTick = FHost.TickCount();
}

void TCliBoard::RealtimeReport(const uint8_t* Data, int32_t Size) {
    const size_t block = ReceivedBlockBytes(Size);
    if (block < REALTIME_REPORT_SIZE) return;  // as the window: a short report is not shown
    FLastReport = DecodeRealtimeReport(Data, block);
    ++FReports;
    if (OnReport) OnReport();
}

void TCliBoard::CheckGoingOn() const {
    if (TConsoleHost::Interrupted()) throw TCliFailure{EXIT_INTERRUPTED, "Onderbroken."};
    if (FLineLost || FComms->ConnectionState() != csConnected)
        throw TCliFailure{EXIT_LINE, "De verbinding met het KORVEL bord op " + FPort +
                                         " is verbroken. Controleer de kabel en de voeding van het bord."};
}

void TCliBoard::Pump(uint32_t ms) { PumpUntil([] { return false; }, ms); }

bool TCliBoard::PumpUntil(const std::function<bool()>& pred, uint32_t timeoutMs) {
    const uint32_t start = FHost.TickCount();
    for (;;) {
        CheckGoingOn();
        if (pred()) return true;
        const uint32_t now = FHost.TickCount();
        if (now - start >= timeoutMs) return false;
        // The keep-alive, as the window's timer runs it.
        if (FKeepAlive && FService->Wanted() && now - FLastTick >= KEEPALIVE_TICK_MS) {
            FLastTick = now;
            FService->KeepAliveTick();
        }
        FHost.ProcessEvents(20);
    }
}

void TCliBoard::WaitForReport() {
    const size_t before = FReports;
    if (!PumpUntil([&] { return FReports > before; }, kFirstReportMs))
        throw TCliFailure{EXIT_NO_ANSWER, "Het KORVEL bord op " + FPort + " stuurt geen gegevens (" +
                                              std::to_string(kFirstReportMs / 1000) +
                                              " s gewacht). Controleer de kabel, de poort en de voeding van het bord."};
}

void TCliBoard::EnterServiceMode() {
    FService->Resume();
    FKeepAlive = true;
    if (PumpUntil([&] { return FService->Confirmed(); }, kServiceModeMs)) return;
    if (FSeen.none())
        throw TCliFailure{EXIT_NO_ANSWER, "Het KORVEL bord op " + FPort +
                                              " geeft geen antwoord. Controleer de kabel, de poort en de voeding van het bord."};
    if (!AskedForService())
        throw TCliFailure{EXIT_NO_ANSWER,
                          "Het KORVEL bord staat niet in de stand PROGRAM. Zet de RUN/PROGRAM schakelaar in de stand PROGRAM."};
    throw TCliFailure{EXIT_NO_ANSWER, "Het KORVEL bord bevestigt de servicestand niet. Probeer het opnieuw."};
}

}  // namespace korvel::cli
