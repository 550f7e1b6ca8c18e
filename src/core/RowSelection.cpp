#include "core/RowSelection.h"

#include "core/RowTable.h"

#include <QHash>
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

QList<int> rowsMatching(const RowTable& rows, const QString& filter, bool containing)
{
    const QString lowered = filter.toLower();
    QList<int> matching;
    // Texts held once for many rows are tested once; the copies keep them alive meanwhile.
    QHash<const QChar*, bool> tested;
    QList<QString> held;
    for (int row = 1; row <= rows.count(); ++row) {
        const QString text = rows.text(row);
        auto known = tested.constFind(text.constData());
        if (known == tested.constEnd() || text.isEmpty()) {
            known = tested.insert(text.constData(), text.toLower().contains(lowered));
            held.append(text);
        }
        if (known.value() == containing)
            matching.append(row);
    }
    return matching;
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
