// What crosses the line, both ways, for whoever records it (the line's capture). The serial port
// hands every byte it reads and every byte it writes to its tap, whatever the line's kind.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel {

// Seen from the PC: Inbound comes from the board, Outbound goes to it.
enum class TLineDirection : uint8_t { Inbound, Outbound };

class TLineTap {
public:
    virtual ~TLineTap() = default;
    // Called on the receive thread for bytes read and on the sending thread for bytes written;
    // must be cheap and must not call back into the port.
    virtual void LineBytes(TLineDirection direction, const uint8_t* data, size_t size) = 0;
};

}  // namespace korvel
