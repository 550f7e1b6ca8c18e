#pragma once

#include <QtGlobal>

namespace tagsifter {

/// A moment as the clocks of the time zone in force show it.
struct ClockTime
{
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    /// The zone's offset from UTC at that moment (daylight saving time included).
    int offsetSeconds = 0;
};

/// The moment `secondsSinceEpoch` in the time zone this process started in; from any thread,
/// without the locale machinery of a full date and time. Each platform defines it in its own
/// part (platform/LocalTime.cpp).
ClockTime localClockTime(qint64 secondsSinceEpoch);

} // namespace tagsifter
