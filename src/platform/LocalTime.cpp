#include "core/LocalTime.h"

#ifdef Q_OS_WIN
#include <QDateTime>
#else
#include <ctime>
#endif

namespace tagsifter {

ClockTime localClockTime(qint64 secondsSinceEpoch)
{
#ifdef Q_OS_WIN
    const QDateTime local = QDateTime::fromSecsSinceEpoch(secondsSinceEpoch);
    const QDate date = local.date();
    const QTime time = local.time();
    return {date.year(),   date.month(),  date.day(),           time.hour(),
            time.minute(), time.second(), local.offsetFromUtc()};
#else
    // localtime_r reads the zone's rules once they are loaded; they are loaded once here.
    static const bool zoneLoaded = (::tzset(), true);
    Q_UNUSED(zoneLoaded);
    const std::time_t seconds = static_cast<std::time_t>(secondsSinceEpoch);
    std::tm local{};
    if (!::localtime_r(&seconds, &local))
        return {};
    return {local.tm_year + 1900,
            local.tm_mon + 1,
            local.tm_mday,
            local.tm_hour,
            local.tm_min,
            local.tm_sec,
            static_cast<int>(local.tm_gmtoff)};
#endif
}

} // namespace tagsifter
