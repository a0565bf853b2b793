// The version block in the standard Windows VERSIONINFO layout: a tree of nodes (length, value
// length, type, UTF-16 key, 32-bit aligned value and children) whose root carries the fixed file
// information and whose "StringFileInfo" child holds one string table per language and character
// set. On Windows the block is the executable's resource; elsewhere the build embeds the same
// bytes, so one decoder serves every platform. Pure code over bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace korvel {

enum TLanguage {
    lnArabic, lnBulgarian, lnCatalan, lnTraditionalChinese, lnCzech, lnDanish, lnGerman, lnGreek,
    lnUSEnglish, lnCastilianSpanish, lnFinnish, lnFrench, lnHebrew, lnHungarian, lnIcelandic,
    lnItalian, lnJapanese, lnKorean, lnDutch, lnNorwegianBokmal, lnPolish, lnBrazilianPortuguese,
    lnRhaetoRomanic, lnRomanian, lnRussian, lnCroatoSerbian, lnSlovak, lnAlbanian, lnSwedish,
    lnThai, lnTurkish, lnUrdu, lnBahasa, lnSimplifiedChinese, lnSwissGerman, lnUKEnglish,
    lnMexicanSpanish, lnBelgianFrench, lnSwissItalian, lnBelgianDutch, lnNorwegianNynorsk,
    lnPortuguese, lnSerboCroatian, lnCanadianFrench, lnSwissFrench
};

enum TCharacterSet {
    csASCII, csJapan, csKorea, csTaiwan, csUnicode, csLatin2, csCyrillic, csMultilingual, csGreek,
    csTurkish, csHebrew, csArabic
};

// The Windows language identifier and code page of a member.
uint16_t DecodeLanguage(TLanguage language);
uint16_t DecodeCharacterSet(TCharacterSet characterSet);

struct TVersionInfo {
    std::string Comment;
    std::string CompanyName;
    std::string FileDescription;
    std::string FileVersion;
    std::string InternalName;
    std::string LegalCopyright;
    std::string LegalTradeMarks;
    std::string OriginalFileName;
    std::string PrivateBuild;
    std::string ProductName;
    std::string ProductVersion;
    std::string SpecialBuild;
    std::string FileOS;
    std::string FileType;
    std::string FileSubType;
    bool operator==(const TVersionInfo&) const = default;
};

inline constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;

// The fixed part, without its signature and structure version.
struct TFixedFileInfo {
    uint32_t FileVersionMS = 0;
    uint32_t FileVersionLS = 0;
    uint32_t ProductVersionMS = 0;
    uint32_t ProductVersionLS = 0;
    uint32_t FileFlagsMask = 0;
    uint32_t FileFlags = 0;
    uint32_t FileOS = 0;
    uint32_t FileType = 0;
    uint32_t FileSubtype = 0;
};

// Clears every text, then fills what the block holds: the versions and the OS and type texts
// from the fixed part, the other texts from the string table of this language and character set.
// A block whose fixed part cannot be read leaves everything empty.
TVersionInfo DecodeVersionInfo(std::span<const uint8_t> block, uint16_t language, uint16_t characterSet);

std::optional<TFixedFileInfo> QueryFixedFileInfo(std::span<const uint8_t> block);

// The text at a path such as "\StringFileInfo\040904E4\CompanyName" (keys compared without case,
// as the platform does); nullopt when a node on the way is missing.
std::optional<std::string> QueryVersionString(std::span<const uint8_t> block, std::string_view path);

// ---- writing a block (the build embeds one; tests make their own) ----

struct TVersionString {
    std::string_view Name;
    std::string_view Text;  // UTF-8
};

struct TVersionBlockContent {
    bool HasFixedPart = true;
    TFixedFileInfo Fixed;
    uint16_t Language = 0x0409;
    uint16_t CharacterSet = 1252;
    std::span<const TVersionString> Strings;  // the string table; none: no StringFileInfo
};

inline constexpr size_t kMaxVersionBlock = 4096;

struct TVersionBlock {
    std::array<uint8_t, kMaxVersionBlock> Bytes{};
    size_t Size = 0;
    std::span<const uint8_t> View() const { return {Bytes.data(), Size}; }
};

