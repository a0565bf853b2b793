// The board as the command line reaches it: the communications module on a headless host, the
// shared message decoder and service session, the settings job, and the waits a command makes.
#pragma once

#include <bitset>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "comms/comms_data_module.h"
#include "datalog/data_log.h"
#include "host/console_host.h"
#include "messages/msg2text.h"
#include "messages/realtime_report.h"
#include "messages/service_session.h"
#include "settings/settings_job.h"

namespace korvel::cli {

// The exit statuses scripts act on.
enum TExit : int {
    EXIT_DONE = 0,
    EXIT_DIFFERENT = 1,    // compare: a parameter differs
    EXIT_USAGE = 2,
    EXIT_FILE = 3,         // a file refused
    EXIT_NO_ANSWER = 4,    // the board did not answer in time, or is not at PROGRAM
    EXIT_LINE = 5,         // the line could not be opened or was lost
    EXIT_STORE = 6,        // the store's answer differs from what was written
    EXIT_FLASH_CUT = 7,    // the download was cut off (Ctrl+C): the board must be loaded again
    EXIT_INTERRUPTED = 130,
};

// A command that cannot go on: its one line for stderr and its exit status.
struct TCliFailure {
    TExit Status;
    std::string Message;
};

class TCliBoard : public TBoardMessages {
public:
    explicit TCliBoard(std::ostream& messages);
    ~TCliBoard() override;

    // Opens the port by the name a user gives; throws TCliFailure (EXIT_LINE). With a capture
    // file, what crosses the line is written to it from the start (EXIT_FILE when it cannot be).
    void Open(const std::string& port, const std::string& capture = {});

    // Handles events for ms (the keep-alive ticking while service mode is wanted); stops early
    // when the line goes or an interrupt comes.
    void Pump(uint64_t ms);
    // Pumps until pred() holds; false after timeoutMs. Throws TCliFailure for a lost line or an
    // interrupt.
    bool PumpUntil(const std::function<bool()>& pred, uint64_t timeoutMs);

    // Waits for the first real-time report; throws TCliFailure (EXIT_NO_ANSWER) when none comes.
    void WaitForReport();
    // Wants service mode, answers the board's question and waits for it to confirm; throws
    // TCliFailure (EXIT_NO_ANSWER) saying whether the board is silent or its switch stands at RUN.
    void EnterServiceMode();
    // The board asked "Are you there ?": its switch stands at PROGRAM.
    bool AskedForService() const { return FSeen.test(48); }

    // Throws TCliFailure for an interrupt or a lost line that came meanwhile.
    void CheckGoingOn() const;
    void StopIfInterrupted() const;
    bool LineGone() const;
    // Words for a lost line, and what to check: at the network server when the line knows, else
    // the cable.
    std::string LostText(const std::string& words) const;

    TCommsDataModule& Comms() { return *FComms; }
    TSettingsJob& Job() { return *FJob; }
    TConsoleHost& Console() { return FHost; }
    std::string PortName() const { return FPort; }

    // The last report's values (an all-zero report until one comes, as the window's fields start).
    const std::vector<TReportValue>& LastReport() const { return FLastReport; }
    size_t Reports() const { return FReports; }
    // Runs after each report.
    std::function<void()> OnReport;
    // Runs after every block (the data log writes its rows from here, as the window's does).
    std::function<void()> OnBlock;

    // TBoardMessages
    UiHost& Host() override { return FHost; }
    TServiceSession& Service() override { return *FService; }
    void RealtimeReport(const uint8_t* Data, int32_t Size) override;
    void NvmContents(const uint8_t*, int32_t) override {}  // the job takes its answers itself
    void ServiceConfirmed(bool) override {}
    void KeepAliveStarted() override { FKeepAlive = true; }

private:
    TConsoleHost FHost;
    std::unique_ptr<TCommsDataModule> FComms;
    std::unique_ptr<TServiceSession> FService;
    std::unique_ptr<TSettingsJob> FJob;
    std::string FPort;
    std::vector<TReportValue> FLastReport;
    size_t FReports = 0;
    std::bitset<256> FSeen;  // identifiers the board has sent
    bool FKeepAlive = false;
    bool FLineLost = false;
    uint32_t FLastTick = 0;
};

}  // namespace korvel::cli
