// Writes korvel.lua, the Wireshark dissector, to the file named on the command line.
#include <cstdio>
#include <fstream>

#include "capture/dissector_lua.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: korvel-make-dissector OUTPUT.lua\n");
        return 2;
    }
    const std::string lua = korvel::DissectorLua();
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(lua.data(), static_cast<std::streamsize>(lua.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "korvel-make-dissector: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
