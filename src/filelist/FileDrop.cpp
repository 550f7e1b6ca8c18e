#include "FileDrop.h"

#include "core/PathRules.h"
#include "platform/FileNames.h"

#include <QMimeData>
#include <QTimer>
#include <QUrl>

namespace tagsifter {

FileDrop::FileDrop(const WindowServices& services, ListModel& fileList, QObject* parent)
    : QObject(parent), m_fileList(fileList),
      m_scan(services.system, *services.user.messages, appendTo(fileList))
{
}

QStringList FileDrop::localPaths(const QMimeData* data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    const QList<QUrl> urls = data->urls();
    for (const QUrl& url : urls) {
        if (!url.isLocalFile())
            continue;
        paths.append(withoutTrailingSlashes(localPath(url)));
    }
    return paths;
}

bool FileDrop::canAccept(const QMimeData* data) const
{
    return !localPaths(data).isEmpty();
}

void FileDrop::drop(const QMimeData* data)
{
    // The scan of a dropped folder may take long: it runs after the drag has ended, so the
    // file manager that started the drag is not kept waiting.
    const QStringList paths = localPaths(data);
    QTimer::singleShot(0, this, [this, paths] { addDropped(paths); });
}

void FileDrop::addDropped(const QStringList& paths)
{
    for (const QString& path : paths) {
        // A dropped path that has vanished or cannot be read adds nothing; the next one is
        // still handled.
        try {
            if (m_scan.IsFolder(path))
                m_scan.CollectFolderTree(path, QStringLiteral("*.*"));
            else
                m_fileList.addItem(path);
        } catch (...) {
        }
    }
}

} // namespace tagsifter
