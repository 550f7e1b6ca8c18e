#include "ListView.h"

#include "core/Failure.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>

#include <cmath>

namespace tagsifter {

int twipsToPixels(int twips)
{
    return static_cast<int>(std::lround(twips / 15.0));
}

ListView::ListView(QWidget* parent) : QTreeView(parent), m_model(new ListModel(this))
{
    setModel(m_model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(false);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setTextElideMode(Qt::ElideRight);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    viewport()->setMouseTracking(true);
    setMouseTracking(true);
    m_chosenRow = new ChosenRow(*m_model, *selectionModel(), this);
}

void ListView::setColumnWidthTwips(int column, int twips)
{
    m_model->checkColumn(column);
    setColumnWidth(column - 1, twipsToPixels(twips));
}

int ListView::selectedIndex() const
{
    return m_chosenRow->index();
}

QString ListView::selectedText() const
{
    return m_chosenRow->text();
}

void ListView::removeSelected()
{
    m_chosenRow->remove();
}

void ListView::select(int row)
{
    m_model->checkRow(row);
    setCurrentIndex(m_model->index(row - 1, 0));
    selectionModel()->select(m_model->index(row - 1, 0),
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void ListView::ensureVisible(int row)
{
    m_model->checkRow(row);
    scrollTo(m_model->index(row - 1, 0));
}

int ListView::hitTest(const QPoint& point) const
{
    const QModelIndex at = indexAt(point);
    return at.isValid() ? at.row() + 1 : 0;
}

void ListView::setListPointer(Pointer mode, const QCursor& picture)
{
    m_pointerMode = mode;
    m_pointerPicture = picture;
    applyPointer();
}

void ListView::setWindowBusy(bool busy)
{
    m_windowBusy = busy;
    applyPointer();
}

void ListView::applyPointer()
{
    if (m_windowBusy)
        viewport()->setCursor(Qt::WaitCursor);
    else if (m_pointerMode == Pointer::Custom && !m_pointerPicture.pixmap().isNull())
        viewport()->setCursor(m_pointerPicture);
    else if (m_pointerMode == Pointer::Arrow || m_pointerMode == Pointer::Custom)
        viewport()->setCursor(Qt::ArrowCursor);
    else
        viewport()->unsetCursor();
}

void ListView::setDropHandler(DropHandler* handler)
{
    m_dropHandler = handler;
    setAcceptDrops(handler != nullptr);
    viewport()->setAcceptDrops(handler != nullptr);
}

void ListView::mousePressEvent(QMouseEvent* event)
{
    QTreeView::mousePressEvent(event);
    const QPoint at = event->position().toPoint();
    emit mousePressed(event->button(), at);
    const int row = hitTest(at);
    if (row > 0)
        emit itemClicked(row);
}

void ListView::mouseMoveEvent(QMouseEvent* event)
{
    // No rubber band or drag of the view's own: moving rows is the owner's business.
    emit mouseMoved(event->buttons(), event->position().toPoint(),
                    event->globalPosition().toPoint());
}

void ListView::mouseReleaseEvent(QMouseEvent* event)
{
    QTreeView::mouseReleaseEvent(event);
    emit mouseReleased(event->button(), event->position().toPoint());
}

void ListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
    emit doubleClicked();
}

void ListView::keyPressEvent(QKeyEvent* event)
{
    emit keyPressed(event->key(), event->modifiers());
    QTreeView::keyPressEvent(event);
}

void ListView::dragEnterEvent(QDragEnterEvent* event)
{
    if (m_dropHandler && m_dropHandler->canAccept(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void ListView::dragMoveEvent(QDragMoveEvent* event)
{
    if (m_dropHandler && m_dropHandler->canAccept(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void ListView::dropEvent(QDropEvent* event)
{
    if (!m_dropHandler || !m_dropHandler->canAccept(event->mimeData())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    m_dropHandler->drop(event->mimeData());
}

} // namespace tagsifter
