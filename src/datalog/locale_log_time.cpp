#include "datalog/locale_log_time.h"

namespace korvel {

TLogTimeFormat LogTimeFormatOf(const QLocale& locale) {
    TLogTimeFormat f;
    f.ShortDate = locale.dateFormat(QLocale::ShortFormat).toStdString();
    f.LongTime = locale.timeFormat(QLocale::LongFormat).toStdString();
    // Upper and lower case as Qt gives them: the core has no case tables beyond ASCII.
    f.Meridiem = {locale.amText().toUpper().toStdString(), locale.pmText().toUpper().toStdString()};
    f.MeridiemLower = {locale.amText().toLower().toStdString(), locale.pmText().toLower().toStdString()};
    const QList<uint> zero = locale.zeroDigit().toUcs4();
    if (!zero.isEmpty()) f.ZeroDigit = static_cast<char32_t>(zero.front());
    for (int n = 1; n <= 12; ++n) {
        const auto i = static_cast<size_t>(n - 1);
        f.ShortMonths[i] = locale.monthName(n, QLocale::ShortFormat).toStdString();
        f.LongMonths[i] = locale.monthName(n, QLocale::LongFormat).toStdString();
        if (n <= 7) f.ShortDays[i] = locale.dayName(n, QLocale::ShortFormat).toStdString();  // from Monday
        if (n <= 7) f.LongDays[i] = locale.dayName(n, QLocale::LongFormat).toStdString();
    }
    return f;
}

}  // namespace korvel
