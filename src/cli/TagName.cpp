#include "TagName.h"

#include "query/TagVocabulary.h"

namespace tagsifter {

QString tagNameOf(const QString& description, const TagVocabulary* names)
{
    if (names) {
        const QStringList written = names->writtenNamesOf(description);
        if (!written.isEmpty())
            return written.first();
    }
    QString name = description;
    name.remove(QLatin1Char(' '));
    return name;
}

} // namespace tagsifter
