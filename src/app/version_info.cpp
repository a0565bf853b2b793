#include "app/version_info.h"

#include <algorithm>

#include "host/utf8.h"

namespace korvel {

namespace {

constexpr uint16_t kLanguageCodes[] = {
    0x0401, 0x0402, 0x0403, 0x0404, 0x0405, 0x0406, 0x0407, 0x0408, 0x0409, 0x040A, 0x040B, 0x040C,
    0x040D, 0x040E, 0x040F, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418,
    0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421,
    0x0804, 0x0807, 0x0809, 0x080A, 0x080C, 0x0810, 0x0813, 0x0814, 0x0816, 0x081A, 0x0C0C, 0x100C,
};
static_assert(std::size(kLanguageCodes) == lnSwissFrench + 1);

constexpr uint16_t kCharacterSetCodes[] = {0, 932, 949, 950, 1200, 1250, 1251, 1252, 1253, 1254, 1255, 1256};
static_assert(std::size(kCharacterSetCodes) == csArabic + 1);

struct TCodeText {
    uint32_t Code;
    const char* Text;
};

constexpr TCodeText kFileOS[] = {
    {0x1, "Windows 3.0 or later"},
    {0x2, "16 bit OS/2 Presentation Manager"},
    {0x3, "32 bit OS/2 Presentation Manager"},
    {0x4, "32 bit Windows"},
    {0x10000, "MS-Dos"},
    {0x10001, "Windows 3.0 or later with MS-Dos"},
    {0x10004, "32 bit Windows with MS-Dos"},
    {0x20000, "16 bit OS/2"},
    {0x20002, "16 bit OS/2 with Presentation Manager"},
    {0x30000, "32 bit OS/2"},
    {0x30003, "32 bit OS/2 with Presentation Manager"},
    {0x40000, "Windows NT"},
    {0x40004, "Windows NT with 32 bit Windows"},
};

constexpr TCodeText kFileType[] = {
    {1, "Application"}, {2, "Dynamic-Link Library"}, {3, "Device Driver"},
    {4, "Font"},        {5, "Virtual Device Driver"}, {7, "Static-Link Library"},
};

constexpr TCodeText kDriverSubtype[] = {
    {1, "Printer"}, {2, "Keyboard"}, {3, "Language"}, {4, "Display"},     {5, "Mouse"},
    {6, "Network"}, {7, "System"},   {8, "Installable"}, {9, "Sound"}, {10, "Communications"},
};

constexpr TCodeText kFontSubtype[] = {{1, "Raster"}, {2, "Vector"}, {3, "TrueType"}};

template <size_t N>
std::string TextOf(const TCodeText (&table)[N], uint32_t code) {
    for (const TCodeText& entry : table)
        if (entry.Code == code) return entry.Text;
    return "Unknown";
}

uint16_t Word(std::span<const uint8_t> b, size_t at) {
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

uint32_t DWord(std::span<const uint8_t> b, size_t at) {
    return static_cast<uint32_t>(Word(b, at)) | (static_cast<uint32_t>(Word(b, at + 2)) << 16);
}

constexpr size_t Align4(size_t at) { return (at + 3) & ~size_t{3}; }

// One node of the tree, as offsets into the block.
struct TNode {
    size_t End = 0;  // one past its last byte
    uint16_t Type = 0;
    size_t KeyBegin = 0;
    size_t KeyUnits = 0;  // without the NUL
    size_t ValueBegin = 0;
    size_t ValueEnd = 0;
    size_t ChildrenBegin = 0;
};

// Nothing outside [at, limit) is read; a node that does not fit is no node.
std::optional<TNode> ParseNode(std::span<const uint8_t> b, size_t at, size_t limit) {
    if (at + 6 > limit) return std::nullopt;
    const size_t length = Word(b, at);
    if (length < 6 || length > limit - at) return std::nullopt;
    TNode node;
    node.End = at + length;
    const uint16_t valueLength = Word(b, at + 2);
    node.Type = Word(b, at + 4);
    node.KeyBegin = at + 6;
    size_t p = node.KeyBegin;
    while (p + 2 <= node.End && Word(b, p) != 0) p += 2;
    if (p + 2 > node.End) return std::nullopt;  // key without its NUL
    node.KeyUnits = (p - node.KeyBegin) / 2;
    node.ValueBegin = std::min(Align4(p + 2), node.End);
    // Text values count UTF-16 units, binary ones bytes.
    const size_t valueBytes = node.Type == 1 ? size_t{valueLength} * 2 : valueLength;
    node.ValueEnd = std::min(node.ValueBegin + valueBytes, node.End);
    node.ChildrenBegin = std::min(Align4(node.ValueBegin + valueBytes), node.End);
    return node;
}

bool KeyIs(std::span<const uint8_t> b, const TNode& node, std::string_view key) {
    if (node.KeyUnits != key.size()) return false;
    const auto lower = [](uint16_t c) { return c >= 'A' && c <= 'Z' ? static_cast<uint16_t>(c + 32) : c; };
    for (size_t i = 0; i < key.size(); ++i)
        if (lower(Word(b, node.KeyBegin + 2 * i)) != lower(static_cast<uint8_t>(key[i]))) return false;
    return true;
}

std::optional<TNode> FindChild(std::span<const uint8_t> b, const TNode& parent, std::string_view key) {
    size_t at = parent.ChildrenBegin;
    while (auto child = ParseNode(b, at, parent.End)) {
        if (KeyIs(b, *child, key)) return child;
        at = Align4(child->End);
    }
    return std::nullopt;
}

// The node at a backslash-separated path; "\" is the root.
std::optional<TNode> FindNode(std::span<const uint8_t> b, std::string_view path) {
    auto node = ParseNode(b, 0, b.size());
    while (node && !path.empty()) {
        while (!path.empty() && path.front() == '\\') path.remove_prefix(1);
        if (path.empty()) break;
        const size_t end = std::min(path.find('\\'), path.size());
        node = FindChild(b, *node, path.substr(0, end));
        path.remove_prefix(end);
    }
    return node;
}

// UTF-16 up to the first NUL or the end; a lone surrogate becomes U+FFFD.
std::string Utf16Text(std::span<const uint8_t> b, size_t begin, size_t end) {
    std::string out;
    for (size_t p = begin; p + 2 <= end; p += 2) {
        uint32_t c = Word(b, p);
        if (c == 0) break;
        if (c >= 0xD800 && c <= 0xDBFF && p + 4 <= end) {
            const uint32_t low = Word(b, p + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                p += 2;
            }
        }
        AppendUtf8(out, c >= 0xD800 && c <= 0xDFFF ? 0xFFFD : c);
    }
    return out;
}

std::string VersionText(uint32_t ms, uint32_t ls) {
    return std::to_string(ms >> 16) + '.' + std::to_string(ms & 0xFFFF) + '.' + std::to_string(ls >> 16) + '.' +
           std::to_string(ls & 0xFFFF);
}

}  // namespace

uint16_t DecodeLanguage(TLanguage language) { return kLanguageCodes[language]; }

uint16_t DecodeCharacterSet(TCharacterSet characterSet) { return kCharacterSetCodes[characterSet]; }

std::optional<TFixedFileInfo> QueryFixedFileInfo(std::span<const uint8_t> block) {
    const auto root = FindNode(block, "\\");
    if (!root || root->ValueEnd - root->ValueBegin < 52) return std::nullopt;
    const size_t v = root->ValueBegin;
    if (DWord(block, v) != kFixedInfoSignature) return std::nullopt;
    TFixedFileInfo f;
    f.FileVersionMS = DWord(block, v + 8);
    f.FileVersionLS = DWord(block, v + 12);
    f.ProductVersionMS = DWord(block, v + 16);
    f.ProductVersionLS = DWord(block, v + 20);
    f.FileFlagsMask = DWord(block, v + 24);
    f.FileFlags = DWord(block, v + 28);
    f.FileOS = DWord(block, v + 32);
    f.FileType = DWord(block, v + 36);
    f.FileSubtype = DWord(block, v + 40);
    return f;
}

std::optional<std::string> QueryVersionString(std::span<const uint8_t> block, std::string_view path) {
    const auto node = FindNode(block, path);
    if (!node) return std::nullopt;
    return Utf16Text(block, node->ValueBegin, node->ValueEnd);
}

TVersionInfo DecodeVersionInfo(std::span<const uint8_t> block, uint16_t language, uint16_t characterSet) {
    TVersionInfo info;
    const auto fixed = QueryFixedFileInfo(block);
    if (!fixed) return info;
    info.FileVersion = VersionText(fixed->FileVersionMS, fixed->FileVersionLS);
    info.ProductVersion = VersionText(fixed->ProductVersionMS, fixed->ProductVersionLS);
    info.FileOS = TextOf(kFileOS, fixed->FileOS);
    info.FileType = TextOf(kFileType, fixed->FileType);
    if (fixed->FileType == 3) info.FileSubType = TextOf(kDriverSubtype, fixed->FileSubtype);
    if (fixed->FileType == 4) info.FileSubType = TextOf(kFontSubtype, fixed->FileSubtype);

    std::string prefix = "\\StringFileInfo\\";
    const uint32_t code = (static_cast<uint32_t>(language) << 16) | characterSet;
    for (int shift = 28; shift >= 0; shift -= 4) prefix += version_block_detail::HexDigit((code >> shift) & 0xF);
    prefix += '\\';
    const std::pair<const char*, std::string TVersionInfo::*> names[] = {
        {"Comments", &TVersionInfo::Comment},
        {"CompanyName", &TVersionInfo::CompanyName},
        {"FileDescription", &TVersionInfo::FileDescription},
        {"InternalName", &TVersionInfo::InternalName},
        {"LegalCopyright", &TVersionInfo::LegalCopyright},
        {"LegalTradeMarks", &TVersionInfo::LegalTradeMarks},
        {"OriginalFileName", &TVersionInfo::OriginalFileName},
        {"PrivateBuild", &TVersionInfo::PrivateBuild},
        {"ProductName", &TVersionInfo::ProductName},
        {"ProductVersion", &TVersionInfo::ProductVersion},
        {"SpecialBuild", &TVersionInfo::SpecialBuild},
    };
    for (const auto& [name, field] : names)
        if (auto text = QueryVersionString(block, prefix + name)) info.*field = std::move(*text);
    return info;
}

}  // namespace korvel