namespace version_block_detail {

class Writer {
public:
    constexpr explicit Writer(TVersionBlock& out) : out_(out) {}
    constexpr size_t Pos() const { return out_.Size; }
    constexpr void Byte(uint8_t b) {
        if (out_.Size >= kMaxVersionBlock) throw std::length_error("version block too large");
        out_.Bytes[out_.Size++] = b;
    }
    constexpr void Word(uint16_t w) {
        Byte(static_cast<uint8_t>(w & 0xFF));
        Byte(static_cast<uint8_t>(w >> 8));
    }
    constexpr void DWord(uint32_t d) {
        Word(static_cast<uint16_t>(d & 0xFFFF));
        Word(static_cast<uint16_t>(d >> 16));
    }
    constexpr void Align() {
        while (out_.Size % 4 != 0) Byte(0);
    }
    constexpr void PatchWord(size_t at, uint16_t w) {
        out_.Bytes[at] = static_cast<uint8_t>(w & 0xFF);
        out_.Bytes[at + 1] = static_cast<uint8_t>(w >> 8);
    }
    // UTF-8 in, UTF-16 out with a terminating NUL; returns the code units written.
    constexpr uint16_t Text(std::string_view utf8) {
        uint16_t units = 0;
        for (size_t i = 0; i < utf8.size();) {
            const auto c = static_cast<uint8_t>(utf8[i]);
            const size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
            if (n == 0 || i + n > utf8.size()) throw std::invalid_argument("version text is not UTF-8");
            uint32_t cp = n == 1 ? c : n == 2 ? (c & 0x1Fu) : n == 3 ? (c & 0x0Fu) : (c & 0x07u);
            for (size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<uint8_t>(utf8[i + k]) & 0x3Fu);
            i += n;
            if (cp >= 0x10000) {
                cp -= 0x10000;
                Word(static_cast<uint16_t>(0xD800 + (cp >> 10)));
                Word(static_cast<uint16_t>(0xDC00 + (cp & 0x3FF)));
                units += 2;
            } else {
                Word(static_cast<uint16_t>(cp));
                ++units;
            }
        }
        Word(0);
        return static_cast<uint16_t>(units + 1);
    }
    // Opens a node; returns where its length goes, to be patched by End.
    constexpr size_t Begin(uint16_t valueLength, uint16_t type, std::string_view key) {
        Align();
        const size_t at = Pos();
        Word(0);
        Word(valueLength);
        Word(type);
        Text(key);
        Align();
        return at;
    }
    constexpr void End(size_t at) { PatchWord(at, static_cast<uint16_t>(Pos() - at)); }

private:
    TVersionBlock& out_;
};

constexpr char HexDigit(unsigned v) { return static_cast<char>(v < 10 ? '0' + v : 'A' + v - 10); }

}  // namespace version_block_detail

// The block as the platform's resource compiler lays it out: VS_VERSION_INFO with the fixed part,
// a StringFileInfo with one table, a VarFileInfo naming that table's language and character set.
constexpr TVersionBlock EncodeVersionBlock(const TVersionBlockContent& content) {
    using namespace version_block_detail;
    TVersionBlock block;
    Writer w(block);
    const size_t root = w.Begin(content.HasFixedPart ? 52 : 0, 0, "VS_VERSION_INFO");
    if (content.HasFixedPart) {
        const TFixedFileInfo& f = content.Fixed;
        for (uint32_t d : {kFixedInfoSignature, 0x00010000u, f.FileVersionMS, f.FileVersionLS, f.ProductVersionMS,
                           f.ProductVersionLS, f.FileFlagsMask, f.FileFlags, f.FileOS, f.FileType, f.FileSubtype, 0u, 0u})
            w.DWord(d);
    }
    if (!content.Strings.empty()) {
        const size_t info = w.Begin(0, 1, "StringFileInfo");
        char key[9] = {};
        const uint32_t code = (static_cast<uint32_t>(content.Language) << 16) | content.CharacterSet;
        for (int i = 0; i < 8; ++i) key[i] = HexDigit((code >> (28 - 4 * i)) & 0xF);
        const size_t table = w.Begin(0, 1, std::string_view(key, 8));
        for (const TVersionString& s : content.Strings) {
            const size_t node = w.Begin(0, 1, s.Name);
            const uint16_t units = w.Text(s.Text);
            w.PatchWord(node + 2, units);
            w.End(node);
        }
        w.End(table);
        w.End(info);
        const size_t var = w.Begin(0, 1, "VarFileInfo");
        const size_t translation = w.Begin(4, 0, "Translation");
        w.Word(content.Language);
        w.Word(content.CharacterSet);
        w.End(translation);
        w.End(var);
    }
    w.End(root);
    return block;
}

}  // namespace korvel
