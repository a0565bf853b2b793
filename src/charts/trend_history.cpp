#include "charts/trend_history.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <string>

#include "charts/log_reader.h"
#include "messages/realtime_report.h"

namespace korvel {

namespace {

using P = TChartPanel;
using A = TChartAxis;

// Captions come from the report's table, so each line has the name the engineer knows from the
// monitor page and the advanced view; the advanced view's values wait in the list, unticked.
constexpr TTrendSeries kSeries[] = {
    {"onfNTC1", P::Values, A::Left},
    {"onfNTC2", P::Values, A::Left},
    {"onfRefrigOut", P::Values, A::Left},
    {"onfRefrigIn", P::Values, A::Left},
    {"onfSMT", P::Values, A::Left},
    {"onfOutsideAir", P::Values, A::Left},
    {"onfTRoomTemperature", P::Values, A::Left},
    {"onfRoomSetpoint", P::Values, A::Left},
    {"onfCVSetpoint", P::Values, A::Left},
    {"onfCompCurrent", P::Values, A::Right},
    {"ocbKorvelState", P::States, A::Left},
    // "ON" alone says nothing in a list of every value.
    {"cbOnOff", P::Flags, A::Left, true, "Toshiba ON"},
    {"cbHeatProductionRequested", P::Flags, A::Left},
    {"cbTapwaterDetectBoiler", P::Flags, A::Left},
    {"nfModBus4410", P::Values, A::Left, false},
    {"nfModBus4412", P::Values, A::Left, false},
    {"nfModBus4413", P::Values, A::Left, false},
    {"nfModBus4416", P::Values, A::Left, false},
    {"cbU1", P::Flags, A::Left, false},
    {"cbU2", P::Flags, A::Left, false},
    {"cbU3", P::Flags, A::Left, false},
    {"cbU4", P::Flags, A::Left, false},
    {"cbU5", P::Flags, A::Left, false},
    {"cbU6", P::Flags, A::Left, false},
    {"cbU7", P::Flags, A::Left, false},
};
static_assert(TTrendHistory::kBytesPerSample == sizeof(double) + sizeof(float) * std::size(kSeries));

}  // namespace

std::span<const TTrendSeries> TrendSeries() { return kSeries; }

std::string TrendCaption(const TTrendSeries& series) { return SeriesName(series.Target, series.Caption); }

std::string SeriesName(std::string_view target, std::string_view fallback) {
    std::string name(!fallback.empty() ? fallback : ReportCaption(target));
    const std::string_view unit = SeriesUnit(target);
    if (!unit.empty()) {
        name += " (";
        name += unit;
        name += ')';
    }
    return name;
}

std::string_view SeriesUnit(std::string_view target) {
    const TReportField* f = FindReportField(target);
    return f != nullptr ? f->Unit : std::string_view();
}

int TrendSeriesIndex(std::string_view target) {
    for (size_t i = 0; i < std::size(kSeries); ++i)
        if (kSeries[i].Target == target) return static_cast<int>(i);
    return -1;
}

size_t TTrendHistory::SeriesCount() { return std::size(kSeries); }

TTrendHistory::TTrendHistory(size_t capacity) : capacity_(std::max<size_t>(capacity, 1)) {}

std::optional<TTrendMark> FaultMark(const TFaultEvent& event) {
    if (event.AtStart) return std::nullopt;
    TTrendMark mark{event.Time, TTrendMarkKind::Fault, FaultName(event)};
    mark.Text += event.Appeared ? " verschenen" : " verdwenen";
    return mark;
}

std::vector<TTrendMark> LogMarks(const TLogTable& table) {
    std::vector<TTrendMark> marks;
    for (const TFaultEvent& e : FaultEventsOfLog(table))
        if (auto mark = FaultMark(e)) marks.push_back(std::move(*mark));
    return marks;
}

void TTrendHistory::Clear() {
    // The memory goes back too: a new connection may be short.
    std::vector<double>().swap(times_);
    std::vector<float>().swap(values_);
    head_ = 0;
    added_ = 0;
    faults_.Clear();
    marks_.clear();
    marksAdded_ = 0;
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
    const uint64_t before = faults_.Added();
    faults_.AddReport(time, block, size);
    const auto& events = faults_.Events();
    const size_t fresh = static_cast<size_t>(std::min<uint64_t>(faults_.Added() - before, events.size()));
    for (size_t i = events.size() - fresh; i < events.size(); ++i)
        if (auto mark = FaultMark(events[i])) PushMark(std::move(*mark));
    Add(time, values);
    return true;
}

void TTrendHistory::AddMark(double time, TTrendMarkKind kind, std::string text) {
    PushMark({time, kind, std::move(text)});
    Changed();
}

void TTrendHistory::PushMark(TTrendMark mark) {
    if (marks_.size() == kMarksKept) marks_.pop_front();
    marks_.push_back(std::move(mark));
    ++marksAdded_;
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
