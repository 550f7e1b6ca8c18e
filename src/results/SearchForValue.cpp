#include "SearchForValue.h"

#include <algorithm>

namespace tagsifter {

namespace {

QString quoted(const QString& text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        out += c;
    }
    return out + QLatin1Char('"');
}

} // namespace

QString searchForValueText(const QString& tag, const QString& value, bool query)
{
    if (!query)
        return value;
    const bool plain = !tag.isEmpty() && std::all_of(tag.begin(), tag.end(),
                                                     [](QChar c) { return c.isLetterOrNumber(); });
    return (plain ? tag : quoted(tag)) + QLatin1Char('=') + quoted(value);
}

} // namespace tagsifter
