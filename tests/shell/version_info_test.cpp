#include "app/version_info.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "app/elf_section.h"
#include "korvel_version.h"
#include "app/version_resource.h"

namespace korvel {
namespace {

// The tool's block as the Windows resource compiler makes it from korvel-service.rc:
//   x86_64-w64-mingw32-windres -I build/generated -O res src/app/korvel-service.rc -o k.res
// (the Linux build's header: no ".exe" in the original file name), with the .res file's headers
// taken off. elf_with_block.o is a small object file carrying the
// same bytes in its "korvel_version" section (objcopy --add-section).
const std::string kCorpus = KORVEL_TEST_DATA "/../../fuzz/corpus/version_info/";

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// The texts of korvel-service.rc, in its order, as the Linux build has them (a Windows build's
// original file name ends in ".exe").
constexpr TVersionString kToolStrings[] = {
    {"CompanyName", KORVEL_COMPANY_NAME},       {"FileDescription", KORVEL_FILE_DESCRIPTION},
    {"FileVersion", KORVEL_FILE_VERSION_TEXT},  {"InternalName", KORVEL_INTERNAL_NAME},
    {"LegalCopyright", KORVEL_LEGAL_COPYRIGHT}, {"OriginalFilename", "korvel-service"},
    {"ProductName", KORVEL_PRODUCT_NAME},       {"ProductVersion", KORVEL_PRODUCT_VERSION_TEXT},
    {"Comments", KORVEL_COMMENTS},
};

TVersionBlockContent ToolContent() {
    TVersionBlockContent content;
    content.Fixed = {.FileVersionMS = 0x00100006, .FileVersionLS = 0, .ProductVersionMS = 0x00050000,
                  .ProductVersionLS = 0, .FileFlagsMask = 0x3F, .FileOS = 0x40004, .FileType = 1};
    content.Language = 0x0413;
    content.CharacterSet = 1252;
    content.Strings = kToolStrings;
    return content;
}

TEST(VersionBlock, EncoderLaysOutTheBlockByteForByteAsTheResourceCompiler) {
    const auto windres = ReadFile(kCorpus + "windres_korvel.bin");
    ASSERT_FALSE(windres.empty());
    const TVersionBlock block = EncodeVersionBlock(ToolContent());
    EXPECT_EQ(std::vector<uint8_t>(block.View().begin(), block.View().end()), windres);
}

TEST(VersionBlock, ToolBlockInDutchGivesEveryText) {
    TVersionInfo expected;
    expected.Comment = "For firmware V163";
    expected.CompanyName = "Ventrabo";
    expected.FileDescription = "KORVEL service tool for TOSHIBA unit";
    expected.FileVersion = "16.6.0.0";
    expected.InternalName = "Korvel Service Tool";
    expected.LegalCopyright = KORVEL_LEGAL_COPYRIGHT;
    expected.OriginalFileName = "korvel-service";
    expected.ProductName = KORVEL_PRODUCT_NAME;
    expected.ProductVersion = "5.0.0.0";
    expected.FileOS = "Windows NT with 32 bit Windows";
    expected.FileType = "Application";
    EXPECT_EQ(DecodeVersionInfo(ReadFile(kCorpus + "windres_korvel.bin"), 0x0413, 1252), expected);
}

TEST(VersionBlock, StringTableUnderAnotherLanguageLeavesTheTextsButNotTheVersion) {
    const auto windres = ReadFile(kCorpus + "windres_korvel.bin");
    TVersionInfo expected;
    expected.FileVersion = "16.6.0.0";
    expected.ProductVersion = "5.0.0.0";
    expected.FileOS = "Windows NT with 32 bit Windows";
    expected.FileType = "Application";
    EXPECT_EQ(DecodeVersionInfo(windres, 0x0409, 1252), expected);  // the reader's default pair
    EXPECT_EQ(DecodeVersionInfo(windres, 0x0413, 1200), expected);  // right language, other set
    // Key lookup ignores case, as the platform's does ("041304e4", "originalfilename").
    EXPECT_EQ(QueryVersionString(windres, "\\stringfileinfo\\041304e4\\originalfilename"), "korvel-service");
}

TEST(VersionBlock, ProductVersionTextOverridesTheFixedPart) {
    constexpr TVersionString strings[] = {{"ProductVersion", "5.0 beta"}, {"FileVersion", "99.9"}};
    TVersionBlockContent content = ToolContent();
    content.Strings = strings;
    const TVersionInfo info = DecodeVersionInfo(EncodeVersionBlock(content).View(), 0x0413, 1252);
    EXPECT_EQ(info.ProductVersion, "5.0 beta");
    EXPECT_EQ(info.FileVersion, "16.6.0.0");  // never from the string table
}

TEST(VersionBlock, FixedPartTexts) {
    struct Row {
        uint32_t ms, ls, os, type, subtype;
        const char *version, *osText, *typeText, *subtypeText;
    };
    const Row rows[] = {
        {0x00100006, 0x00000000, 0x40004, 1, 0, "16.6.0.0", "Windows NT with 32 bit Windows", "Application", ""},
        {0xFFFF0000, 0x0001000A, 0x4, 2, 5, "65535.0.1.10", "32 bit Windows", "Dynamic-Link Library", ""},
        {0, 0, 0x10001, 3, 10, "0.0.0.0", "Windows 3.0 or later with MS-Dos", "Device Driver", "Communications"},
        {0, 0, 0x30003, 3, 11, "0.0.0.0", "32 bit OS/2 with Presentation Manager", "Device Driver", "Unknown"},
        {0, 0, 0x40000, 4, 3, "0.0.0.0", "Windows NT", "Font", "TrueType"},
        {0, 0, 0x5, 6, 1, "0.0.0.0", "Unknown", "Unknown", ""},
        {0, 0, 0, 7, 0, "0.0.0.0", "Unknown", "Static-Link Library", ""},
    };
    for (const Row& r : rows) {
        TVersionBlockContent content;
        content.Fixed = {.FileVersionMS = r.ms, .FileVersionLS = r.ls, .FileOS = r.os, .FileType = r.type,
                      .FileSubtype = r.subtype};
        const TVersionInfo info = DecodeVersionInfo(EncodeVersionBlock(content).View(), 0x0409, 1252);
        EXPECT_EQ(info.FileVersion, r.version);
        EXPECT_EQ(info.FileOS, r.osText) << r.os;
        EXPECT_EQ(info.FileType, r.typeText) << r.type;
        EXPECT_EQ(info.FileSubType, r.subtypeText) << r.type << "/" << r.subtype;
    }
}

TEST(VersionBlock, UnreadableFixedPartGivesNoTextsAtAll) {
    const auto good = ReadFile(kCorpus + "windres_korvel.bin");
    auto badSignature = good;
    badSignature[40] ^= 0xFF;  // the fixed part starts at 40, after the key and its padding
    auto shortValue = good;
    shortValue[2] = 20;  // value length of the root: fewer bytes than the fixed part has
    auto overlong = good;
    overlong[1] = 0x7F;  // root longer than the block
    TVersionBlockContent noFixed = ToolContent();
    noFixed.HasFixedPart = false;
    const std::vector<std::vector<uint8_t>> blocks = {
        {}, {0x06, 0x00, 0x00, 0x00, 0x00, 0x00}, badSignature, shortValue, overlong,
        std::vector<uint8_t>(good.begin(), good.begin() + 60),
        [&] {
            const TVersionBlock block = EncodeVersionBlock(noFixed);
            return std::vector<uint8_t>(block.View().begin(), block.View().end());
        }(),
    };
    for (const auto& block : blocks) EXPECT_EQ(DecodeVersionInfo(block, 0x0413, 1252), TVersionInfo{}) << block.size();
}

TEST(VersionBlock, TextsOutsideAsciiRoundTrip) {
    constexpr TVersionString strings[] = {{"LegalCopyright", "\xC2\xA9 Ventrabo \xF0\x9F\x94\xA5"}};
    TVersionBlockContent content = ToolContent();
    content.Strings = strings;
    EXPECT_EQ(DecodeVersionInfo(EncodeVersionBlock(content).View(), 0x0413, 1252).LegalCopyright,
              "\xC2\xA9 Ventrabo \xF0\x9F\x94\xA5");
}

TEST(VersionBlock, LanguageAndCharacterSetCodes) {
    const std::pair<TLanguage, uint16_t> languages[] = {
        {lnArabic, 0x0401},         {lnUSEnglish, 0x0409},  {lnDutch, 0x0413},       {lnBahasa, 0x0421},
        {lnSimplifiedChinese, 0x0804}, {lnBelgianDutch, 0x0813}, {lnCanadianFrench, 0x0C0C}, {lnSwissFrench, 0x100C},
    };
    for (const auto& [language, code] : languages) EXPECT_EQ(DecodeLanguage(language), code) << language;
    const std::pair<TCharacterSet, uint16_t> sets[] = {
        {csASCII, 0}, {csJapan, 932}, {csUnicode, 1200}, {csMultilingual, 1252}, {csArabic, 1256}};
    for (const auto& [set, code] : sets) EXPECT_EQ(DecodeCharacterSet(set), code) << set;
}

TEST(ElfSection, FindsTheNamedSectionOnly) {
    const auto object = ReadFile(kCorpus + "elf_with_block.o");
    const auto windres = ReadFile(kCorpus + "windres_korvel.bin");
    std::istringstream file(std::string(object.begin(), object.end()));
    EXPECT_EQ(ReadElfSection(file, "korvel_version", 0xFFFF), windres);
    EXPECT_TRUE(ReadElfSection(file, "korvel_versio", 0xFFFF).empty());
    EXPECT_TRUE(ReadElfSection(file, "korvel_version", windres.size() - 1).empty());  // over the limit
    // Cut short: the table or the section's bytes lie past the end.
    for (size_t keep : {size_t{0}, size_t{16}, size_t{63}, size_t{200}, object.size() - 1}) {
        std::istringstream cut(std::string(object.begin(), object.begin() + static_cast<std::ptrdiff_t>(keep)));
        EXPECT_TRUE(ReadElfSection(cut, "korvel_version", 0xFFFF).empty()) << keep;
    }
}

TEST(VersionResource, RereadsOnEveryChangeAndTellsSo) {
#ifdef _WIN32
    GTEST_SKIP() << "reads the block from an ELF section; on Windows it comes from the PE resource";
#endif
    TVersionResource resource;
    int changes = 0;
    resource.OnChange = [&](TVersionResource* sender) {
        EXPECT_EQ(sender, &resource);
        ++changes;
    };
    EXPECT_FALSE(resource.StoreFileName);
    EXPECT_EQ(resource.Language(), lnUSEnglish);
    EXPECT_EQ(resource.CharacterSet(), csMultilingual);

    resource.SetFileName(kCorpus + "elf_with_block.o");
    EXPECT_TRUE(resource.StoreFileName);
    EXPECT_EQ(resource.VersionInfo().FileVersion, "16.6.0.0");
    EXPECT_EQ(resource.VersionInfo().CompanyName, "");  // stored in Dutch
    resource.SetLanguage(lnDutch);
    EXPECT_EQ(resource.VersionInfo().CompanyName, "Ventrabo");
    resource.SetCharacterSet(csUnicode);
    EXPECT_EQ(resource.VersionInfo().CompanyName, "");
    resource.SetFileName(kCorpus + "no_such_file");
    EXPECT_EQ(resource.VersionInfo(), TVersionInfo{});
    EXPECT_EQ(changes, 4);
}

}  // namespace
}  // namespace korvel
