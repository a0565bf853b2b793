#include "widgets/picture_mask.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace korvel {

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

}  // namespace korvel
