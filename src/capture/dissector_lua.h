// The Wireshark dissector for the line's captures, as Lua: the message catalogue, the real-time
// report's layout, the parameter table and the check value's table are written into it from the
// tool's own tables at build time, so it reads each block as the tool does.
#pragma once

#include <string>

namespace korvel {

std::string DissectorLua();

}  // namespace korvel
