// The live trend: which values of the real-time report it follows, and their history since the
// connection began, bounded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "visit/fault_history.h"

namespace korvel {

// Where a series is drawn: measured values against an axis, list-valued states as steps, on/off
// flags as steps, each in a lane of its own.
enum class TChartPanel : uint8_t { Values, States, Flags };
enum class TChartAxis : uint8_t { Left, Right };

struct TTrendSeries {
    std::string_view Target;  // display field whose decoded value the series follows
    TChartPanel Panel;
    TChartAxis Axis;
    bool Shown = true;               // ticked when the window opens
    std::string_view Caption = {};   // where the field's own caption would not say enough
};

// In drawing order.
std::span<const TTrendSeries> TrendSeries();
// "Retour T (°C)": the caption as the pages show it, with the unit where the value has one.
std::string TrendCaption(const TTrendSeries& series);
// The same for any display field of the report; fallback, when set, stands in for its caption.
std::string SeriesName(std::string_view target, std::string_view fallback = {});
std::string_view SeriesUnit(std::string_view target);
// Index in TrendSeries() of the series that follows this display field, or -1.
int TrendSeriesIndex(std::string_view target);

// A moment the chart marks: the engineer changed something, or a fault came or went.
enum class TTrendMarkKind : uint8_t { Mode, Job, Fault };
struct TTrendMark {
    double Time = 0;
    TTrendMarkKind Kind = TTrendMarkKind::Job;
    std::string Text;  // "Mode: Instellen", "Flow probleem verschenen"
};

// A fault that came or went, as a mark; nothing for one already there when the history began.
std::optional<TTrendMark> FaultMark(const TFaultEvent& event);
// The marks of an opened log: from its fault flags and codes alone.
std::vector<TTrendMark> LogMarks(const TLogTable& table);

// One sample per real-time report: its arrival time (seconds) and one value per TrendSeries()
// entry (a flag as 0 or 1, a list as the reported index). At the capacity the oldest sample
// gives way, so a connection left open for days costs no more than one working day.
class TTrendHistory {
public:
    static constexpr size_t kDefaultCapacity = 12 * 3600;  // a long working day at one report a second
    static constexpr size_t kBytesPerSample = sizeof(double) + sizeof(float) * 25;

    explicit TTrendHistory(size_t capacity = kDefaultCapacity);

    void Clear();  // a new connection starts a new history
    // Adds the values of a real-time report (identifier first, size bytes); a block that is no
    // complete report adds nothing and returns false.
    bool AddReport(double time, const uint8_t* block, size_t size);
    void Add(double time, std::span<const float> values);
    void AddMark(double time, TTrendMarkKind kind, std::string text);
    const std::deque<TTrendMark>& Marks() const { return marks_; }
    // Marks added since the last Clear, as Added() counts samples.
    uint64_t MarksAdded() const { return marksAdded_; }

    size_t Size() const { return times_.size(); }
    size_t Capacity() const { return capacity_; }
    double Time(size_t i) const { return times_[Physical(i)]; }  // i = 0 is the oldest kept
    float Value(size_t series, size_t i) const { return values_[Physical(i) * SeriesCount() + series]; }
    // Samples added since the last Clear: a reader that has seen n of them finds the new ones at
    // the end, and the ones it must drop at the start.
    uint64_t Added() const { return added_; }
    size_t MemoryBytes() const;  // what the stored samples take now

    static size_t SeriesCount();

    std::function<void()> OnChange;  // after every Add and Clear

private:
    size_t Physical(size_t i) const { return times_.size() < capacity_ ? i : (head_ + i) % capacity_; }
    void Changed();
    void PushMark(TTrendMark mark);

    size_t capacity_;
    std::vector<double> times_;
    std::vector<float> values_;  // sample after sample, SeriesCount() values each
    size_t head_ = 0;            // oldest sample once the ring is full
    uint64_t added_ = 0;
    TFaultHistory faults_;
    // A fault flapping for days must not eat the memory: the oldest marks go first.
    static constexpr size_t kMarksKept = 10000;
    std::deque<TTrendMark> marks_;
    uint64_t marksAdded_ = 0;
};

}  // namespace korvel
