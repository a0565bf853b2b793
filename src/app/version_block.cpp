// The tool's own version block, laid out as the Windows resource compiler does and kept in the
// "korvel_version" ELF section, where the About box and anything reading the file find it.
// Linked into each program that shows its version (not into a library, which could drop it).
#include "korvel_version.h"
#include "app/version_info.h"

namespace {

using korvel::TVersionString;

constexpr TVersionString kStrings[] = {
    {"CompanyName", KORVEL_COMPANY_NAME},
    {"FileDescription", KORVEL_FILE_DESCRIPTION},
    {"FileVersion", KORVEL_FILE_VERSION_TEXT},
    {"InternalName", KORVEL_INTERNAL_NAME},
    {"LegalCopyright", KORVEL_LEGAL_COPYRIGHT},
    {"OriginalFilename", KORVEL_ORIGINAL_FILE_NAME},
    {"ProductName", KORVEL_PRODUCT_NAME},
    {"ProductVersion", KORVEL_PRODUCT_VERSION_TEXT},
    {"Comments", KORVEL_COMMENTS},
};

constexpr uint32_t Pair(uint32_t high, uint32_t low) { return (high << 16) | low; }

constexpr korvel::TVersionBlock kBlock = korvel::EncodeVersionBlock({
    .HasFixedPart = true,
    .Fixed = {.FileVersionMS = Pair(KORVEL_FILE_VERSION_MAJOR, KORVEL_FILE_VERSION_MINOR),
              .FileVersionLS = Pair(KORVEL_FILE_VERSION_PATCH, KORVEL_FILE_VERSION_BUILD),
              .ProductVersionMS = Pair(KORVEL_PRODUCT_VERSION_MAJOR, KORVEL_PRODUCT_VERSION_MINOR),
              .ProductVersionLS = Pair(KORVEL_PRODUCT_VERSION_PATCH, KORVEL_PRODUCT_VERSION_BUILD),
              .FileFlagsMask = 0x3F,
              .FileOS = 0,  // VOS_UNKNOWN: no code names this platform
              .FileType = 1},
    .Language = KORVEL_VERSION_LANGUAGE,
    .CharacterSet = KORVEL_VERSION_CHARSET,
    .Strings = kStrings,
});

template <size_t... I>
constexpr std::array<uint8_t, sizeof...(I)> Trimmed(std::index_sequence<I...>) {
    return {kBlock.Bytes[I]...};
}

}  // namespace

// External, so it is emitted whether or not anything refers to it.
extern const std::array<uint8_t, kBlock.Size> korvel_version_block;
[[gnu::used, gnu::section("korvel_version")]] const std::array<uint8_t, kBlock.Size> korvel_version_block =
    Trimmed(std::make_index_sequence<kBlock.Size>());
