// Checks the telnet fuzz targets share.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "link/telnet_codec.h"

namespace korvel::fuzz {

// Every byte of `stream` is part of a whole command: no data, and no command left unfinished.
inline void CommandsOnly(const std::vector<uint8_t>& stream) {
    telnet::Decoder dec;
    std::vector<uint8_t> data;
    std::vector<telnet::Command> commands;
    dec.Feed(stream.data(), stream.size(), true, data, commands);
    const uint8_t end = 0;
    dec.Feed(&end, 1, true, data, commands);  // a finished stream reads the next byte as data
    if (data != std::vector<uint8_t>{0}) std::abort();
}

}  // namespace korvel::fuzz
