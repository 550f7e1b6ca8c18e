#include "TagName.h"

namespace tagsifter {

QString tagNameOf(const QString& description)
{
    QString name = description;
    name.remove(QLatin1Char(' '));
    return name;
}

} // namespace tagsifter
