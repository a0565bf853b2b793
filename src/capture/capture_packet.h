// One packet of the line's record: the bytes that crossed the line together, as they were on the
// wire (preamble, start and end sequences, stuffing and check bytes included), with their time and
// direction. A valid frame is one packet; bytes that form no valid block are packets of their own,
// whose kind says what they are.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "link/line_tap.h"

namespace korvel {

enum class TPacketKind : uint8_t {
    Block,         // one whole frame with a matching check value
    BadCheck,      // a whole frame whose check value does not match
    FramingError,  // a frame broken off by a byte that may not follow an escape
    Overflow,      // a frame longer than the decoder takes
    Noise,         // bytes outside any frame
    Incomplete,    // a frame the line ended in the middle of
    Loader,        // the firmware loader's raw characters and chunks
};

struct TCapturePacket {
    int64_t TimeUs = 0;  // microseconds since 1970-01-01 UTC
    TLineDirection Direction = TLineDirection::Inbound;
    TPacketKind Kind = TPacketKind::Block;
    uint32_t Interface = 0;  // which line of the record (one per port or address opened)
    std::vector<uint8_t> Wire;
};

// The packet comment that says what bytes that form no valid block are; empty for a block.
std::string_view PacketComment(TPacketKind kind);
// The kind a comment names; nothing for another comment.
std::optional<TPacketKind> KindOfComment(std::string_view comment);
// Whether the window shows the packet as damaged.
constexpr bool IsDamaged(TPacketKind kind) {
    return kind != TPacketKind::Block && kind != TPacketKind::Loader;
}

// The line's description in a capture: speed and frame as the tool sets them.
inline constexpr std::string_view CAPTURE_LINE_DESCRIPTION = "KORVEL 9600 8N2";

}  // namespace korvel
