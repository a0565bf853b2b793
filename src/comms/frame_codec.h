// The one definition of the frame on the line, both directions: check value, encoder, decoder.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace korvel {

constexpr uint8_t DLE_CHAR = 0x10;
constexpr uint8_t STX_CHAR = 0x02;
constexpr uint8_t ETX_CHAR = 0x03;
constexpr uint8_t PREAMBLE_CHAR = 0xFF;
constexpr uint32_t BLOCKSIZE = 512;
constexpr uint32_t FRAMEBUFSIZE = BLOCKSIZE + 3;  // 515

constexpr uint32_t PROT_IDLE = 1;
constexpr uint32_t PROT_DLE = 2;
constexpr uint32_t PROT_STX = 4;
constexpr uint32_t PROT_DLEDATA = 8;
constexpr uint32_t PROT_DONE = 16;
constexpr uint32_t PROT_OVERFLOW = 64;
constexpr uint32_t PROT_ERROR = 256;

extern const uint16_t CRCTable[256];

// The board's check value. Not CRC-16/ARC although it uses that table: see frame_codec.cpp.
uint16_t CalcCRC(const uint8_t* Data, uint16_t Count);

// Writes the frame (preamble included) for a block into Out, which holds FRAMEBUFSIZE bytes, and
// returns its length. Throws std::invalid_argument for an empty block and std::length_error when
// the frame would not fit; Out is then unspecified but nothing has left the caller.
uint32_t EncodeFrame(const uint8_t* Data, uint32_t Size, uint8_t* Out);
std::vector<uint8_t> EncodeFrame(const uint8_t* Data, uint32_t Size);

// Byte-by-byte receive state machine. Pure: no I/O; results leave through the callbacks, which
// may throw: the decoder is back in PROT_IDLE before the exception leaves HandleByte.
class TFrameDecoder {
public:
    void HandleByte(uint8_t B);
    void Reset() { ProtocolState = PROT_IDLE; }

    uint32_t ProtocolState = PROT_IDLE;
    uint32_t InputCount = 0;
    std::array<uint8_t, FRAMEBUFSIZE> InputData{};

    std::function<void()> OnBlock;       // valid block: InputData[0 .. InputCount-3] + 2 check bytes
    std::function<void()> OnCheckError;  // check value mismatch or fewer than two bytes
    std::function<void()> OnDataError;   // framing error or overflow

private:
    void EnterByte(uint8_t InByte);
    bool ValidData() const;
    void Report(uint32_t state, const std::function<void()>& handler);
};

}  // namespace korvel
