// Building blocks of the capture tests: frames as the line carries them, packets, bytes in hex.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "capture/capture_packet.h"
#include "comms/frame_codec.h"

namespace korvel::test {

using Bytes = std::vector<uint8_t>;

inline Bytes Hex(const std::string& text) {
    Bytes out;
    std::istringstream in(text);
    std::string tok;
    while (in >> tok) out.push_back(static_cast<uint8_t>(std::stoul(tok, nullptr, 16)));
    return out;
}

inline Bytes Frame(std::initializer_list<uint8_t> block) {
    const Bytes b(block);
    return EncodeFrame(b.data(), static_cast<uint32_t>(b.size()));
}
inline Bytes Frame(const Bytes& b) { return EncodeFrame(b.data(), static_cast<uint32_t>(b.size())); }

inline TCapturePacket Packet(int64_t us, TLineDirection d, TPacketKind k, Bytes wire, uint32_t iface = 0) {
    TCapturePacket p;
    p.TimeUs = us;
    p.Direction = d;
    p.Kind = k;
    p.Interface = iface;
    p.Wire = std::move(wire);
    return p;
}

}  // namespace korvel::test
