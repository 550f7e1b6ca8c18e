#pragma once

#include <QAbstractTableModel>
#include <QCursor>
#include <QStringList>
#include <QTreeView>

#include <vector>

class QMimeData;

namespace tagsifter {

/// The rows of a list view: a text per row and its sub-items, under a row of column headers.
class ListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit ListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void addColumn(const QString& header);
    QString headerText(int column) const;
    void setHeaderText(int column, const QString& text);

    void append(const QString& text, const QStringList& subItems);
    const QString& text(int row) const { return m_rows[static_cast<size_t>(row)].text; }
    QString subItem(int row, int k) const;
    void setText(int row, const QString& text);
    void removeRun(int row, int count);
    void clear();

private:
    struct Row
    {
        QString text;
        QStringList subItems;
    };
    QStringList m_headers;
    std::vector<Row> m_rows;
};

/// What a list does with things dragged onto it from outside.
class DropHandler
{
public:
    virtual ~DropHandler() = default;
    virtual bool canAccept(const QMimeData* data) const = 0;
    virtual void drop(const QMimeData* data) = 0;
};

/// A list in report view: rows with columns under a header, addressed by 1-based position.
/// Both lists of the window are one of these. Reading the current row when there is none
/// throws Failure, as the callers' error reports expect.
class ListView : public QTreeView
{
    Q_OBJECT
public:
    explicit ListView(QWidget* parent = nullptr);

    // Columns, 1-based.
    void addColumn(const QString& header);
    int columnCount() const { return m_model->columnCount(); }
    QString headerText(int column) const;
    void setHeaderText(int column, const QString& text);
    void setColumnWidthTwips(int column, int twips);

    // Rows, 1-based.
    int addItem(const QString& text, const QStringList& subItems = {});
    int count() const { return m_model->rowCount(); }
    QString text(int row) const;
    /// Column 1 is the row text, column k (k >= 2) sub-item k - 1.
    QString cell(int row, int column) const;
    QString subItem(int row, int k) const;
    void setText(int row, const QString& text);
    void remove(int row);
    /// Removes `count` rows from `row` on in one step.
    void removeRange(int row, int count);
    void clear();

    /// The current row's position, or 0 when no row is current.
    int selectedIndex() const;
    /// The current row's text; throws Failure when no row is current.
    QString selectedText() const;
    void select(int row);
    void ensureVisible(int row);
    /// The row at `point` in the list's own coordinates, or 0.
    int hitTest(const QPoint& point) const;

    /// The list's own pointer: 0 default, 1 arrow, 99 the picture given.
    void setListPointer(int mode, const QCursor& picture = QCursor());
    int listPointer() const { return m_pointerMode; }
    /// While the window is busy its hourglass shows over the list too.
    void setWindowBusy(bool busy);

    void setDropHandler(DropHandler* handler);
    ListModel* listModel() const { return m_model; }

signals:
    void itemClicked(int row);
    void mousePressed(Qt::MouseButton button, QPoint position);
    void mouseMoved(Qt::MouseButtons buttons, QPoint position, QPoint screenPosition);
    void mouseReleased(Qt::MouseButton button, QPoint position);
    void keyPressed(int key, Qt::KeyboardModifiers modifiers);
    void doubleClicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void checkRow(int row) const;
    void applyPointer();

    ListModel* m_model;
    DropHandler* m_dropHandler = nullptr;
    int m_pointerMode = 0;
    QCursor m_pointerPicture;
    bool m_windowBusy = false;
};

/// Twips to logical pixels: 15 twips are one pixel.
int twipsToPixels(int twips);

} // namespace tagsifter
