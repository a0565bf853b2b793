#include "scenario.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string_view>

#include "datalog/data_log.h"
#include "messages/message_ids.h"
#include "messages/realtime_report.h"
#include "widgets/picture_mask.h"

namespace korvel::sim {

namespace {

constexpr double kDay = 86400;
constexpr double kPi = std::numbers::pi;

void Put16(std::vector<uint8_t>& b, size_t at, double v) {
    const auto w = static_cast<uint16_t>(static_cast<int16_t>(std::lround(v)));
    b[at] = static_cast<uint8_t>(w & 0xFF);
    b[at + 1] = static_cast<uint8_t>(w >> 8);
}

// Small, smooth and repeatable: a sum of sines instead of a random generator.
double Wobble(double t, double amplitude, double phase) {
    return amplitude * (0.6 * std::sin(t / 97.0 + phase) + 0.4 * std::sin(t / 23.0 + 2 * phase));
}

double HourOfDay(double t) { return std::fmod(std::fmod(t, kDay) + kDay, kDay) / 3600.0; }

struct Moment {
    double Outside, Supply, Return, RefrigOut, RefrigIn, Room, RoomSetpoint, BoilerSetpoint;
    int Current, State;
    bool PumpOn, HeatRequested, TapWater;
};

Moment At(double t) {
    Moment m{};
    const double hour = HourOfDay(t);
    // Coldest before dawn, a colder spell in the middle of the week.
    m.Outside = 2.0 - 4.5 * std::cos(2 * kPi * (hour - 3) / 24) - 3.0 * std::sin(2 * kPi * t / (7 * kDay)) +
                Wobble(t, 0.3, 1.0);
    m.RoomSetpoint = hour >= 6.5 && hour < 22.5 ? 20.5 : 17.0;
    // The room lags its setpoint by about an hour.
    const double lag = HourOfDay(t - 3600);
    const double lagSetpoint = lag >= 6.5 && lag < 22.5 ? 20.5 : 17.0;
    m.Room = lagSetpoint - 0.3 + Wobble(t, 0.15, 2.0);
    m.HeatRequested = m.Room < m.RoomSetpoint + 0.2;

    // Cycles of 40 minutes: 28 on, 12 off; longer on when it is colder.
    const double cycle = std::fmod(t, 2400.0);
    const double onFor = std::clamp(1680.0 + (2.0 - m.Outside) * 60.0, 900.0, 2300.0);
    m.PumpOn = m.HeatRequested && cycle < onFor;
    const double intoPhase = m.PumpOn ? cycle : cycle - onFor;
    const double rise = 1.0 - std::exp(-std::max(intoPhase, 0.0) / 300.0);
    m.Supply = m.PumpOn ? 28.0 + 10.0 * rise : 38.0 - 9.0 * rise;
    m.Return = m.Supply - (m.PumpOn ? 5.0 : 2.0) + Wobble(t, 0.2, 3.0);
    m.Supply += Wobble(t, 0.2, 4.0);
    m.RefrigOut = m.PumpOn ? 44.0 + 6.0 * rise : m.Outside + 8.0 * (1.0 - rise);
    m.RefrigIn = m.PumpOn ? m.Outside - 6.0 + Wobble(t, 0.5, 5.0) : m.Outside + 2.0 * (1.0 - rise);
    m.Current = m.PumpOn ? static_cast<int>(std::lround(6.5 + 2.0 * rise - 0.2 * m.Outside)) : 0;

    m.TapWater = (hour >= 7.0 && hour < 7.25) || (hour >= 19.0 && hour < 19.33);
    const bool boiler = m.HeatRequested && m.Outside < -1.0;
    m.BoilerSetpoint = boiler ? 55.0 : m.TapWater ? 60.0 : 0.0;
    m.State = !m.HeatRequested ? 2 : boiler ? 4 : m.PumpOn ? 3 : 2;
    return m;
}

}  // namespace

std::vector<uint8_t> ScenarioReport(double t) {
    const Moment m = At(t);
    std::vector<uint8_t> r(REALTIME_REPORT_SIZE, 0);
    r[0] = K2MSENDMONDATA;
    Put16(r, 1, m.Return * 100);
    Put16(r, 3, m.Supply * 100);
    r[6] = 131;
    Put16(r, 9, m.Supply * 10);
    Put16(r, 11, m.Outside * 10);
    Put16(r, 15, m.RefrigIn * 10);
    Put16(r, 17, m.RefrigOut * 10);
    Put16(r, 19, m.Return * 10);
    Put16(r, 21, m.Current);
    Put16(r, 25, m.PumpOn ? 38 : 0);
    Put16(r, 29, 40 * 256);
    Put16(r, 37, m.RoomSetpoint * 256);
    Put16(r, 39, m.Room * 256);
    Put16(r, 43, m.BoilerSetpoint * 256);
    r[47] = static_cast<uint8_t>((m.HeatRequested ? 0x04 : 0) | 0x10 | 0x40);
    r[48] = static_cast<uint8_t>(m.State);
    r[51] = m.TapWater ? 1 : 0;
    r[52] = 0x05;
    r[53] = 0x02;
    Put16(r, 54, (m.Outside - 0.3) * 10);
    Put16(r, 67, (m.Supply + m.Return) * 5);
    Put16(r, 75, (m.Supply + m.Return) * 5);
    Put16(r, 91, (m.Room - m.RoomSetpoint) * 10);
    Put16(r, 93, m.Room * 10);
    r[89] = 1;
    r[90] = m.PumpOn ? 1 : 0;
    Put16(r, 98, m.RefrigIn);
    Put16(r, 102, m.PumpOn ? 62 : 20);
    Put16(r, 104, m.RefrigIn + 3);
    Put16(r, 110, m.RefrigOut - 10);
    return r;
}

std::string ScenarioLogRow(double t, LogStyle style) {
    const std::vector<uint8_t> report = ScenarioReport(t);
    const std::vector<TReportValue> values = DecodeRealtimeReport(report.data(), report.size());
    const char separator = style == LogStyle::Dutch ? ',' : '.';

    const auto seconds = static_cast<long long>(std::floor(t));
    const long long days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    const long long sod = seconds - days * 86400;
    // civil_from_days (Howard Hinnant)
    const long long z = days + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long d = doy - (153 * mp + 2) / 5 + 1;
    const long long mo = mp < 10 ? mp + 3 : mp - 9;
    const long long y = yoe + era * 400 + (mo <= 2);
    const int h = static_cast<int>(sod / 3600), mi = static_cast<int>(sod / 60 % 60), s = static_cast<int>(sod % 60);

    char time[64];
    if (style == LogStyle::Dutch) {
        std::snprintf(time, sizeof time, "%02lld-%02lld-%04lld", d, mo, y);
        if (sod != 0) std::snprintf(time + 10, sizeof time - 10, " %02d:%02d:%02d", h, mi, s);
    } else {
        const int n = std::snprintf(time, sizeof time, "%lld/%lld/%02lld", mo, d, y % 100);
        if (sod != 0)
            std::snprintf(time + n, sizeof time - static_cast<size_t>(n), " %d:%02d:%02d %s", h % 12 == 0 ? 12 : h % 12,
                          mi, s, h < 12 ? "AM" : "PM");
    }

    std::string row = std::string(time) + ';';
    for (const std::string& column : LogColumnsOf(values, separator)) row += column + ';';
    return row;
}

std::string ScenarioLog(size_t rows, double start, double step, LogStyle style) {
    std::string text = std::string(LOGFILEHEADER) + "\r\n";
    text.reserve(rows * 330);
    for (size_t i = 0; i < rows; ++i) text += ScenarioLogRow(start + static_cast<double>(i) * step, style) + "\r\n";
    return text;
}

}  // namespace korvel::sim
