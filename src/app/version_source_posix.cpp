// Non-Windows builds keep the version block in the executable's "korvel_version" ELF section
// (version_block.cpp puts it there).
#include <unistd.h>

#include <fstream>

#include "app/elf_section.h"
#include "app/version_resource.h"

namespace korvel {

std::string RunningExecutablePath() {
    std::string path(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0 || static_cast<size_t>(n) >= path.size()) return {};
    path.resize(static_cast<size_t>(n));
    return path;
}

std::vector<uint8_t> ReadFileVersionBlock(const std::string& fileName) {
    std::ifstream file(fileName, std::ios::binary);
    if (!file) return {};
    // A block's length is a 16-bit count.
    return ReadElfSection(file, "korvel_version", 0xFFFF);
}

}  // namespace korvel
