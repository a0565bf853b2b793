// Settings files are edited in spreadsheets and by hand: whatever comes in, the reader must not
// crash, must refuse with a message or give every parameter the engineer edits within its field,
// and what it gives must survive being saved and read again, in either decimal separator, to the
// same words.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "settings/settings_file.h"

using namespace korvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto read = ReadSettingsFile(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!read.Ok()) {
        if (!read.Values.empty()) std::abort();
        return 0;
    }
    const auto table = NvmParameters();
    if (read.Values.size() != table.size()) std::abort();
    for (size_t i = 0; i < table.size(); ++i)
        if (!table[i].Hidden && !table[i].ReadOnly && !(read.Values[i] >= table[i].Min && read.Values[i] <= table[i].Max))
            std::abort();
    for (const char separator : {'.', ','}) {
        const auto again = ReadSettingsFile(WriteSettingsFile(read.Values, read.Words, "fuzz", "now", separator));
        if (!again.Ok() || again.Words != read.Words || !CompareSettings(read.Words, again.Words, false, '.').empty())
            std::abort();
    }
    return 0;
}
