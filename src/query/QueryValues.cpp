#include "query/QueryValues.h"

namespace tagsifter {

namespace {

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

/// The digits at `pos` and a fraction after a point ("12", "12.5"); `pos` moves past them.
std::optional<double> decimalAt(const QString& text, qsizetype& pos)
{
    const qsizetype start = pos;
    while (pos < text.size() && isDigit(text.at(pos)))
        ++pos;
    if (pos == start)
        return std::nullopt;
    if (pos + 1 < text.size() && text.at(pos) == QLatin1Char('.') && isDigit(text.at(pos + 1))) {
        ++pos;
        while (pos < text.size() && isDigit(text.at(pos)))
            ++pos;
    }
    bool ok = false;
    const double number = QStringView(text).mid(start, pos - start).toDouble(&ok);
    return ok ? std::optional<double>(number) : std::nullopt;
}

/// A number at `pos` with a fraction after it ("1/250"); `pos` moves past it.
std::optional<double> quotientAt(const QString& text, qsizetype& pos)
{
    std::optional<double> number = decimalAt(text, pos);
    if (!number || pos + 1 >= text.size() || text.at(pos) != QLatin1Char('/') ||
        !isDigit(text.at(pos + 1)))
        return number;
    qsizetype after = pos + 1;
    const std::optional<double> divisor = decimalAt(text, after);
    if (divisor && *divisor != 0) {
        pos = after;
        return *number / *divisor;
    }
    return number;
}

/// The number of `count` digits at `pos`, or -1.
int digitsAt(QStringView text, qsizetype pos, int count)
{
    if (pos + count > text.size())
        return -1;
    int number = 0;
    for (int i = 0; i < count; ++i) {
        const QChar c = text.at(pos + i);
        if (!isDigit(c))
            return -1;
        number = number * 10 + (c.unicode() - '0');
    }
    return number;
}

DateKey keyOf(qint64 year, qint64 month, qint64 day, qint64 hour, qint64 minute, qint64 second)
{
    return ((((year * 100 + month) * 100 + day) * 100 + hour) * 100 + minute) * 100 + second;
}

} // namespace

std::optional<double> firstNumber(const QString& value)
{
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (!isDigit(value.at(i)))
            continue;
        qsizetype pos = i;
        const std::optional<double> number = quotientAt(value, pos);
        if (!number)
            return std::nullopt;
        const bool signFree = i < 2 || !value.at(i - 2).isLetterOrNumber();
        if (i > 0 && signFree && value.at(i - 1) == QLatin1Char('-'))
            return -*number;
        return number;
    }
    return std::nullopt;
}

std::optional<DateKey> dateOfValue(const QString& value)
{
    const QStringView text(value);
    const int year = digitsAt(text, 0, 4);
    const int month = digitsAt(text, 5, 2);
    const int day = digitsAt(text, 8, 2);
    if (year < 0 || month < 0 || day < 0 || text.at(4) != QLatin1Char(':') ||
        text.at(7) != QLatin1Char(':'))
        return std::nullopt;
    int hour = 0, minute = 0, second = 0;
    if (text.size() >= 16 && text.at(10) == QLatin1Char(' ') && text.at(13) == QLatin1Char(':')) {
        hour = std::max(0, digitsAt(text, 11, 2));
        minute = std::max(0, digitsAt(text, 14, 2));
        if (text.size() >= 19 && text.at(16) == QLatin1Char(':'))
            second = std::max(0, digitsAt(text, 17, 2));
    }
    return keyOf(year, month, day, hour, minute, second);
}

std::optional<double> queryNumber(const QString& text)
{
    qsizetype pos = 0;
    bool negative = false;
    if (!text.isEmpty() && (text.at(0) == QLatin1Char('-') || text.at(0) == QLatin1Char('+'))) {
        negative = text.at(0) == QLatin1Char('-');
        pos = 1;
    }
    std::optional<double> number = quotientAt(text, pos);
    if (!number || pos != text.size())
        return std::nullopt;
    return negative ? -*number : *number;
}

std::optional<DateSpan> queryDate(const QString& text)
{
    const QStringView t(text);
    const int year = digitsAt(t, 0, 4);
    if (year < 0)
        return std::nullopt;
    if (t.size() == 4)
        return DateSpan{keyOf(year, 1, 1, 0, 0, 0), keyOf(year, 12, 31, 23, 59, 59)};
    const int month = t.size() >= 7 && t.at(4) == QLatin1Char('-') ? digitsAt(t, 5, 2) : -1;
    if (month < 1 || month > 12)
        return std::nullopt;
    if (t.size() == 7)
        return DateSpan{keyOf(year, month, 1, 0, 0, 0), keyOf(year, month, 31, 23, 59, 59)};
    const int day = t.size() >= 10 && t.at(7) == QLatin1Char('-') ? digitsAt(t, 8, 2) : -1;
    if (day < 1 || day > 31)
        return std::nullopt;
    if (t.size() == 10)
        return DateSpan{keyOf(year, month, day, 0, 0, 0), keyOf(year, month, day, 23, 59, 59)};
    const bool timed = t.size() >= 16 &&
                       (t.at(10) == QLatin1Char('T') || t.at(10) == QLatin1Char('t')) &&
                       t.at(13) == QLatin1Char(':');
    const int hour = timed ? digitsAt(t, 11, 2) : -1;
    const int minute = timed ? digitsAt(t, 14, 2) : -1;
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59)
        return std::nullopt;
    if (t.size() == 16)
        return DateSpan{keyOf(year, month, day, hour, minute, 0),
                        keyOf(year, month, day, hour, minute, 59)};
    const int second = t.size() == 19 && t.at(16) == QLatin1Char(':') ? digitsAt(t, 17, 2) : -1;
    if (second < 0 || second > 59)
        return std::nullopt;
    const DateKey moment = keyOf(year, month, day, hour, minute, second);
    return DateSpan{moment, moment};
}

namespace {

QString compactTagSlowly(const QString& tag)
{
    QString compact;
    compact.reserve(tag.size());
    for (const QChar c : tag) {
        if (!c.isSpace())
            compact.append(c);
    }
    return compact.toCaseFolded();
}

} // namespace

QString compactTag(const QString& tag)
{
    // Tags and names are ASCII almost always: folded here without Qt's tables.
    QString compact(tag.size(), Qt::Uninitialized);
    QChar* out = compact.data();
    qsizetype length = 0;
    for (const QChar c : tag) {
        const char16_t u = c.unicode();
        if (u >= 0x80)
            return compactTagSlowly(tag);
        if (u == ' ' || (u >= '\t' && u <= '\r'))
            continue;
        out[length++] = QChar(u >= 'A' && u <= 'Z' ? static_cast<char16_t>(u + ('a' - 'A')) : u);
    }
    compact.truncate(length);
    return compact;
}

} // namespace tagsifter
