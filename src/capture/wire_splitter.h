// Cuts one direction of the line into packets as the block decoder sees it: each frame from its
// preamble to its end sequence, and the bytes between frames apart. The decoder itself draws the
// lines, so a packet is a block exactly when the tool takes it as one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "capture/capture_packet.h"
#include "comms/frame_codec.h"

namespace korvel {

class TWireSplitter {
public:
    using TEmit = std::function<void(TPacketKind kind, std::span<const uint8_t> wire)>;

    TWireSplitter();
    TWireSplitter(const TWireSplitter&) = delete;
    TWireSplitter& operator=(const TWireSplitter&) = delete;

    // Bytes as they came in one read or write. Every packet completed by them is emitted; a frame
    // still open at the end is kept for the next call, and so are bytes that may start one.
    void Feed(std::span<const uint8_t> bytes, const TEmit& emit);
    // Whatever is kept goes out: an open frame as Incomplete, other bytes as Noise. The splitter
    // then starts clean.
    void Flush(const TEmit& emit);
    bool Pending() const { return !pending_.empty(); }

private:
    enum class TEvent : uint8_t { None, Block, BadCheck, FramingError, Overflow };

    TFrameDecoder decoder_;
    std::vector<uint8_t> pending_;  // bytes not yet emitted; an open frame starts at 0
    bool inFrame_ = false;
    TEvent event_ = TEvent::None;
};

// What a packet's bytes are on their own: Block, BadCheck, FramingError, Overflow or Incomplete
// when they form one frame from its start, Noise otherwise.
TPacketKind ClassifyWire(std::span<const uint8_t> wire);

// The block a frame carries (identifier first, without its check bytes), also when its check
// value is wrong; empty when the bytes hold no whole frame. received and computed, when given, get
// the frame's check value and the one its block gives.
std::vector<uint8_t> UnframeWire(std::span<const uint8_t> wire, uint16_t* received = nullptr,
                                 uint16_t* computed = nullptr);

}  // namespace korvel
