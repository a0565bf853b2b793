// The traffic window's store: the latest packets of the line, at most a fixed number, each with
// the line it crossed. Packets are counted from the first ever added, so a view can tell what
// is new and what has gone since it last looked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <vector>

#include "capture/capture_packet.h"

namespace korvel {

class TTrafficLog {
public:
    static constexpr size_t kDefaultCapacity = 100000;
    explicit TTrafficLog(size_t capacity = kDefaultCapacity) : capacity_(capacity) {}

    // Adds a packet of the named line (its Interface is set here); the oldest goes beyond capacity.
    void Add(TCapturePacket packet, const std::string& line);
    // Holds the packets of a capture instead, interfaces and all, however many they are.
    void Load(std::vector<std::string> lines, std::vector<TCapturePacket> packets);
    void Clear();

    size_t Size() const { return packets_.size(); }
    size_t Capacity() const { return capacity_; }
    // Sequence number of the oldest packet held; First() + Size() is the next one's.
    uint64_t First() const { return first_; }
    const TCapturePacket& At(uint64_t sequence) const { return packets_[static_cast<size_t>(sequence - first_)]; }
    bool Holds(uint64_t sequence) const { return sequence >= first_ && sequence - first_ < packets_.size(); }

    const std::vector<std::string>& Lines() const { return lines_; }
    // A capture file's bytes of what is held.
    std::string Encode(std::string_view application) const;

private:
    size_t capacity_;
    uint64_t first_ = 0;
    std::deque<TCapturePacket> packets_;
    std::vector<std::string> lines_;
};

}  // namespace korvel
