#include "datalog/data_log.h"

#include <cerrno>
#include <filesystem>
#include <iterator>
#include <stdexcept>
#include <system_error>


namespace korvel {

namespace {

constexpr char kClosing[] = "Log wordt afgesloten.";

[[noreturn]] void ThrowFileError(const char* what, const std::string& path) {
    throw std::system_error(errno, std::generic_category(), std::string(what) + " log file \"" + path + "\"");
}

// Writes and flushes at once: a row in a buffer is a row lost when the program dies.
void WriteFlushed(std::FILE* f, const std::string& text, const std::string& path) {
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), f) != text.size() || std::fflush(f) != 0) {
        if (errno == 0) errno = EIO;
        ThrowFileError("Cannot write to", path);
    }
}

}  // namespace

std::string TF(bool value) { return value ? "TRUE" : "FALSE"; }

namespace {

using K = TLogColumnKind;

constexpr TLogColumn kLayout[] = {
    {"Date/Time", K::Time, {}},
    {"Korvel operating state", K::List, "ocbKorvelState"},
    {"Tapwater detect (opentherm)", K::Flag, "cbTapwaterDetectBoiler"},
    {"FAULT flag from OpenTherm boiler", K::Flag, "cbOTBoilerFault"},
    {"OT boiler configured but not found", K::Flag, "cbOTBoilerNotFound"},
    {"OT thermostat configured but not found", K::Flag, "cbOTThermostatNotFound"},
    {"NTC sensor 1 error", K::Flag, "cbNTC1Error"},
    {"NTC sensor 2 error", K::Flag, "cbNTC2Error"},
    {"Pump flow error", K::Flag, "cbPumpFlowError"},
    {"no comms. with outside unit", K::Flag, "cbToshibaCommsError"},
    {"outside unit reports an error", K::Flag, "cbToshibaReportsError"},
    {"heat production requested", K::Flag, "cbHeatProductionRequested"},
    {"cooling requested", K::Flag, "cbColdProductionRequested"},
    {"heating is allowed (panel switch)", K::Flag, "cbHeatingAllowed"},
    {"cooling is allowed (panel switch)", K::Flag, "cbCoolingAllowed"},
    {"cooling is supported", K::Flag, "cbCoolingSupported"},
    {"Tout too low for efficient KORVEL operation", K::Flag, "cbLowTout"},
    {"NTC 1", K::Number, "onfNTC1"},
    {"NTC 2", K::Number, "onfNTC2"},
    {"Operating mode", K::List, "ocbOpMode"},
    {"ON/OFF", K::OnOff, "cbOnOff"},
    {"Setpoint", K::Number, "onfSetpoint"},
    {"Water heat exch. out", K::Number, "onfWaterOut"},
    {"Refr. heat exch. out", K::Number, "onfRefrigOut"},
    {"Water heat exch. in", K::Number, "onfWaterIn"},
    {"Refr. heat exch. in", K::Number, "onfRefrigIn"},
    {"Outside air temp.", K::Number, "onfOutsideAir"},
    {"Room temperature", K::Number, "onfTRoomTemperature"},
    {"Room setpoint", K::Number, "onfRoomSetpoint"},
    {"Boiler setpoint", K::Number, "onfCVSetpoint"},
    {"Compressor current", K::Number, "onfCompCurrent"},
    {"Toshiba error code", K::Number, "onfDiagCodes1"},
    {"Defrost register", K::Number, "onfDefrost"},
    {"Delta room temperature", K::Number, "onfDeltaRoomTemperature"},
    {"Old room temperature", K::Number, "onfOldRoomTemperature"},
    {"Sticky error code", K::Number, "onfStickyDiagCodes1"},
    {"Tgem gewenst", K::Number, "onfTMeanReq"},
    {"Tgem gemeten", K::Number, "onfTMean"},
    {"U1", K::Flag, "cbU1"},
    {"U2", K::Flag, "cbU2"},
    {"U3", K::Flag, "cbU3"},
    {"U4", K::Flag, "cbU4"},
    {"U5", K::Flag, "cbU5"},
    {"U6", K::Flag, "cbU6"},
    {"U7", K::Flag, "cbU7"},
    {"Tevap", K::Number, "nfModBus4410"},
    {"Tpers", K::Number, "nfModBus4412"},
    {"Tzuig", K::Number, "nfModBus4413"},
    {"Tliq", K::Number, "nfModBus4416"},
};
static_assert(std::size(kLayout) == TDataLog::kColumns);

}  // namespace

