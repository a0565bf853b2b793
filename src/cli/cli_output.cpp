#include "cli/cli_output.h"

#include <chrono>
#include <clocale>
#include <cstdio>
#include <ostream>

namespace korvel::cli {

uint32_t MillisecondsNow() {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

TProgressBar::TProgressBar(std::ostream& err, bool on, std::string caption)
    : FErr(err), FOn(on), FCaption(std::move(caption)), FStart(MillisecondsNow()) {}

TProgressBar::~TProgressBar() {
    if (FDrawn) FErr << '\n' << std::flush;
}

void TProgressBar::Show(uint64_t done, uint64_t total) {
    if (!FOn || total == 0) return;
    const int percent = static_cast<int>(done * 100 / total);
    if (percent == FLastPercent) return;
    FLastPercent = percent;
    constexpr int kWidth = 30;
    const int filled = percent * kWidth / 100;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kWidth - filled), '.');
    std::string left = "";
    const uint32_t spent = MillisecondsNow() - FStart;
    if (done > 0 && done < total) {
        const auto rest = static_cast<uint64_t>(spent) * (total - done) / done / 1000;
        left = "  nog " + std::to_string(rest) + " s";
    }
    FErr << '\r' << FCaption << " [" << bar << "] " << percent << " %" << left << "    " << std::flush;
    FDrawn = true;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                    out += escaped;
                } else {
                    out += c;  // UTF-8 passes as it is
                }
        }
    }
    return out + '"';
}

namespace {

constexpr TJsonKey kReportKeys[] = {
    {"ocbKorvelState", "operating_state"},
    {"onfFirmLo", "firmware"},
    {"cbTapwaterDetectBoiler", "tapwater_detect"},
    {"cbOTBoilerFault", "boiler_fault"},
    {"cbOTBoilerNotFound", "boiler_not_found"},
    {"cbOTThermostatNotFound", "thermostat_not_found"},
    {"cbNTC1Error", "ntc1_error"},
    {"cbNTC2Error", "ntc2_error"},
    {"cbPumpFlowError", "pump_flow_error"},
    {"cbToshibaCommsError", "outside_unit_comms_error"},
    {"cbToshibaReportsError", "outside_unit_error"},
    {"cbHeatProductionRequested", "heat_requested"},
    {"cbColdProductionRequested", "cooling_requested"},
    {"cbHeatingAllowed", "heating_allowed"},
    {"cbCoolingAllowed", "cooling_allowed"},
    {"cbCoolingSupported", "cooling_supported"},
    {"cbLowTout", "outside_too_cold"},
    {"onfNTC1", "ntc1"},
    {"onfNTC2", "ntc2"},
    {"ocbOpMode", "toshiba_mode"},
    {"cbOnOff", "toshiba_on"},
    {"onfSetpoint", "setpoint"},
    {"onfWaterOut", "water_out"},
    {"onfRefrigOut", "refrigerant_out"},
    {"onfWaterIn", "water_in"},
    {"onfRefrigIn", "refrigerant_in"},
    {"onfOutsideAir", "outside_air"},
    {"onfTRoomTemperature", "room"},
    {"onfRoomSetpoint", "room_setpoint"},
    {"onfCVSetpoint", "boiler_setpoint"},
    {"onfCompCurrent", "compressor_current"},
    {"onfDiagCodes1", "error_code"},
    {"onfDefrost", "defrost_register"},
    {"onfDeltaRoomTemperature", "room_delta"},
    {"onfOldRoomTemperature", "room_old"},
    {"onfStickyDiagCodes1", "sticky_error_code"},
    {"onfTMeanReq", "mean_requested"},
    {"onfTMean", "mean_measured"},
    {"cbU1", "u1"},
    {"cbU2", "u2"},
    {"cbU3", "u3"},
    {"cbU4", "u4"},
    {"cbU5", "u5"},
    {"cbU6", "u6"},
    {"cbU7", "u7"},
    {"nfModBus4410", "t_evap"},
    {"nfModBus4412", "t_discharge"},
    {"nfModBus4413", "t_suction"},
    {"nfModBus4416", "t_liquid"},
};

}  // namespace

std::span<const TJsonKey> ReportJsonKeys() { return kReportKeys; }

std::string_view ReportJsonKey(std::string_view field) {
    for (const TJsonKey& k : kReportKeys)
        if (k.Field == field) return k.Key;
    return {};
}

char UserDecimalSeparator() {
    // Asked once from the user's locale, then the program's numbers go back to the C locale.
    const char* before = std::setlocale(LC_NUMERIC, nullptr);
    const std::string keep = before != nullptr ? before : "C";
    std::setlocale(LC_NUMERIC, "");
    const char point = std::localeconv()->decimal_point[0] == ',' ? ',' : '.';
    std::setlocale(LC_NUMERIC, keep.c_str());
    return point;
}

}  // namespace korvel::cli
