// Layout and decoding of the board's real-time report (message 16): where each value sits, how it
// is converted and which display field shows it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "messages/message_ids.h"  // REALTIME_REPORT_SIZE
#include "widgets/picture_mask.h"

namespace korvel {

// Bytes of the block proper in a received (Data, Size) pair, whose Size counts the two check bytes
// too. A report with fewer than REALTIME_REPORT_SIZE of them is not shown.
inline size_t ReceivedBlockBytes(int32_t Size) { return Size > 2 ? static_cast<size_t>(Size) - 2 : 0; }

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
    // How that field shows a number: the type it holds it as and its picture mask (empty for
    // lists and boxes). The monitor page, the advanced view and the data log all take it from here.
    TNumericDataType Shown = TNumericDataType::ndtReal;
    std::string_view Mask;
    std::string_view Unit = {};  // what the number counts in ("°C", "A"); empty for a count, a code or a timer
    // The caption the pages name the field by (a list without a label: its group's); the pages and
    // the trend take it from here.
    std::string_view Caption = {};
};

struct TReportBit {
    uint8_t Byte;
    uint8_t Bit;
    std::string_view Target;
    std::string_view Caption = {};
    std::string_view Note = {};  // the advanced view's explanation beside a decision flag
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

const TReportField* FindReportField(std::string_view target);
const TReportBit* FindReportBit(std::string_view target);
// The caption of a field or box of the report; empty for a name the report does not set.
std::string_view ReportCaption(std::string_view target);
// The items of a list the report selects by index: the operating state, the outdoor unit's mode.
std::span<const std::string_view> ReportListItems(std::string_view target);

// Values of one report, in the order they are to be shown. data holds the block proper
// (identifier first); a block shorter than REALTIME_REPORT_SIZE gives no values.
std::vector<TReportValue> DecodeRealtimeReport(const uint8_t* data, size_t size);

// What a value's display field shows: a number through its type and mask (right-aligned, the
// separator given), a list's item (nothing beyond its items). A flag has no text: empty.
std::string ReportValueText(const TReportValue& value, char decimalSeparator);

}  // namespace korvel
