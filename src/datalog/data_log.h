// The CSV data log's file side: the open file, the 5-second row rate, the row text. The main
// window supplies the values (the display fields' texts) and the arrival time's text.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "datalog/log_time.h"
#include "host/ui_host.h"
#include "messages/realtime_report.h"

namespace korvel {

inline constexpr char LOGFILEHEADER[] =
    "Date/Time;Korvel operating state;Tapwater detect (opentherm);FAULT flag from OpenTherm boiler;"
    "OT boiler configured but not found;OT thermostat configured but not found;NTC sensor 1 error;"
    "NTC sensor 2 error;Pump flow error;no comms. with outside unit;outside unit reports an error;"
    "heat production requested;cooling requested;heating is allowed (panel switch);"
    "cooling is allowed (panel switch);cooling is supported;Tout too low for efficient KORVEL operation;"
    "NTC 1;NTC 2;Operating mode;ON/OFF;Setpoint;Water heat exch. out;Refr. heat exch. out;"
    "Water heat exch. in;Refr. heat exch. in;Outside air temp.;Room temperature;Room setpoint;"
    "Boiler setpoint;Compressor current;Toshiba error code;Defrost register;Delta room temperature;"
    "Old room temperature;Sticky error code;Tgem gewenst;Tgem gemeten;U1;U2;U3;U4;U5;U6;U7;Tevap;Tpers;"
    "Tzuig;Tliq;";

// A flag column's text.
std::string TF(bool value);

enum class TLogColumnKind : uint8_t {
    Time,    // arrival time, LogTimeText()
    List,    // text of the selected item, empty when none is
    Flag,    // TF()
    OnOff,   // "1" / "0"
    Number,  // the display field's text
};

struct TLogColumn {
    std::string_view Header;
    TLogColumnKind Kind;
    std::string_view Field;  // display field the row value is read from; empty for the time
};

// The 49 columns in file order: the header's texts, what each holds and where it comes from.
// The writer fills rows from it and the log viewer reads them back by it.
std::span<const TLogColumn> LogLayout();

// Columns 2..49 of a row from one real-time report's values, each as its display field shows it
// (the report's layout gives the fields' types and masks), numbers with the separator given.
std::vector<std::string> LogColumnsOf(std::span<const TReportValue> report, char decimalSeparator);

// Times are wall-clock time points (the row rate follows the clock the arrival text shows);
// whole-millisecond integer arithmetic, so exactly 5000 ms never reads as 4999.
//
// The file is written as given (UTF-8 from the UI), lines ended by CR LF on every platform, so
// one log reads the same wherever it was made.
class TDataLog {
public:
    using TimePoint = std::chrono::system_clock::time_point;
    using ColumnBuilder = std::function<std::vector<std::string>()>;  // columns 2..49
    static constexpr size_t kColumns = 49;
    static constexpr std::chrono::milliseconds kRowInterval{5000};

    explicit TDataLog(UiHost& host);
    ~TDataLog();  // closes an open log, so its last row is not lost at exit
    TDataLog(const TDataLog&) = delete;
    TDataLog& operator=(const TDataLog&) = delete;

    // Closes an open log, then appends to an existing file or creates one with the header.
    // Throws std::system_error naming the file when it cannot; logging is then off.
    void Start(const std::string& path, TimePoint now);
    void Stop();
    bool Logging() const { return file_ != nullptr; }
    const std::string& Path() const { return path_; }

    // Writes a row when 5000 ms or more (either way) passed since the last one; columns() is
    // called only then. A failure closes the log and tells the user.
    void HandleLogfile(TimePoint arrival, const std::string& arrivalText, const ColumnBuilder& columns);

    // Raised whenever Logging() changes (start, stop, closed after a write error).
    std::function<void()> OnLoggingChange;

private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    void Close();
    void Changed();

    UiHost& host_;
    std::unique_ptr<std::FILE, Closer> file_;
    std::string path_;
    TimePoint LastTimeLogfileWasWritten{};
};

}  // namespace korvel
