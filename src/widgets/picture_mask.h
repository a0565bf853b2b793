// Display text of a numeric field from its picture mask ("###.##", "999", "iiiiii" ...).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvel {

// The number a display or entry field holds, and so what it shows.
enum class TNumericDataType {
    ndtByte,      // 0 .. 255
    ndtWord,      // 0 .. 65535
    ndtSmallInt,  // -32768 .. 32767
    ndtInteger,   // 32-bit signed
    ndtSingle,    // float
    ndtReal,      // double
};

struct TNumericTypeLimits {
    double lo;
    double hi;
    bool integral;
};
TNumericTypeLimits NumericTypeLimits(TNumericDataType type);

// A value as a field of the type holds it: whole types rounded, single precision through a float.
double ToDataType(TNumericDataType type, double value);

// Number of mask characters after the decimal point (0 when there is none).
int PictureDecimals(std::string_view mask);

// The value rounded half away from zero to the mask's decimals, right-aligned in the mask's
// width (one character per mask character), minus sign directly before the first digit, unused
// leading positions blank, the point shown as decimalSeparator.
// A value that needs more positions than the mask has is shown in full, wider than the mask:
// a field that cuts digits off would show a different number, and the log would record it.
std::string FormatPicture(double value, std::string_view mask, std::string_view decimalSeparator);
std::string FormatPicture(double value, std::string_view mask, char decimalSeparator);

// The value of an entry that fits the mask, blanks around it ignored: digits, one decimal
// separator only where the mask has a point and no more decimals than it has, a leading minus
// only where the mask allows a sign ('#' or 'i', not '9'), and no more places before the point
// than the mask has, the sign taking one. Anything else gives nothing, so a field never holds a
// value other than the one it shows.
std::optional<double> ParsePicture(std::string_view text, std::string_view mask, std::string_view decimalSeparator);

}  // namespace korvel
