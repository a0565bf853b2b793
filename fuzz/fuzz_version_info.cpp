// Version blocks come from files on disk: whatever the bytes, neither the ELF section reader nor
// the version decoder may crash, and a decoded text must be valid UTF-8 the label can show.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "app/elf_section.h"
#include "app/version_info.h"

using namespace korvel;

namespace {

bool ValidUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<uint8_t>(s[i]);
        const size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<uint8_t>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

void Decode(std::span<const uint8_t> block) {
    for (const uint16_t language : {uint16_t{0x0409}, uint16_t{0x0413}}) {
        const TVersionInfo info = DecodeVersionInfo(block, language, 1252);
        for (const std::string* text : {&info.Comment, &info.CompanyName, &info.FileDescription, &info.FileVersion,
                                        &info.InternalName, &info.LegalCopyright, &info.LegalTradeMarks,
                                        &info.OriginalFileName, &info.PrivateBuild, &info.ProductName,
                                        &info.ProductVersion, &info.SpecialBuild, &info.FileOS, &info.FileType,
                                        &info.FileSubType})
            if (!ValidUtf8(*text)) std::abort();
        // No fixed part, no texts at all.
        if (!QueryFixedFileInfo(block) && !(info == TVersionInfo{})) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Decode({data, size});
    std::istringstream file(std::string(reinterpret_cast<const char*>(data), size));
    const std::vector<uint8_t> section = ReadElfSection(file, "korvel_version", 0xFFFF);
    if (section.size() > size) std::abort();
    Decode(section);
    return 0;
}