std::span<const TLogColumn> LogLayout() { return kLayout; }

std::vector<std::string> LogColumnsOf(std::span<const TReportValue> report, char decimalSeparator) {
    auto find = [&](std::string_view field) -> const TReportValue* {
        for (const TReportValue& v : report)
            if (v.Target == field) return &v;
        return nullptr;
    };
    std::vector<std::string> columns;
    columns.reserve(TDataLog::kColumns - 1);
    for (const TLogColumn& column : LogLayout().subspan(1)) {
        const TReportValue* v = find(column.Field);
        switch (column.Kind) {
            case TLogColumnKind::Flag: columns.push_back(TF(v != nullptr && v->Checked)); break;
            case TLogColumnKind::OnOff: columns.emplace_back(v != nullptr && v->Checked ? "1" : "0"); break;
            case TLogColumnKind::Number:
            case TLogColumnKind::List:
                columns.push_back(v != nullptr ? ReportValueText(*v, decimalSeparator) : std::string());
                break;
            case TLogColumnKind::Time: break;
        }
    }
    return columns;
}

TDataLog::TDataLog(UiHost& host) : host_(host) {}

TDataLog::~TDataLog() { file_.reset(); }

void TDataLog::Start(const std::string& path, TimePoint now) {
    LastTimeLogfileWasWritten = now - kRowInterval;
    const bool wasLogging = Logging();
    Close();
    path_ = path;
    std::error_code ec;
    const bool exists = std::filesystem::exists(path, ec);
    errno = 0;
    std::unique_ptr<std::FILE, Closer> f(std::fopen(path.c_str(), "ab"));
    if (!f) {
        if (wasLogging) Changed();
        ThrowFileError("Cannot open", path);
    }
    if (!exists) {
        try {
            WriteFlushed(f.get(), std::string(LOGFILEHEADER) + "\r\n", path);
        } catch (...) {
            if (wasLogging) Changed();
            throw;
        }
    }
    file_ = std::move(f);
    Changed();
}

void TDataLog::Stop() {
    Close();
    Changed();
}

void TDataLog::Close() { file_.reset(); }

void TDataLog::Changed() {
    if (OnLoggingChange) OnLoggingChange();
}

void TDataLog::HandleLogfile(TimePoint arrival, const std::string& arrivalText, const ColumnBuilder& columns) {
    if (!Logging()) return;
    auto since = std::chrono::duration_cast<std::chrono::milliseconds>(arrival - LastTimeLogfileWasWritten);
    if (since.count() < 0) since = -since;
    if (since < kRowInterval) return;

    std::string error;
    try {
        const std::vector<std::string> values = columns ? columns() : std::vector<std::string>{};
        if (values.size() != kColumns - 1)
            throw std::length_error("Log row has " + std::to_string(values.size() + 1) + " columns instead of " +
                                    std::to_string(kColumns) + ".");
        std::string row = arrivalText + ";";
        for (const auto& v : values) row += v + ";";
        row += "\r\n";
        LastTimeLogfileWasWritten = arrival;
        WriteFlushed(file_.get(), row, path_);
        return;
    } catch (const std::exception& e) {
        error = e.what();
    } catch (...) {
        error = "Unknown error.";
    }
    // Closed before the box: while it is up, further blocks arrive and must not write or ask again.
    Close();
    Changed();
    host_.MessageBox(TMsgDlgType::mtError, error + "\n" + kClosing, TMsgDlgButtons::mbOK);
}

}  // namespace korvel
