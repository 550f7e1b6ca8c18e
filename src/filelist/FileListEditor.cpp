#include "FileListEditor.h"

#include "core/ErrorReport.h"
#include "platform/widgets/ListView.h"

#include <QImageReader>
#include <QPixmap>

#include <utility>

namespace tagsifter {

namespace {
// Above this screen height the row before the hovered one is brought into view, from this
// one on the row after it.
constexpr int kScrollUpBelowY = 305;
constexpr int kScrollDownFromY = 365;
} // namespace

FileListEditor::FileListEditor(const WindowServices& services, ListView& fileList,
                               WindowPointer& pointer, QString applicationFolder, QObject* parent)
    : QObject(parent), m_services(services), m_fileList(fileList), m_pointer(pointer),
      m_applicationFolder(std::move(applicationFolder))
{
    connect(&fileList, &ListView::itemClicked, this, &FileListEditor::ListView1_ItemClick);
    connect(&fileList, &ListView::mousePressed, this, [this] { ListView1_MouseDown(); });
    connect(
        &fileList, &ListView::mouseMoved, this,
        [this](Qt::MouseButtons, QPoint at, QPoint screen) { ListView1_MouseMove(at, screen); });
    connect(&fileList, &ListView::mouseReleased, this, [this] { ListView1_MouseUp(); });
    connect(&fileList, &ListView::keyPressed, this,
            [this](int key, Qt::KeyboardModifiers) { ListView1_KeyDown(key); });
    connect(&fileList, &ListView::doubleClicked, this, &FileListEditor::removeSelected);
}

void FileListEditor::PushButton7_Click()
{
    ErrorReport report(*m_services.user.messages,
                       ErrorReport::formLocation(QStringLiteral("PushButton7_Click")));
    report.line(100, [&] {
        if (!m_pointer.isBusy())
            m_fileList.clear();
    });
}

void FileListEditor::removeSelected()
{
    if (!m_pointer.isBusy())
        m_fileList.removeSelected();
}

void FileListEditor::ListView1_KeyDown(int key)
{
    if (key == Qt::Key_Delete)
        removeSelected();
}

void FileListEditor::ListView1_ItemClick(int row)
{
    // A missing or unreadable drag pointer leaves the list's pointer as the arrow.
    QImageReader reader(m_applicationFolder + QLatin1String("/drag.ico"));
    const QPixmap picture = QPixmap::fromImage(reader.read());
    if (picture.isNull())
        m_fileList.setListPointer(Pointer::Custom);
    else
        m_fileList.setListPointer(Pointer::Custom, QCursor(picture, 0, 0));
    const int selected = m_fileList.selectedIndex();
    m_draggedItem = QPersistentModelIndex(
        m_fileList.listModel()->index((selected > 0 ? selected : row) - 1, 0));
}

void FileListEditor::ListView1_MouseDown()
{
    m_dragging = true;
}

void FileListEditor::ListView1_MouseUp()
{
    m_dragging = false;
    m_fileList.setListPointer(Pointer::Arrow);
}

int FileListEditor::rowOf(const QPersistentModelIndex& item) const
{
    return item.isValid() ? item.row() + 1 : 0;
}

void FileListEditor::ListView1_MouseMove(QPoint position, QPoint screenPosition)
{
    if (!m_pointer.isBusy())
        m_pointer.setMousePointer(Pointer::Default);
    if (!m_dragging)
        return;
    const int hovered = m_fileList.hitTest(position);
    // A dragged row that has been removed since is no row at all: nothing moves.
    const int dragged = rowOf(m_draggedItem);
    if (hovered == 0 || dragged == 0)
        return;
    const QString draggedText = m_fileList.text(dragged);
    const QString hoveredText = m_fileList.text(hovered);
    if (draggedText == hoveredText)
        return;
    m_fileList.setText(dragged, hoveredText);
    m_fileList.setText(hovered, draggedText);
    m_fileList.select(hovered);
    m_draggedItem = QPersistentModelIndex(m_fileList.listModel()->index(hovered - 1, 0));
    if (screenPosition.y() < kScrollUpBelowY) {
        if (hovered >= 2)
            m_fileList.ensureVisible(hovered - 1);
    } else if (screenPosition.y() >= kScrollDownFromY && hovered + 1 <= m_fileList.count()) {
        m_fileList.ensureVisible(hovered + 1);
    }
}

} // namespace tagsifter
