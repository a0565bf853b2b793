#include "app/elf_section.h"

#include <limits>

namespace korvel {

namespace {

constexpr size_t kMaxSectionTable = 1 << 22;
constexpr size_t kMaxNameTable = 1 << 20;
constexpr uint32_t SHT_NOBITS = 8;

class TElfReader {
public:
    TElfReader(std::istream& file, bool is64, bool bigEndian) : file_(file), is64_(is64), big_(bigEndian) {}

    bool Read(uint64_t offset, size_t size, std::vector<uint8_t>& out) {
        out.assign(size, 0);
        if (offset > static_cast<uint64_t>(std::numeric_limits<std::streamoff>::max())) return false;
        file_.clear();
        file_.seekg(static_cast<std::streamoff>(offset));
        if (!file_) return false;
        file_.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(size));
        return file_.gcount() == static_cast<std::streamsize>(size);
    }
    uint64_t Get(const std::vector<uint8_t>& b, size_t at, size_t width) const {
        uint64_t v = 0;
        for (size_t i = 0; i < width; ++i) {
            const size_t k = big_ ? i : width - 1 - i;
            v = (v << 8) | b[at + k];
        }
        return v;
    }
    // Address-sized fields are 8 bytes in 64-bit files, 4 in 32-bit ones.
    uint64_t Addr(const std::vector<uint8_t>& b, size_t at) const { return Get(b, at, is64_ ? 8 : 4); }
    bool Is64() const { return is64_; }

private:
    std::istream& file_;
    bool is64_;
    bool big_;
};

}  // namespace

std::vector<uint8_t> ReadElfSection(std::istream& file, std::string_view name, size_t maxSize) {
    std::vector<uint8_t> header(52);
    file.clear();
    file.seekg(0);
    file.read(reinterpret_cast<char*>(header.data()), 16);
    if (file.gcount() != 16 || header[0] != 0x7F || header[1] != 'E' || header[2] != 'L' || header[3] != 'F')
        return {};
    const bool is64 = header[4] == 2;
    if ((header[4] != 1 && !is64) || (header[5] != 1 && header[5] != 2)) return {};
    TElfReader elf(file, is64, header[5] == 2);
    if (!elf.Read(0, is64 ? 64 : 52, header)) return {};

    const uint64_t shoff = elf.Addr(header, is64 ? 0x28 : 0x20);
    const size_t at = is64 ? 0x3A : 0x2E;  // e_shentsize, e_shnum, e_shstrndx
    const size_t entSize = elf.Get(header, at, 2);
    const size_t count = elf.Get(header, at + 2, 2);
    const size_t namesIndex = elf.Get(header, at + 4, 2);
    if (entSize < (is64 ? 64u : 40u) || count == 0 || namesIndex >= count || entSize * count > kMaxSectionTable)
        return {};
    std::vector<uint8_t> table;
    if (!elf.Read(shoff, entSize * count, table)) return {};

    struct TSection {
        uint32_t Name, Type;
        uint64_t Offset, Size;
    };
    const auto section = [&](size_t i) {
        const size_t s = i * entSize;
        return TSection{static_cast<uint32_t>(elf.Get(table, s, 4)), static_cast<uint32_t>(elf.Get(table, s + 4, 4)),
                        elf.Addr(table, s + (is64 ? 0x18 : 0x10)), elf.Addr(table, s + (is64 ? 0x20 : 0x14))};
    };
    const TSection namesSection = section(namesIndex);
    if (namesSection.Size > kMaxNameTable) return {};
    std::vector<uint8_t> names;
    if (!elf.Read(namesSection.Offset, static_cast<size_t>(namesSection.Size), names)) return {};

    for (size_t i = 0; i < count; ++i) {
        const TSection s = section(i);
        if (s.Name >= names.size()) continue;
        std::string_view sectionName(reinterpret_cast<const char*>(names.data()) + s.Name, names.size() - s.Name);
        sectionName = sectionName.substr(0, sectionName.find('\0'));
        if (sectionName != name || s.Type == SHT_NOBITS) continue;
        std::vector<uint8_t> bytes;
        if (s.Size > maxSize || !elf.Read(s.Offset, static_cast<size_t>(s.Size), bytes)) return {};
        return bytes;
    }
    return {};
}

}  // namespace korvel
