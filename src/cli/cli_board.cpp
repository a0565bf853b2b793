#include "cli/cli_board.h"

#include <algorithm>
#include <array>
#include <ostream>

#include "messages/message_ids.h"

namespace korvel::cli {

namespace {

// The board reports every second: a few missed reports still mean a board that is there.
constexpr uint32_t kFirstReportMs = 10000;
// At PROGRAM the board asks every second, but not while it is still in service mode: a board an
// earlier command left there asks again only once it has let go of it (the stand-in after 10 s
// without a request). So the switch is taken to stand at RUN only after that much silence.
constexpr uint32_t kServiceModeMs = 15000;
// A board that has said nothing at all for this long is not there: one at either position speaks
// every second.
constexpr uint32_t kSilentMs = 6000;

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
    // Ctrl+C: a wait of the settings job ends at its next pass, the download between two chunks,
    // and a network connect still waiting gives up.
    FHost.OnInterrupt = [this] {
        FJob->Stop();
        FComms->AbortTransceive();
        if (FComms->ConnectionState() == csConnecting) FComms->ZylSerialPort.Close();
    };
}

TCliBoard::~TCliBoard() {
    // First: closing the port below still handles events, and an interrupt handled there must
    // not reach the job freed before it.
    FHost.OnInterrupt = nullptr;
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
    FComms->ZylSerialPort.PortChoice = "met --port (korvel-cli ports toont ze)";
    try {
        FComms->Connect();
    } catch (const std::exception& e) {
        StopIfInterrupted();
        throw TCliFailure{EXIT_LINE, e.what()};
    }
    StopIfInterrupted();
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

void TCliBoard::StopIfInterrupted() const {
    if (TConsoleHost::Interrupted()) throw TCliFailure{EXIT_INTERRUPTED, "Onderbroken."};
}

bool TCliBoard::LineGone() const { return FLineLost || FComms->ConnectionState() != csConnected; }

std::string TCliBoard::LostText(const std::string& words) const {
    // A network line says what to check at its server; a serial one is checked at the board.
    const std::string advice = FComms->ZylSerialPort.LossAdvice();
    return words + ' ' + (advice.empty() ? "Controleer de kabel en de voeding van het bord." : advice);
}

void TCliBoard::CheckGoingOn() const {
    StopIfInterrupted();
    if (LineGone())
        throw TCliFailure{EXIT_LINE, LostText("De verbinding met het KORVEL bord op " + FPort + " is verbroken.")};
}

void TCliBoard::Pump(uint64_t ms) { PumpUntil([] { return false; }, ms); }

bool TCliBoard::PumpUntil(const std::function<bool()>& pred, uint64_t timeoutMs) {
    // Counted in steps of the 32-bit tick, so a wait of months neither wraps nor ends early.
    uint64_t waited = 0;
    uint32_t last = FHost.TickCount();
    for (;;) {
        CheckGoingOn();
        if (pred()) return true;
        const uint32_t now = FHost.TickCount();
        waited += now - last;
        last = now;
        if (waited >= timeoutMs) return false;
        // The keep-alive, as the window's timer runs it.
        if (FKeepAlive && FService->Wanted() && now - FLastTick >= KEEPALIVE_TICK_MS) {
            FLastTick = now;
            FService->KeepAliveTick();
        }
        FHost.ProcessEvents(static_cast<uint32_t>(std::min<uint64_t>(20, timeoutMs - waited)));
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
    // Nothing is sent yet: the decoder answers the board's "Are you there ?" and starts the
    // keep-alive, as in the window.
    FService->SetWanted(true);
    const uint32_t start = FHost.TickCount();
    const auto silent = [&] { return FSeen.none() && FHost.TickCount() - start >= kSilentMs; };
    if (PumpUntil([&] { return FService->Confirmed() || silent(); }, kServiceModeMs) && FService->Confirmed()) return;
    if (FSeen.none())
        throw TCliFailure{EXIT_NO_ANSWER, "Het KORVEL bord op " + FPort +
                                              " geeft geen antwoord. Controleer de kabel, de poort en de voeding van het bord."};
    if (!AskedForService())
        throw TCliFailure{EXIT_NO_ANSWER,
                          "Het KORVEL bord staat niet in de stand PROGRAM. Zet de RUN/PROGRAM schakelaar in de stand PROGRAM."};
    throw TCliFailure{EXIT_NO_ANSWER, "Het KORVEL bord bevestigt de servicestand niet. Probeer het opnieuw."};
}

}  // namespace korvel::cli
