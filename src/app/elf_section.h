// Reads one named section of an ELF file: where the Linux build keeps its version block. Only the
// header, the section table and the names are read, not the whole (debug-info sized) file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string_view>
#include <vector>

namespace korvel {

// The section's bytes; empty when the file is no ELF file, has no such section, or the section is
// larger than maxSize or lies outside the file.
std::vector<uint8_t> ReadElfSection(std::istream& file, std::string_view name, size_t maxSize);

}  // namespace korvel
