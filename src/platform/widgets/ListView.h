#pragma once

#include "core/WindowPointer.h"
#include "platform/ChosenRow.h"
#include "platform/DropHandler.h"
#include "platform/ListModel.h"
#include "platform/ShownRows.h"

#include <QCursor>
#include <QPersistentModelIndex>
#include <QStringList>
#include <QTreeView>

class QMenu;

namespace tagsifter {

/// A list in report view: rows with columns under a header, addressed by 1-based position.
/// Both lists of the window are one of these. Reading the current row when there is none
/// throws Failure, as the callers' error reports expect.
class ListView : public QTreeView
{
    Q_OBJECT
public:
    explicit ListView(QWidget* parent = nullptr);

    // Columns and rows, 1-based, as the model has them.
    void addColumn(const QString& header) { m_model->addColumn(header); }
    int columnCount() const { return m_model->columnCount(); }
    QString headerText(int column) const { return m_model->headerText(column); }
    void setHeaderText(int column, const QString& text) { m_model->setHeaderText(column, text); }
    void setColumnWidthTwips(int column, int twips);

    int addItem(const QString& text, const QStringList& subItems = {})
    {
        return m_model->addItem(text, subItems);
    }
    int count() const { return m_model->count(); }
    QString text(int row) const { return m_model->text(row); }
    QString cell(int row, int column) const { return m_model->cell(row, column); }
    QString subItem(int row, int k) const { return m_model->subItem(row, k); }
    void setText(int row, const QString& text) { m_model->setText(row, text); }
    void remove(int row) { m_model->remove(row); }
    void removeRange(int row, int count) { m_model->removeRange(row, count); }
    void removeRowsAt(const QList<int>& rows) { m_model->removeRowsAt(rows); }
    void clear() { m_model->clear(); }
    QStringList texts() const { return m_model->texts(); }

    /// The chosen row's position: the row last selected, while it exists, even when a press
    /// below the rows has cleared its highlight; 0 when there is none.
    int selectedIndex() const;
    /// The current row's text; throws Failure when no row is current.
    QString selectedText() const;
    /// Removes the current row, if there is one.
    void removeSelected();
    void select(int row);
    void ensureVisible(int row);
    /// The row at `point` in the list's own coordinates, or 0.
    int hitTest(const QPoint& point) const;

    /// The list's own pointer: the default, the arrow, or (Custom) the picture given.
    void setListPointer(Pointer mode, const QCursor& picture = QCursor());
    Pointer listPointer() const { return m_pointerMode; }
    /// While the window is busy its hourglass shows over the list too.
    void setWindowBusy(bool busy);

    void setDropHandler(DropHandler* handler);
    /// Shows the rows through a model that sorts and filters them (shownRows()): a click on a
    /// column header sorts by it, a second reverses, a third shows the order found (also in
    /// the header's context menu); several rows can be selected. Positions of the view (select,
    /// hitTest, the chosen row) are then those shown.
    void enableSortAndFilter();
    /// The rows as shown; null unless enableSortAndFilter() was called.
    ShownRows* shownRows() const { return m_shown; }
    /// The positions shown of the selected rows, ascending.
    QList<int> selectedRows() const;
    /// What a click on the header of `column` (1-based) does: ascending, then descending,
    /// then the order found.
    void cycleSort(int column);
    /// The header's menu for `column` (1-based): ascending, descending, the order found.
    QMenu* sortMenu(int column);
    /// Puts `footer` inside the list's frame, under its rows and over its scroll bar, at its
    /// size hint's height: the list keeps its place and size, its rows have less room.
    void setFooter(QWidget* footer);
    QWidget* footer() const { return m_footer; }
    /// Puts `pane` inside the list's frame, right of its rows, `width` wide while it shows.
    void setSidePane(QWidget* pane, int width);
    void setSidePaneShown(bool shown);
    ListModel* listModel() const { return m_model; }
    /// The row the user chose, beside the model: what acts on it needs no view.
    ChosenRow& chosenRow() const { return *m_chosenRow; }

signals:
    void itemClicked(int row);
    void mousePressed(Qt::MouseButton button, QPoint position);
    void mouseMoved(Qt::MouseButtons buttons, QPoint position, QPoint screenPosition);
    void mouseReleased(Qt::MouseButton button, QPoint position);
    void keyPressed(int key, Qt::KeyboardModifiers modifiers);
    void doubleClicked();

protected:
    void updateGeometries() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void applyPointer();
    void sortBy(int column, Qt::SortOrder order);

    ListModel* m_model;
    ShownRows* m_shown = nullptr;
    QWidget* m_footer = nullptr;
    QWidget* m_sidePane = nullptr;
    int m_sidePaneWidth = 0;
    int m_savedScroll = 0;
    ChosenRow* m_chosenRow = nullptr;
    DropHandler* m_dropHandler = nullptr;
    Pointer m_pointerMode = Pointer::Default;
    QCursor m_pointerPicture;
    bool m_windowBusy = false;
};

/// Twips to logical pixels: 15 twips are one pixel.
int twipsToPixels(int twips);

} // namespace tagsifter
