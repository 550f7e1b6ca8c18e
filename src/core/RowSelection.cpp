#include "core/RowSelection.h"

#include <QSet>

namespace tagsifter {

QList<int> rowsMatching(const QStringList& texts, const QString& filter, bool containing)
{
    const QString lowered = filter.toLower();
    QList<int> rows;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        if (texts.at(i).toLower().contains(lowered) == containing)
            rows.append(static_cast<int>(i) + 1);
    }
    return rows;
}

QStringList distinctPaths(const QStringList& texts)
{
    QSet<QString> seen;
    seen.reserve(texts.size());
    QStringList paths;
    for (const QString& text : texts) {
        if (text.isEmpty() || seen.contains(text))
            continue;
        seen.insert(text);
        paths.append(text);
    }
    return paths;
}

} // namespace tagsifter
