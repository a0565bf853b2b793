#include "comms/frame_codec.h"

#include <stdexcept>

namespace korvel {

// Reflected CRC-16, polynomial 0x8005 (the CRC-16/ARC table): entry i is i shifted right eight
// times, XOR 0xA001 after each odd bit. Kept as data so it can be checked against the rule.
const uint16_t CRCTable[256] = {
    0x0000, 0xC0C1, 0xC181, 0x0140, 0xC301, 0x03C0, 0x0280, 0xC241,
    0xC601, 0x06C0, 0x0780, 0xC741, 0x0500, 0xC5C1, 0xC481, 0x0440,
    0xCC01, 0x0CC0, 0x0D80, 0xCD41, 0x0F00, 0xCFC1, 0xCE81, 0x0E40,
    0x0A00, 0xCAC1, 0xCB81, 0x0B40, 0xC901, 0x09C0, 0x0880, 0xC841,
    0xD801, 0x18C0, 0x1980, 0xD941, 0x1B00, 0xDBC1, 0xDA81, 0x1A40,
    0x1E00, 0xDEC1, 0xDF81, 0x1F40, 0xDD01, 0x1DC0, 0x1C80, 0xDC41,
    0x1400, 0xD4C1, 0xD581, 0x1540, 0xD701, 0x17C0, 0x1680, 0xD641,
    0xD201, 0x12C0, 0x1380, 0xD341, 0x1100, 0xD1C1, 0xD081, 0x1040,
    0xF001, 0x30C0, 0x3180, 0xF141, 0x3300, 0xF3C1, 0xF281, 0x3240,
    0x3600, 0xF6C1, 0xF781, 0x3740, 0xF501, 0x35C0, 0x3480, 0xF441,
    0x3C00, 0xFCC1, 0xFD81, 0x3D40, 0xFF01, 0x3FC0, 0x3E80, 0xFE41,
    0xFA01, 0x3AC0, 0x3B80, 0xFB41, 0x3900, 0xF9C1, 0xF881, 0x3840,
    0x2800, 0xE8C1, 0xE981, 0x2940, 0xEB01, 0x2BC0, 0x2A80, 0xEA41,
    0xEE01, 0x2EC0, 0x2F80, 0xEF41, 0x2D00, 0xEDC1, 0xEC81, 0x2C40,
    0xE401, 0x24C0, 0x2580, 0xE541, 0x2700, 0xE7C1, 0xE681, 0x2640,
    0x2200, 0xE2C1, 0xE381, 0x2340, 0xE101, 0x21C0, 0x2080, 0xE041,
    0xA001, 0x60C0, 0x6180, 0xA141, 0x6300, 0xA3C1, 0xA281, 0x6240,
    0x6600, 0xA6C1, 0xA781, 0x6740, 0xA501, 0x65C0, 0x6480, 0xA441,
    0x6C00, 0xACC1, 0xAD81, 0x6D40, 0xAF01, 0x6FC0, 0x6E80, 0xAE41,
    0xAA01, 0x6AC0, 0x6B80, 0xAB41, 0x6900, 0xA9C1, 0xA881, 0x6840,
    0x7800, 0xB8C1, 0xB981, 0x7940, 0xBB01, 0x7BC0, 0x7A80, 0xBA41,
    0xBE01, 0x7EC0, 0x7F80, 0xBF41, 0x7D00, 0xBDC1, 0xBC81, 0x7C40,
    0xB401, 0x74C0, 0x7580, 0xB541, 0x7700, 0xB7C1, 0xB681, 0x7640,
    0x7200, 0xB2C1, 0xB381, 0x7340, 0xB101, 0x71C0, 0x7080, 0xB041,
    0x5000, 0x90C1, 0x9181, 0x5140, 0x9301, 0x53C0, 0x5280, 0x9241,
    0x9601, 0x56C0, 0x5780, 0x9741, 0x5500, 0x95C1, 0x9481, 0x5440,
    0x9C01, 0x5CC0, 0x5D80, 0x9D41, 0x5F00, 0x9FC1, 0x9E81, 0x5E40,
    0x5A00, 0x9AC1, 0x9B81, 0x5B40, 0x9901, 0x59C0, 0x5880, 0x9841,
    0x8801, 0x48C0, 0x4980, 0x8941, 0x4B00, 0x8BC1, 0x8A81, 0x4A40,
    0x4E00, 0x8EC1, 0x8F81, 0x4F40, 0x8D01, 0x4DC0, 0x4C80, 0x8C41,
    0x4400, 0x84C1, 0x8581, 0x4540, 0x8701, 0x47C0, 0x4680, 0x8641,
    0x8201, 0x42C0, 0x4380, 0x8341, 0x4100, 0x81C1, 0x8081, 0x4040,
};

// The board shifts left and indexes with the high byte although the table is the reflected one.
// That mix is what the firmware computes, so it is kept exactly; it is not CRC-16/ARC.
uint16_t CalcCRC(const uint8_t* Data, uint16_t Count) {
    uint16_t crc = 0;
    for (uint16_t i = 0; i < Count; ++i)
        crc = static_cast<uint16_t>(((crc & 0xFFu) << 8) ^ CRCTable[((crc >> 8) ^ Data[i]) & 0xFFu]);
    return crc;
}

uint32_t EncodeFrame(const uint8_t* Data, uint32_t Size, uint8_t* Out) {
    if (Size == 0) throw std::invalid_argument("Cannot send an empty block.");
    uint32_t n = 0;
    auto put = [&](uint8_t b) {
        if (n >= FRAMEBUFSIZE) throw std::length_error("Block too long for one frame.");
        Out[n++] = b;
    };
    auto putStuffed = [&](uint8_t b) {
        if (b == DLE_CHAR) put(DLE_CHAR);
        put(b);
    };
    put(PREAMBLE_CHAR);
    put(DLE_CHAR);
    put(STX_CHAR);
    for (uint32_t i = 0; i < Size; ++i) putStuffed(Data[i]);
    // The length guard above has already rejected anything longer than 16 bits.
    const uint16_t crc = CalcCRC(Data, static_cast<uint16_t>(Size));
    putStuffed(static_cast<uint8_t>(crc & 0xFFu));
    putStuffed(static_cast<uint8_t>(crc >> 8));
    put(DLE_CHAR);
    put(ETX_CHAR);
    return n;
}

std::vector<uint8_t> EncodeFrame(const uint8_t* Data, uint32_t Size) {
    std::array<uint8_t, FRAMEBUFSIZE> buf;
    const uint32_t n = EncodeFrame(Data, Size, buf.data());
    return {buf.begin(), buf.begin() + n};
}

void TFrameDecoder::Report(uint32_t state, const std::function<void()>& handler) {
    // Bytes that reach us while the handler runs (it may dispatch events) are ignored in these
    // states; whatever the handler does, the decoder ends up waiting for the next frame.
    ProtocolState = state;
    struct BackToIdle {
        uint32_t& s;
        ~BackToIdle() { s = PROT_IDLE; }
    } guard{ProtocolState};
    if (handler) handler();
}

void TFrameDecoder::EnterByte(uint8_t InByte) {
    // InputCount never passes BLOCKSIZE + 1 here, so the write stays inside InputData.
    InputData[InputCount] = InByte;
    ++InputCount;
    if (InputCount > BLOCKSIZE) Report(PROT_OVERFLOW, OnDataError);
}

bool TFrameDecoder::ValidData() const {
    const uint32_t n = InputCount;
    if (n < 2) return false;
    const uint16_t received = static_cast<uint16_t>(InputData[n - 2] | (InputData[n - 1] << 8));
    return CalcCRC(InputData.data(), static_cast<uint16_t>(n - 2)) == received;
}

void TFrameDecoder::HandleByte(uint8_t B) {
    switch (ProtocolState) {
        case PROT_IDLE:
            if (B == DLE_CHAR) ProtocolState = PROT_DLE;
            break;
        case PROT_DLE:
            if (B == STX_CHAR) {
                InputCount = 0;
                ProtocolState = PROT_STX;
            } else if (B != DLE_CHAR) {
                ProtocolState = PROT_IDLE;
            }
            break;
        case PROT_STX:
            if (B == DLE_CHAR)
                ProtocolState = PROT_DLEDATA;
            else
                EnterByte(B);
            break;
        case PROT_DLEDATA:
            if (B == DLE_CHAR) {
                ProtocolState = PROT_STX;
                EnterByte(DLE_CHAR);
            } else if (B == ETX_CHAR) {
                if (ValidData())
                    Report(PROT_DONE, OnBlock);
                else
                    Report(PROT_ERROR, OnCheckError);
            } else {
                Report(PROT_ERROR, OnDataError);
            }
            break;
        default:  // PROT_DONE, PROT_OVERFLOW, PROT_ERROR: a handler is running
            break;
    }
}

}  // namespace korvel
