// Fills the "%s" placeholders of the system's fixed message texts, in order.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace korvel {

std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> args);

}  // namespace korvel
