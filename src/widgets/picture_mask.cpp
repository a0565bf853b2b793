#include "widgets/picture_mask.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <charconv>
#include <limits>

namespace korvel {

TNumericTypeLimits NumericTypeLimits(TNumericDataType type) {
    switch (type) {
        case TNumericDataType::ndtByte: return {0, 255, true};
        case TNumericDataType::ndtWord: return {0, 65535, true};
        case TNumericDataType::ndtSmallInt: return {-32768, 32767, true};
        case TNumericDataType::ndtInteger: return {-2147483648.0, 2147483647.0, true};
        case TNumericDataType::ndtSingle:
            return {-double(std::numeric_limits<float>::max()), double(std::numeric_limits<float>::max()), false};
        case TNumericDataType::ndtReal: break;
    }
    return {-std::numeric_limits<double>::max(), std::numeric_limits<double>::max(), false};
}

double ToDataType(TNumericDataType type, double value) {
    if (!std::isfinite(value)) return value;
    if (NumericTypeLimits(type).integral) return std::round(value);
    if (type == TNumericDataType::ndtSingle) return static_cast<double>(static_cast<float>(value));
    return value;
}

int PictureDecimals(std::string_view mask) {
    const auto point = mask.find('.');
    if (point == std::string_view::npos) return 0;
    return static_cast<int>(mask.size() - point - 1);
}

namespace {

// Digits of |value| with a '.' before the last `decimals` of them, or empty when the value does
// not fit the exact integer path.
std::string ExactDigits(double value, int decimals, bool& negative) {
    double scaled = std::fabs(value);
    for (int i = 0; i < decimals; ++i) scaled *= 10.0;
    // Beyond 2^53 a double no longer holds every integer; leave those to printf.
    if (!(scaled < 9007199254740992.0)) return {};
    const auto units = static_cast<uint64_t>(std::llround(scaled));
    negative = value < 0 && units != 0;  // -0.001 rounded to "0.00" shows no sign
    std::string digits = std::to_string(units);
    if (decimals > 0) {
        if (digits.size() <= static_cast<size_t>(decimals))
            digits.insert(0, static_cast<size_t>(decimals) + 1 - digits.size(), '0');
        digits.insert(digits.size() - static_cast<size_t>(decimals), 1, '.');
    }
    return digits;
}

}  // namespace

std::string FormatPicture(double value, std::string_view mask, std::string_view decimalSeparator) {
    const int decimals = PictureDecimals(mask);
    std::string body;
    if (std::isfinite(value)) {
        bool negative = false;
        body = ExactDigits(value, decimals, negative);
        if (body.empty()) {
            char buf[400];
            std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
            body = buf;
        } else if (negative) {
            body.insert(0, 1, '-');
        }
    } else {
        body = std::isnan(value) ? "NaN" : (value < 0 ? "-INF" : "INF");
    }

    // Pad while the point is still one character, so a multi-byte separator keeps the width.
    if (body.size() < mask.size()) body.insert(0, mask.size() - body.size(), ' ');
    const auto point = body.find('.');
    if (point != std::string::npos) body.replace(point, 1, decimalSeparator);
    return body;
}

std::string FormatPicture(double value, std::string_view mask, char decimalSeparator) {
    return FormatPicture(value, mask, std::string_view(&decimalSeparator, 1));
}

std::optional<double> ParsePicture(std::string_view text, std::string_view mask, std::string_view decimalSeparator) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    const auto maskPoint = mask.find('.');
    const size_t maskWhole = maskPoint == std::string_view::npos ? mask.size() : maskPoint;
    const bool signAllowed = mask.find_first_of("#i") != std::string_view::npos;

    std::string plain;  // the entry with a '.' for its separator
    bool negative = false;
    if (!text.empty() && text.front() == '-') {
        if (!signAllowed) return std::nullopt;
        negative = true;
        text.remove_prefix(1);
        plain += '-';
    }
    size_t whole = 0;
    while (whole < text.size() && text[whole] >= '0' && text[whole] <= '9') ++whole;
    plain.append(text.substr(0, whole));
    text.remove_prefix(whole);
    size_t decimals = 0;
    if (!text.empty()) {
        if (maskPoint == std::string_view::npos || decimalSeparator.empty() || !text.starts_with(decimalSeparator))
            return std::nullopt;
        text.remove_prefix(decimalSeparator.size());
        while (decimals < text.size() && text[decimals] >= '0' && text[decimals] <= '9') ++decimals;
        if (decimals != text.size()) return std::nullopt;
        plain += '.';
        plain.append(text);
    }
    if (whole + decimals == 0) return std::nullopt;
    if (whole + (negative ? 1 : 0) > maskWhole) return std::nullopt;
    if (decimals > static_cast<size_t>(PictureDecimals(mask))) return std::nullopt;
    // from_chars, not strtod: the program's C locale may use a comma.
    double value = 0;
    std::from_chars(plain.data(), plain.data() + plain.size(), value);
    return value;
}

}  // namespace korvel
