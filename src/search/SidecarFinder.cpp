#include "search/SidecarFinder.h"

namespace tagsifter {

bool SidecarFinder::isXmp(const QString& path)
{
    return path.endsWith(QLatin1String(".xmp"), Qt::CaseInsensitive);
}

QString SidecarFinder::of(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0 || isXmp(path))
        return QString();
    const QString folder = slash == 0 ? QStringLiteral("/") : path.left(slash);
    auto listed = m_folders.find(folder);
    if (listed == m_folders.end()) {
        // A folder that cannot be listed has no sidecars to be found.
        QHash<QString, QString> names;
        for (const QString& name : m_files.listFilesEnding(folder, QByteArrayLiteral(".xmp")))
            names.insert(name.toLower(), name);
        listed = m_folders.insert(folder, names);
    }
    if (listed->isEmpty())
        return QString();
    const QString name = path.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    for (const QString& candidate : {name + QStringLiteral(".xmp"),
                                     (dot > 0 ? name.left(dot) : name) + QStringLiteral(".xmp")}) {
        const auto found = listed->constFind(candidate.toLower());
        if (found != listed->cend())
            return path.left(slash + 1) + found.value();
    }
    return QString();
}

} // namespace tagsifter
