// Resident memory of this process, from /proc (Linux), in kB; -1 where it cannot be read.
#pragma once

#include <fstream>
#include <string>

inline long VmRssKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}
