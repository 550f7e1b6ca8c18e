#pragma once

#include <QString>

#include <optional>

namespace tagsifter {

/// A moment as exiftool prints one ("2008:05:30 15:56:01"), as a number that orders moments:
/// YYYYMMDDhhmmss. Time zones and fractions of a second are not applied.
using DateKey = qint64;

/// A query date ("2008", "2008-05", "2008-05-30", "2008-05-30T15:56[:01]"): the first and the
/// last second of the span it stands for.
struct DateSpan
{
    DateKey first = 0;
    DateKey last = 0;
};

/// The first number in a value: "2.8", "50.0" of "50.0 mm", 0.004 of "1/250" (a fraction counts
/// as its quotient), -1.5 of "-1.5 EV". A sign counts only where no letter or digit stands
/// before it ("EOS-1D" holds 1). None when the value holds no digit.
std::optional<double> firstNumber(const QString& value);

/// The moment a value begins with when it begins "YYYY:MM:DD" (a time may follow).
std::optional<DateKey> dateOfValue(const QString& value);

/// A number as a query writes one: "800", "-1.5", "+2", "1/500". None for anything else.
std::optional<double> queryNumber(const QString& text);

/// The span of a query date, or none when `text` is not one.
std::optional<DateSpan> queryDate(const QString& text);

/// Lower case without spaces: how a tag written in a query is compared with tag names and the
/// tags the results list shows ("Camera Model Name" and "cameramodelname" are one).
QString compactTag(const QString& tag);

} // namespace tagsifter
