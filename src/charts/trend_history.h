// The live trend: which values of the real-time report it follows, and their history since the
// connection began, bounded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

namespace korvel {

// Where a series is drawn: measured values against an axis, list-valued states as steps, on/off
// flags as steps, each in a lane of its own.
enum class TChartPanel : uint8_t { Values, States, Flags };
enum class TChartAxis : uint8_t { Left, Right };

struct TTrendSeries {
    std::string_view Target;  // display field whose decoded value the series follows
    std::string_view Caption;
    TChartPanel Panel;
    TChartAxis Axis;
};

// In drawing order.
std::span<const TTrendSeries> TrendSeries();
// Index in TrendSeries() of the series that follows this display field, or -1.
int TrendSeriesIndex(std::string_view target);

// One sample per real-time report: its arrival time (seconds) and one value per TrendSeries()
// entry (a flag as 0 or 1, a list as the reported index). At the capacity the oldest sample
// gives way, so a connection left open for days costs no more than one working day.
class TTrendHistory {
public:
    static constexpr size_t kDefaultCapacity = 12 * 3600;  // a long working day at one report a second
    static constexpr size_t kBytesPerSample = sizeof(double) + sizeof(float) * 14;

    explicit TTrendHistory(size_t capacity = kDefaultCapacity);

    void Clear();  // a new connection starts a new history
    // Adds the values of a real-time report (identifier first, size bytes); a block that is no
    // complete report adds nothing and returns false.
    bool AddReport(double time, const uint8_t* block, size_t size);
    void Add(double time, std::span<const float> values);

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

    size_t capacity_;
    std::vector<double> times_;
    std::vector<float> values_;  // sample after sample, SeriesCount() values each
    size_t head_ = 0;            // oldest sample once the ring is full
    uint64_t added_ = 0;
};

}  // namespace korvel
