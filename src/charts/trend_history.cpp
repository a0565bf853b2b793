#include "charts/trend_history.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

#include "messages/realtime_report.h"

namespace korvel {

namespace {

using P = TChartPanel;
using A = TChartAxis;

// Captions as on the monitor page, so the engineer finds each line under the name he knows.
constexpr TTrendSeries kSeries[] = {
    {"onfNTC1", "Retour T", P::Values, A::Left},
    {"onfNTC2", "Aanvoer T", P::Values, A::Left},
    {"onfRefrigOut", "Koelmiddel uit", P::Values, A::Left},
    {"onfRefrigIn", "Koelmiddel in", P::Values, A::Left},
    {"onfSMT", "Externe buitenvoeler", P::Values, A::Left},
    {"onfOutsideAir", "Buitentemperatuur", P::Values, A::Left},
    {"onfTRoomTemperature", "Kamertemperatuur", P::Values, A::Left},
    {"onfRoomSetpoint", "Kamer gewenst", P::Values, A::Left},
    {"onfCVSetpoint", "Gevraagd ketel", P::Values, A::Left},
    {"onfCompCurrent", "Compressor stroom", P::Values, A::Right},
    {"ocbKorvelState", "KORVEL bedrijfsstand", P::States, A::Left},
    {"cbOnOff", "Toshiba ON", P::Flags, A::Left},
    {"cbHeatProductionRequested", "Verwarming gevraagd", P::Flags, A::Left},
    {"cbTapwaterDetectBoiler", "Ketel maakt tapwater (OpenTherm)", P::Flags, A::Left},
};
static_assert(TTrendHistory::kBytesPerSample == sizeof(double) + sizeof(float) * std::size(kSeries));

}  // namespace

std::span<const TTrendSeries> TrendSeries() { return kSeries; }

int TrendSeriesIndex(std::string_view target) {
    for (size_t i = 0; i < std::size(kSeries); ++i)
        if (kSeries[i].Target == target) return static_cast<int>(i);
    return -1;
}

size_t TTrendHistory::SeriesCount() { return std::size(kSeries); }

TTrendHistory::TTrendHistory(size_t capacity) : capacity_(std::max<size_t>(capacity, 1)) {}

void TTrendHistory::Clear() {
    // The memory goes back too: a new connection may be short.
    std::vector<double>().swap(times_);
    std::vector<float>().swap(values_);
    head_ = 0;
    added_ = 0;
    Changed();
}

bool TTrendHistory::AddReport(double time, const uint8_t* block, size_t size) {
    const std::vector<TReportValue> decoded = DecodeRealtimeReport(block, size);
    if (decoded.empty()) return false;
    float values[std::size(kSeries)];
    std::fill(std::begin(values), std::end(values), std::numeric_limits<float>::quiet_NaN());
    for (const TReportValue& v : decoded) {
        const int series = TrendSeriesIndex(v.Target);
        if (series < 0) continue;
        switch (v.ValueKind) {
            case TReportValue::Kind::Number: values[series] = static_cast<float>(v.Number); break;
            case TReportValue::Kind::ListIndex: values[series] = static_cast<float>(v.Index); break;
            case TReportValue::Kind::Flag: values[series] = v.Checked ? 1.0f : 0.0f; break;
        }
    }
    Add(time, values);
    return true;
}

void TTrendHistory::Add(double time, std::span<const float> values) {
    const size_t n = SeriesCount();
    if (times_.size() < capacity_) {
        // Grows towards the bound in steps, never past it.
        if (times_.size() == times_.capacity()) {
            const size_t next = std::min(capacity_, std::max<size_t>(1024, times_.size() * 2));
            times_.reserve(next);
            values_.reserve(next * n);
        }
        times_.push_back(time);
        for (size_t s = 0; s < n; ++s) values_.push_back(s < values.size() ? values[s] : NAN);
    } else {
        times_[head_] = time;
        for (size_t s = 0; s < n; ++s) values_[head_ * n + s] = s < values.size() ? values[s] : NAN;
        head_ = (head_ + 1) % capacity_;
    }
    ++added_;
    Changed();
}

size_t TTrendHistory::MemoryBytes() const {
    return times_.capacity() * sizeof(double) + values_.capacity() * sizeof(float);
}

void TTrendHistory::Changed() {
    if (OnChange) OnChange();
}

}  // namespace korvel
