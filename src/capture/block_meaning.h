// What a block means, one line and field by field: the one reading of every identifier shared by
// the traffic window, the command line and the Wireshark dissector, which is generated from the
// field lists below and the decoding tables they point into.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvel {

enum class TMeaningKind : uint8_t {
    Number,   // a scaled value
    List,     // an item index of a list (the operating state, the outdoor unit's mode)
    Flag,     // 0 or 1
    Integer,  // a whole number as it travels (address, word, serial number)
    Text,
};

struct TMeaningField {
    std::string Key;    // its name below "korvel." in Wireshark, e.g. "rt.ntc_1"
    std::string Label;  // as the engineer knows it: the log's column, the parameter's caption
    TMeaningKind Kind;
    std::string_view Source;  // the display field or control it comes from; empty for the others
};

// The real-time report's fields (16), in the order the report is decoded: under their log column
// names where the log has one, else under their display field's name.
std::span<const TMeaningField> ReportMeaningFields();
// The parameters of a parameter report (38, 39), in address order.
std::span<const TMeaningField> NvmMeaningFields();
// The write request (165): address, parameter, word, value; and the serial number answer (33).
std::span<const TMeaningField> SetNvmMeaningFields();
std::span<const TMeaningField> SerialMeaningFields();

struct TBlockValue {
    const TMeaningField* Field;
    double Number = 0;  // Number, List, Flag, Integer
    std::string Text;   // as the tool shows it
};

struct TBlockMeaning {
    uint8_t Id = 0;
    std::string Name;     // the catalogue's name, or its constant where it names none
    std::string Summary;  // one line
    std::vector<TBlockValue> Values;
};

// The catalogue's name text of an identifier without its edge blanks; the constant where it has
// no text; "Message ID not recognised" outside the catalogue.
std::string BlockName(uint8_t id);

// block: identifier first, without the check bytes; may be empty or short.
TBlockMeaning DescribeBlock(std::span<const uint8_t> block, char decimalSeparator);

// A name for Wireshark's filters: lower case letters, digits and single underscores.
std::string MeaningKey(std::string_view text);

}  // namespace korvel
