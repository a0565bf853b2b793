// Firmware files are typed by hand and copied around: whatever text comes in, the reader must not
// crash, may only fail with the one error it documents, and an image it accepts must hold
// nothing but what the file stored.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

#include "comms/flash_image.h"

using namespace korvel;

namespace {

// Returns false when the read failed with its documented error.
bool Read(TFlashImage& img, const std::string& text) {
    try {
        img.ReadHexText(text);
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    auto img = std::make_unique<TFlashImage>();
    if (!Read(*img, text)) return 0;

    // Nothing outside the stored range; an accepted file has something for the loader.
    const auto& map = img->Map();
    const auto erased = [](uint8_t b) { return b == 0xFF; };
    if (img->FirstUsedAddress() <= img->LastUsedAddress()) {
        if (!std::all_of(map.begin(), map.begin() + img->FirstUsedAddress(), erased) ||
            !std::all_of(map.begin() + img->LastUsedAddress() + 1, map.end(), erased))
            std::abort();
    } else if (!std::all_of(map.begin(), map.end(), erased)) {
        std::abort();
    }
    if (!img->MapError() && (img->LastUsedAddress() < 0x8800 || img->FirstUsedAddress() > img->LastUsedAddress()))
        std::abort();

    // Line breaks are blanks: CR LF line ends read the same as LF.
    std::string crlf;
    for (char c : text) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    auto again = std::make_unique<TFlashImage>();
    if (!Read(*again, crlf)) std::abort();
    if (again->MapError() != img->MapError()) std::abort();
    if (std::memcmp(again->Map().data(), map.data(), map.size()) != 0) std::abort();
    return 0;
}
