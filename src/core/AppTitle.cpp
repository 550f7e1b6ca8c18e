#include "core/AppTitle.h"

namespace tagsifter {

namespace {
QString& titleStore()
{
    static QString title;
    return title;
}
} // namespace

QString appTitleFrom(const QString& productName)
{
    constexpr int kMaxTitleLength = 40;
    QString title = productName;
    // A name without a space has nowhere to cut: it is the title as it stands.
    if (!title.contains(QLatin1Char(' ')))
        return title;
    do {
        title.truncate(title.lastIndexOf(QLatin1Char(' ')));
    } while (title.size() > kMaxTitleLength && title.contains(QLatin1Char(' ')));
    return title;
}

QString applicationTitle()
{
    return titleStore();
}

void setApplicationTitle(const QString& title)
{
    titleStore() = title;
}

} // namespace tagsifter
