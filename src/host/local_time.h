// The local calendar time of a moment, the same call on every platform.
#pragma once

#include <ctime>

namespace korvel {

std::tm LocalTime(std::time_t moment);

}  // namespace korvel
