// Message identifiers: the first byte of every block. Shared by the tool and the board stand-in;
// the catalogue with the name texts is built on top of these.
#pragma once

#include <cstdint>

namespace korvel {

// Group bases; the answer to PC2KORVEL + i is KORVEL2PCR + i.
constexpr uint8_t KORVEL2MON = 16;
constexpr uint8_t KORVEL2PCR = 32;
constexpr uint8_t KORVEL2PC = 48;
constexpr uint8_t MON2KORVEL = 144;
constexpr uint8_t PC2KORVEL = 160;

constexpr uint8_t K2MSENDMONDATA = KORVEL2MON + 0;  // 16, real-time report
constexpr uint8_t K2PRSETCOMMAND = KORVEL2PCR + 0;  // 32
constexpr uint8_t K2PRGETSERNUM = KORVEL2PCR + 1;   // 33
constexpr uint8_t K2PRGETRT = KORVEL2PCR + 2;       // 34
constexpr uint8_t K2PRBLASTFW = KORVEL2PCR + 3;     // 35
constexpr uint8_t K2PRGETFLASH = KORVEL2PCR + 4;    // 36
constexpr uint8_t K2PRSETNVM = KORVEL2PCR + 5;      // 37
constexpr uint8_t K2PRGETNVM = KORVEL2PCR + 6;      // 38
constexpr uint8_t K2PRFLASHNVM = KORVEL2PCR + 7;    // 39
constexpr uint8_t K2PGETCOMMAND = KORVEL2PC + 0;    // 48, "Are you there ?"

constexpr uint8_t P2KSETCOMMAND = PC2KORVEL + 0;  // 160
constexpr uint8_t P2KGETSERNUM = PC2KORVEL + 1;   // 161
constexpr uint8_t P2KGETRT = PC2KORVEL + 2;       // 162
constexpr uint8_t P2KBLASTFW = PC2KORVEL + 3;     // 163
constexpr uint8_t P2KGETFLASH = PC2KORVEL + 4;    // 164
constexpr uint8_t P2KSETNVM = PC2KORVEL + 5;      // 165
constexpr uint8_t P2KGETNVM = PC2KORVEL + 6;      // 166
constexpr uint8_t P2KFLASHNVM = PC2KORVEL + 7;    // 167

constexpr uint8_t ResponseTo(uint8_t request) { return static_cast<uint8_t>(request - PC2KORVEL + KORVEL2PCR); }

constexpr uint32_t REALTIME_REPORT_SIZE = 112;  // block bytes, identifier included
constexpr uint32_t NVM_IMAGE_SIZE = 230;        // bytes after the identifier in 38 and 39

}  // namespace korvel
