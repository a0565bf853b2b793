// Firmware image: the board's 64 KiB address space, filled from a Motorola S-record file.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace korvel {

constexpr uint32_t MAXRAM = 0xFFFF;

class TFlashImage {
public:
    TFlashImage();
    uint8_t GetMemory(uint32_t Index) const;
    void SetMemory(uint32_t Index, uint8_t Value);
    void ReadHexFile(const std::string& FileName);  // throws on open/read failure or data past 0xFFFF
    void ReadHexText(const std::string& Text);      // the same reader over text already in memory
    uint32_t FirstUsedAddress() const { return FMinUsedAddress; }
    uint32_t LastUsedAddress() const { return FMaxUsedAddress; }
    bool MapError() const { return FMapError; }
    const std::array<uint8_t, 0x10000>& Map() const { return FMap; }  // the whole image at once

private:
    void Reset();  // erased flash, nothing used, no error

    std::array<uint8_t, 0x10000> FMap{};
    uint32_t FMinUsedAddress = 0xFFFF;
    uint32_t FMaxUsedAddress = 0;
    bool FMapError = false;
};

}  // namespace korvel
