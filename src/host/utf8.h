// UTF-8 one code point at a time, for the codecs that meet text of any script.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace korvel {

void AppendUtf8(std::string& out, char32_t c);
// The code point at text[i]; i moves past it. A malformed byte is taken on its own.
char32_t NextCodePoint(std::string_view text, size_t& i);

}  // namespace korvel
