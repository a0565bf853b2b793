// Bytes from the wire into the frame decoder: it must never read or write outside its buffer and
// must only deliver blocks whose check value holds; every block the encoder frames must come back
// unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "comms/frame_codec.h"

using namespace korvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TFrameDecoder dec;
    std::vector<uint8_t> last;
    dec.OnBlock = [&] {
        if (dec.InputCount < 2 || dec.InputCount > BLOCKSIZE || dec.ProtocolState != PROT_DONE) std::abort();
        const uint32_t n = dec.InputCount - 2;
        const uint16_t c = static_cast<uint16_t>(dec.InputData[n] | (dec.InputData[n + 1] << 8));
        if (CalcCRC(dec.InputData.data(), static_cast<uint16_t>(n)) != c) std::abort();
        last.assign(dec.InputData.begin(), dec.InputData.begin() + n);
    };
    dec.OnCheckError = [&] {
        if (dec.ProtocolState != PROT_ERROR) std::abort();
    };
    dec.OnDataError = [&] {
        if (dec.ProtocolState != PROT_ERROR && dec.ProtocolState != PROT_OVERFLOW) std::abort();
    };
    for (size_t i = 0; i < size; ++i) dec.HandleByte(data[i]);

    // Any input, framed, survives the trip.
    if (size == 0) return 0;
    std::vector<uint8_t> frame;
    try {
        frame = EncodeFrame(data, static_cast<uint32_t>(size));
    } catch (const std::length_error&) {
        return 0;
    }
    // Noise may have ended inside a frame, which by design swallows the next start; a new
    // connection starts the decoder clean, and so does this.
    dec.Reset();
    last.clear();
    for (uint8_t b : frame) dec.HandleByte(b);
    if (last != std::vector<uint8_t>(data, data + size)) std::abort();
    return 0;
}
