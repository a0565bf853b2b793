// Hand-made S-record lines for the firmware tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvel::test {

inline std::string HexByte(uint8_t b) {
    static const char kHex[] = "0123456789ABCDEF";
    return {kHex[b >> 4], kHex[b & 0x0F]};
}

// One well-formed S1 record with its line break.
inline std::string S1(uint16_t address, const std::vector<uint8_t>& data) {
    const auto count = static_cast<uint8_t>(data.size() + 3);
    uint8_t sum = static_cast<uint8_t>(count + (address >> 8) + (address & 0xFF));
    std::string s = "S1" + HexByte(count) + HexByte(static_cast<uint8_t>(address >> 8)) +
                    HexByte(static_cast<uint8_t>(address & 0xFF));
    for (uint8_t b : data) {
        s += HexByte(b);
        sum = static_cast<uint8_t>(sum + b);
    }
    return s + HexByte(static_cast<uint8_t>(~sum)) + "\n";
}

}  // namespace korvel::test
