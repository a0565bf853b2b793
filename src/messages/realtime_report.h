// Layout and decoding of the board's real-time report (message 16): where each value sits, how it
// is converted and which display field shows it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "messages/message_ids.h"  // REALTIME_REPORT_SIZE

namespace korvel {

enum class TReportType : uint8_t { s16, u16, u8 };

enum class TReportConversion : uint8_t {
    Hundredths,  // x 0.01
    Tenths,      // x 0.1
    Div256,      // OpenTherm fixed point, 8 fraction bits
    AsIs,
    Firmware,    // high byte is the version; below 120 shows 0
    ListIndex,
    NonZero,     // check box set when the byte is not 0
    Bits,        // check boxes from the bit table
};

struct TReportField {
    uint8_t Offset;
    TReportType Type;
    TReportConversion Conversion;
    std::string_view Target;  // objectName of the display field; empty for Bits rows
};

struct TReportBit {
    uint8_t Byte;
    uint8_t Bit;
    std::string_view Target;
};

// Ascending offset order; every field is set on every report in this order.
std::span<const TReportField> RealtimeReportFields();
// Grouped by byte, in the order the boxes are set.
std::span<const TReportBit> RealtimeReportBits();

struct TReportValue {
    enum class Kind : uint8_t { Number, ListIndex, Flag };
    std::string_view Target;
    Kind ValueKind;
    double Number = 0;  // Number
    int Index = 0;      // ListIndex: the raw byte, may lie beyond the list
    bool Checked = false;  // Flag
};

// Values of one report, in the order they are to be shown. data holds the block proper
// (identifier first); a block shorter than REALTIME_REPORT_SIZE gives no values.
std::vector<TReportValue> DecodeRealtimeReport(const uint8_t* data, size_t size);

}  // namespace korvel
