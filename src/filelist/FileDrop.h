#pragma once

#include "core/FolderScan.h"
#include "core/WindowServices.h"
#include "platform/DropHandler.h"
#include "platform/ListModel.h"

#include <QObject>

namespace tagsifter {

/// Files and folders dropped onto the file list from a file manager: a folder adds every file
/// of its tree, a file is appended as dropped. Anything without local files is refused.
class FileDrop : public QObject, public DropHandler
{
    Q_OBJECT
public:
    FileDrop(const WindowServices& services, ListModel& fileList, QObject* parent = nullptr);

    bool canAccept(const QMimeData* data) const override;
    void drop(const QMimeData* data) override;
    /// The drop itself, once the drag has ended: each path in order.
    void addDropped(const QStringList& paths);

    static QStringList localPaths(const QMimeData* data);

private:
    ListModel& m_fileList;
    FolderScan m_scan;
};

} // namespace tagsifter
