#include "ListView.h"

#include "core/Failure.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>
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

void ListView::enableSortAndFilter()
{
    if (m_shown)
        return;
    m_shown = new ShownRows(*m_model, this);
    QItemSelectionModel* old = selectionModel();
    delete m_chosenRow;
    setModel(m_shown);
    delete old;
    m_chosenRow = new ChosenRow(*m_shown, *selectionModel(), this);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(-1, Qt::AscendingOrder);
    connect(header(), &QHeaderView::sectionClicked, this,
            [this](int section) { cycleSort(section + 1); });
    header()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header(), &QHeaderView::customContextMenuRequested, this, [this](QPoint at) {
        const int section = header()->logicalIndexAt(at);
        if (section >= 0)
            sortMenu(section + 1)->popup(header()->mapToGlobal(at));
    });
    connect(m_shown, &ShownRows::sorted, this, [this](int column, Qt::SortOrder order) {
        header()->setSortIndicator(column - 1, order);
    });
    // The rows shown anew (a filter, a removal) keep the place the list was scrolled to.
    connect(m_shown, &QAbstractItemModel::modelAboutToBeReset, this,
            [this] { m_savedScroll = verticalScrollBar()->value(); });
    connect(m_shown, &QAbstractItemModel::modelReset, this, [this] {
        executeDelayedItemsLayout();
        verticalScrollBar()->setValue(m_savedScroll);
    });
}

QMenu* ListView::sortMenu(int column)
{
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setAccessibleName(tr("Sort"));
    menu->addAction(tr("Sort Ascending"), this,
                    [this, column] { sortBy(column, Qt::AscendingOrder); });
    menu->addAction(tr("Sort Descending"), this,
                    [this, column] { sortBy(column, Qt::DescendingOrder); });
    menu->addAction(tr("Order Found"), this, [this] { sortBy(0, Qt::AscendingOrder); });
    return menu;
}

void ListView::cycleSort(int column)
{
    if (m_shown->sortColumn() != column)
        sortBy(column, Qt::AscendingOrder);
    else if (m_shown->sortOrder() == Qt::AscendingOrder)
        sortBy(column, Qt::DescendingOrder);
    else
        sortBy(0, Qt::AscendingOrder);
}

void ListView::sortBy(int column, Qt::SortOrder order)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_shown->sortBy(column, order);
    QApplication::restoreOverrideCursor();
    if (currentIndex().isValid())
        scrollTo(currentIndex());
}

void ListView::setFooter(QWidget* footer)
{
    m_footer = footer;
    footer->setParent(this);
    footer->show();
    updateGeometries();
}

void ListView::setSidePane(QWidget* pane, int width)
{
    m_sidePane = pane;
    m_sidePaneWidth = width;
    pane->setParent(this);
    pane->hide();
}

void ListView::setSidePaneShown(bool shown)
{
    if (!m_sidePane || m_sidePane->isVisibleTo(this) == shown)
        return;
    m_sidePane->setVisible(shown);
    updateGeometries();
}

void ListView::updateGeometries()
{
    QTreeView::updateGeometries();
    if (!m_footer && !m_sidePane)
        return;
    const int bottom = m_footer ? m_footer->sizeHint().height() : 0;
    const int right = m_sidePane && m_sidePane->isVisibleTo(this) ? m_sidePaneWidth : 0;
    const QMargins margins = viewportMargins();
    if (margins.bottom() != bottom || margins.right() != right)
        setViewportMargins(margins.left(), margins.top(), right, bottom);
    const QRect rows = viewport()->geometry();
    if (m_footer)
        m_footer->setGeometry(rows.left(), rows.bottom() + 1, rows.width() + right, bottom);
    if (right > 0)
        m_sidePane->setGeometry(rows.right() + 1, frameWidth(), right,
                                rows.bottom() + 1 - frameWidth());
}

QList<int> ListView::selectedRows() const
{
    QList<int> rows;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.append(row + 1);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
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
    if (row < 1 || row > model()->rowCount())
        m_model->checkRow(0);
    setCurrentIndex(model()->index(row - 1, 0));
    selectionModel()->select(model()->index(row - 1, 0),
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void ListView::ensureVisible(int row)
{
    if (row < 1 || row > model()->rowCount())
        m_model->checkRow(0);
    scrollTo(model()->index(row - 1, 0));
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
