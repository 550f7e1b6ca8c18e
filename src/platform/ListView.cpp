#include "ListView.h"

#include "Failure.h"

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

ListModel::ListModel(QObject* parent) : QAbstractTableModel(parent) {}

int ListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_headers.size());
}

QVariant ListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || role != Qt::DisplayRole)
        return QVariant();
    const Row& row = m_rows[static_cast<size_t>(index.row())];
    if (index.column() == 0)
        return row.text;
    return row.subItems.value(index.column() - 1);
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0
        || section >= m_headers.size())
        return QVariant();
    return m_headers.at(section);
}

void ListModel::addColumn(const QString& header)
{
    const int column = static_cast<int>(m_headers.size());
    beginInsertColumns(QModelIndex(), column, column);
    m_headers.append(header);
    endInsertColumns();
}

QString ListModel::headerText(int column) const
{
    return m_headers.value(column);
}

void ListModel::setHeaderText(int column, const QString& text)
{
    m_headers[column] = text;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void ListModel::append(const QString& text, const QStringList& subItems)
{
    const int row = static_cast<int>(m_rows.size());
    beginInsertRows(QModelIndex(), row, row);
    m_rows.push_back(Row{text, subItems});
    endInsertRows();
}

QString ListModel::subItem(int row, int k) const
{
    return m_rows[static_cast<size_t>(row)].subItems.value(k - 1);
}

void ListModel::setText(int row, const QString& text)
{
    m_rows[static_cast<size_t>(row)].text = text;
    const QModelIndex changed = index(row, 0);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
}

void ListModel::removeRun(int row, int count)
{
    beginRemoveRows(QModelIndex(), row, row + count - 1);
    m_rows.erase(m_rows.begin() + row, m_rows.begin() + row + count);
    endRemoveRows();
}

void ListModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_rows.shrink_to_fit();
    endResetModel();
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
}

void ListView::addColumn(const QString& header)
{
    m_model->addColumn(header);
}

QString ListView::headerText(int column) const
{
    if (column < 1 || column > m_model->columnCount())
        throw Failure(QStringLiteral("Index out of bounds"), ErrorCode::SubscriptOutOfRange);
    return m_model->headerText(column - 1);
}

void ListView::setHeaderText(int column, const QString& text)
{
    if (column < 1 || column > m_model->columnCount())
        throw Failure(QStringLiteral("Index out of bounds"), ErrorCode::SubscriptOutOfRange);
    m_model->setHeaderText(column - 1, text);
}

void ListView::setColumnWidthTwips(int column, int twips)
{
    if (column < 1 || column > m_model->columnCount())
        throw Failure(QStringLiteral("Index out of bounds"), ErrorCode::SubscriptOutOfRange);
    setColumnWidth(column - 1, twipsToPixels(twips));
}

int ListView::addItem(const QString& text, const QStringList& subItems)
{
    m_model->append(text, subItems);
    return m_model->rowCount();
}

void ListView::checkRow(int row) const
{
    if (row < 1 || row > m_model->rowCount())
        throw Failure(QStringLiteral("Index out of bounds"), ErrorCode::SubscriptOutOfRange);
}

QString ListView::text(int row) const
{
    checkRow(row);
    return m_model->text(row - 1);
}

QString ListView::cell(int row, int column) const
{
    checkRow(row);
    return column == 1 ? m_model->text(row - 1) : m_model->subItem(row - 1, column - 1);
}

QString ListView::subItem(int row, int k) const
{
    checkRow(row);
    return m_model->subItem(row - 1, k);
}

void ListView::setText(int row, const QString& text)
{
    checkRow(row);
    m_model->setText(row - 1, text);
}

void ListView::remove(int row)
{
    removeRange(row, 1);
}

void ListView::removeRange(int row, int count)
{
    checkRow(row);
    checkRow(row + count - 1);
    m_model->removeRun(row - 1, count);
}

void ListView::clear()
{
    m_model->clear();
}

int ListView::selectedIndex() const
{
    const QModelIndex current = currentIndex();
    if (!current.isValid() || !selectionModel()->isRowSelected(current.row(), QModelIndex()))
        return 0;
    return current.row() + 1;
}

QString ListView::selectedText() const
{
    const int row = selectedIndex();
    if (row == 0)
        throw Failure(QStringLiteral("Object variable or With block variable not set"),
                      ErrorCode::ObjectVariableNotSet);
    return m_model->text(row - 1);
}

void ListView::select(int row)
{
    checkRow(row);
    setCurrentIndex(m_model->index(row - 1, 0));
    selectionModel()->select(m_model->index(row - 1, 0), QItemSelectionModel::ClearAndSelect
                                                             | QItemSelectionModel::Rows);
}

void ListView::ensureVisible(int row)
{
    checkRow(row);
    scrollTo(m_model->index(row - 1, 0));
}

int ListView::hitTest(const QPoint& point) const
{
    const QModelIndex at = indexAt(point);
    return at.isValid() ? at.row() + 1 : 0;
}

void ListView::setListPointer(int mode, const QCursor& picture)
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
    else if (m_pointerMode == 99 && !m_pointerPicture.pixmap().isNull())
        viewport()->setCursor(m_pointerPicture);
    else if (m_pointerMode == 1 || m_pointerMode == 99)
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
