// The board's parameter memory as the tool knows it: 115 words at the even byte addresses
// 0..228, each with its wire encoding, the control that holds it, that control's limits and the
// tool's default. Reports, write requests, defaults, both settings windows, the stand-in's image
// and the settings file are all built from this one table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvel {

inline constexpr size_t NVM_PARAMETER_COUNT = 115;
inline constexpr size_t NVM_REPORT_SIZE = 1 + 230;  // identifier + the image of bytes 0..229

enum class TNvmEncoding : uint8_t {
    Raw,     // the integer as it is
    Tenths,  // value x 10
    Div256,  // value x 256
};

enum class TNvmReadAs : uint8_t { Int16, UInt16, LowByte };

enum class TNvmFieldKind : uint8_t {
    UnsignedWord,   // "99999"
    SignedInteger,  // "iiiiii", "iii"
    Real,           // double, "###.#"
    RealSingle,     // single precision, "##.#"
    RadioGroup,     // the test modes: the selected item index, -1 for none
};

enum class TNvmWindow : uint8_t { SettingsTab, AdvancedSettings };

struct TNvmParameter {
    uint16_t Address;
    // Component name; a field inside a frame is "Frame.Field" (e.g. "StooklijnRL.XMin").
    std::string_view Control;
    std::string_view Caption;  // the label beside the control, or the caption of its grid row
    std::string_view Column;   // the heading over it in a grid; empty outside the grids
    std::string_view Group;    // the group box it sits in, which tells equal captions apart
    TNvmEncoding Encoding;
    TNvmReadAs ReadAs;
    TNvmFieldKind Kind;
    std::string_view Mask;  // empty for the radio group
    double Min;
    double Max;
    bool HasDefault;
    double Default;
    TNvmWindow Window;
    bool Hidden;    // exists and takes part in every transfer, but is never shown
    bool ReadOnly;  // filled by reports and defaults, not by typing
};

// Address order, which is also the order in which a write walks them.
std::span<const TNvmParameter> NvmParameters();
const TNvmParameter* FindNvmParameter(std::string_view control);

// "Caption", "Caption XMin" in a grid, "Caption (Group)" where the caption alone is ambiguous:
// how the engineer recognises a parameter in messages and files.
std::string NvmDisplayName(const TNvmParameter& p);

// The items of the test-mode group, index = the word at address 224.
std::span<const std::string_view> TestModeItems();

// The word at an even address of an image of NVM bytes 0..229, little-endian.
uint16_t NvmWordAt(std::span<const uint8_t> image, uint16_t address);

// The value a control shows for a word: read as the row says, scaled down, test mode clamped
// to the group's items (below -1 selects nothing, above the last selects the last).
double DecodeNvmWord(const TNvmParameter& p, uint16_t word);

// Every row's value from a parameter report (38 or 39), identifier first. A block too short to
// hold the whole image gives nothing: reading past its end would take bytes of other blocks.
std::optional<std::vector<double>> DecodeNvmReport(std::span<const uint8_t> block);

// The integer a write sends for a control's value: raw as it is, the double fields and the
// 1/256 field scaled and truncated toward zero, the single-precision fields scaled to the tenth
// they show (their binary value lies just below many decimals, and truncation would send one
// tenth less than the engineer sees).
int64_t ScaleNvmValue(const TNvmParameter& p, double value);

// The word the board receives for a scaled value: its low 16 bits, two's complement.
constexpr uint16_t NvmWordOf(int64_t scaled) { return static_cast<uint16_t>(static_cast<uint64_t>(scaled) & 0xFFFF); }

// The write request 165: address and value, each as its low 16 bits, low byte first.
std::array<uint8_t, 5> EncodeNvmWrite(int64_t address, int64_t value);

// The image a board holds after the tool's defaults were written to it; rows without a default
// are 0.
std::vector<uint8_t> DefaultNvmImage();

// One word per row, in the table's order: what the board holds and what a write sends.
using TNvmWords = std::array<uint16_t, NVM_PARAMETER_COUNT>;

// The words a write sends for the values of the controls (one per row; std::invalid_argument
// otherwise).
TNvmWords NvmWordsOf(std::span<const double> values);
// The values the controls show for words.
std::vector<double> NvmValuesOf(const TNvmWords& words);
// The words of a parameter report (38) or the store's answer (39), identifier first; nothing for
// a block too short to hold the whole image.
std::optional<TNvmWords> NvmWordsOfReport(std::span<const uint8_t> block);
// The tool's defaults; rows without one keep the word given.
TNvmWords NvmDefaultWords(const TNvmWords& keep);

}  // namespace korvel
