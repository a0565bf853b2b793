// The service visit on record: which installation, what the board told about itself, its
// parameters at its first and its last complete report, its live values and its faults. The window
// keeps one for its run (a lost line and a new connect go on in the same visit), korvel-cli one for
// its command; the service report, the settings files and the pictures are made from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/nvm_parameters.h"
#include "settings/settings_file.h"
#include "visit/fault_history.h"
#include "visit/visit_stamp.h"

namespace korvel {

// A time on the fault history's axis as the report and the list show it: "10-12-2026 19:43:27", or
// "19:43:27" alone.
std::string VisitTimeText(double seconds, bool withDate = true);

// "servicerapport-Dorpsstraat_3-2026-12-10.pdf"; without a usable name "servicerapport-2026-12-10.pdf".
std::string ServiceReportFileName(std::string_view installation, double seconds);

// One line of the fault list and the report: when, "verschenen" or "verdwenen" (or "al aanwezig" for
// one there when the history began), and what.
struct TFaultLine {
    std::string Time, What, Name;
};
std::vector<TFaultLine> FaultLines(const TFaultHistory& history);

class TServiceVisit {
public:
    // Times are the caller's seconds, as in the fault history.
    explicit TServiceVisit(double started = 0) : FStarted(started) {}

    double Started() const { return FStarted; }

    // Typed once per visit, changed whenever the engineer likes; kept as InstallationName() makes it.
    void SetInstallation(std::string_view typed);
    const std::string& Installation() const { return FInstallation; }
    void SetPort(std::string_view port);
    const std::string& Port() const { return FPort; }
    // For the report: who made it and what he has to say. Kept for the next report of the visit.
    std::string Engineer;
    std::string Notes;

    // A real-time report (identifier first): its firmware version, faults and values are kept.
    // False, and nothing kept, for a block that is no complete report.
    bool RealtimeReport(double time, const uint8_t* block, size_t size);
    // The last complete real-time report (identifier first), and when it came; empty before one.
    const std::vector<uint8_t>& LastReport() const { return FLastReport; }
    double LastReportTime() const { return FLastReportTime; }
    // The firmware version of the last report, as its field shows it; nothing before a report.
    std::optional<int> Firmware() const { return FFirmware; }
    TFaultHistory& Faults() { return FFaults; }
    const TFaultHistory& Faults() const { return FFaults; }

    // A complete parameter report: the board's fetch answer (38) or its store answer (39).
    void ParameterReport(double time, const TNvmWords& words);
    const std::optional<TNvmWords>& FirstParameters() const { return FFirst; }
    double FirstParametersTime() const { return FFirstTime; }
    const std::optional<TNvmWords>& LastParameters() const { return FLast; }
    double LastParametersTime() const { return FLastTime; }
    // The settings changed during the visit: every parameter whose word differs between the board's
    // first complete report and its last, the first's value as A, the last's as B. Empty before two.
    std::vector<TSettingsDifference> Changes(char decimalSeparator) const;

    TVisitStamp Stamp() const;

private:
    double FStarted;
    std::string FInstallation;
    std::string FPort;
    std::vector<uint8_t> FLastReport;
    double FLastReportTime = 0;
    std::optional<int> FFirmware;
    TFaultHistory FFaults;
    std::optional<TNvmWords> FFirst, FLast;
    double FFirstTime = 0, FLastTime = 0;
};

}  // namespace korvel
