// The time column's formats of a Qt locale, as the window writes and reads them.
#pragma once

#include <QLocale>

#include "datalog/log_time.h"

namespace korvel {

// Its short date and long time (the zone left out), the AM/PM texts in both cases, its digits,
// month and day names.
TLogTimeFormat LogTimeFormatOf(const QLocale& locale);

}  // namespace korvel
