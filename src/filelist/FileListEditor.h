#pragma once

#include "core/WindowPointer.h"
#include "core/WindowServices.h"

#include <QObject>
#include <QPersistentModelIndex>
#include <QPoint>

namespace tagsifter {

class ListView;

/// The file list's own editing: removing the selected row, clearing the list, and moving a
/// row by dragging it (texts are exchanged step by step with the rows passed over).
class FileListEditor : public QObject
{
    Q_OBJECT
public:
    FileListEditor(const WindowServices& services, ListView& fileList, WindowPointer& pointer,
                   QString applicationFolder, QObject* parent = nullptr);

    /// "Clear List".
    void PushButton7_Click();
    /// Delete or double-click: removes the selected row unless the window is busy.
    void removeSelected();

    void ListView1_ItemClick(int row);
    void ListView1_MouseDown();
    void ListView1_MouseMove(QPoint position, QPoint screenPosition);
    void ListView1_MouseUp();
    void ListView1_KeyDown(int key);

    bool isDragging() const { return m_dragging; }

private:
    int rowOf(const QPersistentModelIndex& item) const;

    WindowServices m_services;
    ListView& m_fileList;
    WindowPointer& m_pointer;
    QString m_applicationFolder;
    bool m_dragging = false;
    QPersistentModelIndex m_draggedItem;
};

} // namespace tagsifter
