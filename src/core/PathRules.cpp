#include "core/PathRules.h"

#include <utility>

namespace tagsifter {

namespace {

constexpr QChar kSeparator = QLatin1Char('/');

QString collapsePairs(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        out.append(text.at(i));
        if (text.at(i) == kSeparator && i + 1 < text.size() && text.at(i + 1) == kSeparator)
            ++i;
    }
    return out;
}

} // namespace

QString CollapseBackslashes(const QString& path)
{
    if (!path.startsWith(kSeparator))
        return collapsePairs(path);
    int p = 0;
    while (p < path.size() && path.at(p) == kSeparator)
        ++p;
    return QString(kSeparator) + collapsePairs(path.mid(p));
}

bool HasOddCharacters(const QString& name)
{
    for (const QChar c : name) {
        const ushort code = c.unicode();
        if (code < 32 || (code >= 127 && code <= 159))
            return true;
    }
    return false;
}

QString withoutTrailingSlashes(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

QStringList splitExtensions(const QString& answer)
{
    QStringList extensions;
    QString part;
    for (const QChar c : answer) {
        if (c.isSpace() || c == QLatin1Char(',') || c == QLatin1Char(';')) {
            if (!part.isEmpty())
                extensions.append(std::exchange(part, QString()));
        } else {
            part += c;
        }
    }
    if (!part.isEmpty())
        extensions.append(part);
    return extensions;
}

} // namespace tagsifter
