// The strip under the pages. While a lengthy operation runs it shows that operation's progress;
// otherwise its label says in a few words how the link stands, so a silent board or a switch left
// at RUN does not leave the engineer looking at zeros and greyed buttons.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>

class QLabel;
class QTimer;

namespace korvel {

class TPercentageMeter;
class UiHost;

inline constexpr const char* MSG_STATUS_DISCONNECTED = "Niet verbonden.";
inline constexpr const char* MSG_STATUS_NO_ADAPTER =
    "Sluit de USB-adapter van het bord aan of kies met \"Com poort...\" een poort.";
inline constexpr const char* MSG_STATUS_CONNECTED = "Verbonden met %1.";
inline constexpr const char* MSG_STATUS_PORT_CHOSEN = "Kies \"Verbinding maken\" om met %1 te verbinden.";
inline constexpr const char* MSG_STATUS_CONNECTING = "Verbinden met %1...";
inline constexpr const char* MSG_STATUS_SILENT = "Al %1 s geen gegevens van het bord.";
inline constexpr const char* MSG_STATUS_SHORT_REPORTS = "Het bord stuurt onvolledige meetgegevens (%1 van %2 bytes).";
inline constexpr const char* MSG_STATUS_SERVICE_WAITING =
    "Wacht op antwoord van het bord. Staat de RUN/PROGRAM schakelaar in de stand PROGRAM?";
inline constexpr const char* MSG_STATUS_SERVICE = "Het bord staat in de servicestand.";

// The board counts as silent after this long without a valid block.
inline constexpr uint32_t STATUS_SILENT_AFTER_MS = 5000;

// What the window knows of the link; the strip tracks the received blocks itself.
struct TLinkState {
    bool Connected = false;
    std::string Port;               // the port's name, "COM5" or a device path; chosen while not connected
    bool ServiceMode = false;       // service mode chosen
    bool ServiceConfirmed = false;  // the board has said it stays in service mode
    bool NothingToOpen = false;     // not connected, with no adapter found and no present port chosen
    bool Connecting = false;        // a network line on its way (Port says where to)
};

class TStatusStrip : public QObject {
    Q_OBJECT
public:
    TStatusStrip(QLabel* label, TPercentageMeter* meter, UiHost& host, std::function<TLinkState()> link,
                 QObject* parent);

    // A lengthy operation owns the strip from BeginOperation to its EndOperation: label and meter
    // show what the operation sets, and the link status waits. Both calls clear the strip (label
    // empty, meter at 0 % and hidden); they may nest. A meter shown without them counts as an
    // operation as well, so code that only drives the meter keeps the strip too.
    void BeginOperation();
    void EndOperation();
    bool OperationRunning() const;

    // BeginOperation now, EndOperation when it goes, on every way out.
    class TOperation {
    public:
        explicit TOperation(TStatusStrip* strip) : FStrip(strip) { FStrip->BeginOperation(); }
        ~TOperation() {
            if (FStrip != nullptr) FStrip->EndOperation();
        }
        TOperation(TOperation&& other) noexcept : FStrip(other.FStrip) { other.FStrip = nullptr; }
        TOperation(const TOperation&) = delete;
        TOperation& operator=(const TOperation&) = delete;
        TOperation& operator=(TOperation&&) = delete;

    private:
        TStatusStrip* FStrip;
    };
    [[nodiscard]] TOperation Operation() { return TOperation(this); }

    // Progress as the communications module reports it: a call with a status or a maximum owns
    // the strip for the operation, the call with neither (its last) gives it back.
    void ShowProgress(uint32_t Progress, uint32_t MaxProgress, const std::string& Status);

    // Every valid block from the board (Data and Size as the communications module hands them).
    void BlockReceived(const uint8_t* Data, int32_t Size);
    // Takes the window's state anew; also runs every second while connected, for the silence count.
    void Refresh();

private:
    QString LinkText(const TLinkState& link) const;
    void Clear();

    QLabel* FLabel;
    TPercentageMeter* FMeter;
    UiHost& FHost;
    std::function<TLinkState()> FLink;
    QTimer* FTimer;
    int FOperations = 0;
    bool FProgressReported = false;  // the module's notifications hold an operation
    bool FConnected = false;
    QString FPortText;
    uint32_t FLastBlockTick = 0;
    size_t FShortReportBytes = 0;  // of the last report when it was too short to show, else 0
};

}  // namespace korvel
