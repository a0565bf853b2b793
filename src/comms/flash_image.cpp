#include "comms/flash_image.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <system_error>

namespace korvel {

namespace {

// The loader sends this range; a file with no data there would erase the board's program.
constexpr uint32_t kLoaderFirst = 0x8800;

// A 64 KiB image as S1 records with one data byte each is under 1 MiB of text; anything far
// larger is not a firmware file and must not be pulled into memory whole.
constexpr size_t kMaxFileSize = 16u * 1024 * 1024;

constexpr int kEndMark = -1;

uint8_t HexValue(int c) { return static_cast<uint8_t>(c <= '9' ? c - '0' : c - 'A' + 10); }

bool Significant(uint8_t c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || c == 'S'; }

// Inside a record only these may stand between digits: records split over lines need them.
bool Blank(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

TFlashImage::TFlashImage() = default;

uint8_t TFlashImage::GetMemory(uint32_t Index) const { return Index > MAXRAM ? 0xFF : FMap[Index]; }

void TFlashImage::SetMemory(uint32_t Index, uint8_t Value) {
    if (Index <= MAXRAM) FMap[Index] = Value;
}

void TFlashImage::Reset() {
    FMap.fill(0xFF);
    FMinUsedAddress = 0xFFFF;
    FMaxUsedAddress = 0;
    FMapError = false;
}

void TFlashImage::ReadHexFile(const std::string& FileName) {
    Reset();  // a file that cannot be read leaves no old image behind

    const auto fail = [&](const char* what) {
        throw std::system_error(errno, std::generic_category(),
                                std::string(what) + " firmware file \"" + FileName + "\"");
    };
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(FileName.c_str(), "rb"));
    if (!f) fail("Cannot open");
    std::string text;
    constexpr size_t kSlice = 65536;
    for (;;) {
        const size_t had = text.size();
        text.resize(had + kSlice);
        const size_t n = std::fread(text.data() + had, 1, kSlice, f.get());
        text.resize(had + n);
        if (text.size() > kMaxFileSize)
            throw std::runtime_error("Firmware file \"" + FileName + "\" is too large (over " +
                                     std::to_string(kMaxFileSize / (1024 * 1024)) + " MiB).");
        if (n < kSlice) break;
    }
    if (std::ferror(f.get())) fail("Cannot read");
    try {
        ReadHexText(text);
    } catch (const std::runtime_error& e) {
        throw std::runtime_error("Firmware file \"" + FileName + "\": " + e.what());
    }
}

void TFlashImage::ReadHexText(const std::string& Text) {
    Reset();

    const std::string_view t(Text);
    size_t pos = 0;
    size_t line = 1;  // for the error message only
    bool File_End = false;
    bool Done = false;
    bool inLoaderRange = false;

    // Next significant character, or kEndMark. Strict: the caller stands at a digit position of
    // a record, where anything but blanks and line breaks would shift the digits.
    const auto NextChar = [&](bool strict) -> int {
        while (pos < t.size()) {
            const auto c = static_cast<uint8_t>(t[pos]);
            if (c == 0x1A) return kEndMark;  // stays put: every later call sees the end too
            ++pos;
            if (Significant(c)) return pos == t.size() ? kEndMark : c;
            if (c == '\n') ++line;
            if (strict && !Blank(c)) FMapError = true;
        }
        return kEndMark;
    };

    const auto FileChar = [&](bool strict) -> int {
        const int c = NextChar(strict);
        File_End = c == kEndMark;
        return c;
    };

    // Digit positions of a data record: meeting S or the end means the record is short.
    const auto FileNibble = [&]() -> uint8_t {
        const int c = FileChar(true);
        if (c == kEndMark) {
            FMapError = true;
            return 0;
        }
        if (c == 'S') {
            FMapError = true;
            File_End = true;
            return 0;
        }
        return HexValue(c);
    };

    const auto FileByte = [&]() -> uint8_t {
        const uint8_t hi = FileNibble();
        if (File_End) return 0;
        return static_cast<uint8_t>(hi * 16 + FileNibble());
    };

    const auto FileAddress = [&]() -> uint32_t {
        const uint8_t hi = FileByte();
        if (File_End) return 0;
        return hi * 256u + FileByte();
    };

    // Digits left over after a data record's check byte mean the record was longer than its
    // count said, and the bytes it carried beyond that would never reach the board.
    bool recordTail = false;

    const auto Header = [&]() -> int {
        for (;;) {
            const int c = FileChar(false);
            if (c == kEndMark) return c;
            if (c == 'S') break;
            if (recordTail) FMapError = true;
        }
        recordTail = false;
        const int type = FileChar(true);
        if (type == 'S') FMapError = true;  // the S of the next record would be lost as a type
        return type;
    };

    // The check byte stays out of File_End's way: a record that lacks it is flagged, and the
    // next Header still finds the following record where the plain reader would.
    const auto CheckByte = [&](uint8_t sum) {
        uint8_t check = 0;
        for (int i = 0; i < 2; ++i) {
            const size_t at = pos;
            const size_t atLine = line;
            const int c = NextChar(true);
            if (c == kEndMark || c == 'S') {
                FMapError = true;
                pos = at;
                line = atLine;
                return;
            }
            check = static_cast<uint8_t>(check * 16 + HexValue(c));
        }
        if (static_cast<uint8_t>(~sum) != check) FMapError = true;
        recordTail = true;
    };

    const auto storeline = [&]() {
        const uint8_t bytecnt = FileByte();
        if (File_End) return;
        if (bytecnt < 2) {
            // No room for an address; the plain reader stops here and drops the rest of the file.
            FMapError = true;
            File_End = true;
            return;
        }
        uint32_t address = FileAddress();
        if (File_End) return;
        uint8_t sum = static_cast<uint8_t>(bytecnt + (address >> 8) + (address & 0xFF));
        if (bytecnt == 2) {
            FMapError = true;  // an address and no check byte: not a record
            return;
        }
        for (int n = bytecnt - 3; n > 0; --n) {
            const uint8_t data = FileByte();
            if (File_End) return;  // cut short: store no invented zeros
            if (address > MAXRAM)
                throw std::runtime_error("The data record at line " + std::to_string(line) +
                                         " runs past address 0xFFFF.");
            FMap[address] = data;
            if (address >= FMaxUsedAddress) FMaxUsedAddress = address;
            if (address < FMinUsedAddress) FMinUsedAddress = address;
            if (address >= kLoaderFirst) inLoaderRange = true;
            sum = static_cast<uint8_t>(sum + data);
            ++address;
        }
        CheckByte(sum);
    };

    do {
        const int type = Header();
        if (type == '1')
            storeline();
        else if (type == '9')
            Done = true;
    } while (!File_End && !Done);

    if (!inLoaderRange) FMapError = true;
}

}  // namespace korvel
