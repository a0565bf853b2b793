// A file written whole: the text goes to a file beside it first and is put in place only once it
// is all written, so a full disk or a crash never leaves half a file where a whole one was meant.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace korvel {

enum class TWholeWrite {
    Written,
    Exists,  // replace was false and the name was taken (also by another program meanwhile)
    Failed,  // error says why: Dutch, with the system's own text
};

// replace: a file of that name gives way at once, never leaving a moment without one; otherwise
// an existing file is left alone. A folder of that name is never touched.
TWholeWrite WriteWholeFile(const std::filesystem::path& path, std::string_view text, bool replace, std::string& error);

}  // namespace korvel
