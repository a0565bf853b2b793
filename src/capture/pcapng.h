// The capture file: pcapng (the format of Wireshark, tshark and tcpdump), little-endian, one
// interface per line opened, link type 147 (private use), one enhanced packet block per packet
// with its direction in epb_flags and a time stamp in microseconds. Pure: bytes in, bytes out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "capture/capture_packet.h"

namespace korvel {

inline constexpr uint16_t LINKTYPE_KORVEL = 147;  // LINKTYPE_USER0

// The blocks as they go into a file, appended to out.
void AppendSectionHeader(std::string& out, std::string_view application);
void AppendInterface(std::string& out, std::string_view name);
void AppendPacket(std::string& out, const TCapturePacket& packet);

struct TCaptureReadResult {
    std::vector<std::string> Interfaces;  // if_name of each line, in file order
    std::vector<TCapturePacket> Packets;
    std::string Error;  // why the file is refused: empty when it was read
    bool Ok() const { return Error.empty(); }
};

// Reads a capture of this tool. A damaged, truncated or foreign file (another link type, another
// byte order, a block length that lies) is refused as a whole, with the reason in Error naming
// the block and its place; nothing is read from it then.
TCaptureReadResult ReadCapture(std::span<const uint8_t> bytes);

// The same from a file; larger files than maxBytes are refused unread.
inline constexpr uint64_t CAPTURE_MAX_FILE_BYTES = uint64_t{256} << 20;
TCaptureReadResult ReadCaptureFile(const std::string& path, uint64_t maxBytes = CAPTURE_MAX_FILE_BYTES);

}  // namespace korvel
