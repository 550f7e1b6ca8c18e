#pragma once

#include "core/WindowServices.h"

#include <QLabel>
#include <QObject>
#include <QPoint>
#include <QPointer>

class QAction;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;

namespace tagsifter {

class ImagePreview;
class ListView;
class OpenFiles;
class ResultsList;

/// What the window adds to its results list: the filter box and the totals line inside the
/// list's frame, the rows' context menu and the keys of its actions (Open, Open Containing
/// Folder, Copy Rows, Copy Paths, Copy Value, Remove, Search For This Value, Undo, Redo).
class ResultsPanel : public QObject
{
    Q_OBJECT
public:
    /// `exportButtons` are told in their tool tips when they work on the rows shown only.
    ResultsPanel(const WindowServices& services, ListView& results, ResultsList& removals,
                 OpenFiles& openFiles, QList<QPushButton*> exportButtons, QWidget& window);

    QLineEdit& filterBox() const { return *m_filter; }
    QLabel& totals() const { return *m_totals; }
    /// The rows' context menu, for the rows selected now.
    QMenu* rowMenu();
    /// Shows the preview pane beside the rows (the window is wide enough), or the preview
    /// over a row the pointer rests on.
    void setWide(bool wide);
    QLabel& previewPane() const { return *m_pane; }
    QLabel& previewPopup() const { return *m_popup; }
    ImagePreview& preview() const { return *m_preview; }
    void setHoverDelay(int ms);
    /// A run has ended, `images` searched.
    void searched(int images);
    /// Shows the filter's and the totals' state at once, not at the next turn of the loop.
    void updateNow();

    static QString filterName() { return tr("Filter results"); }
    static QString totalsName() { return tr("Results totals"); }
    static QString previewName() { return tr("Preview"); }
    static QString shownOnlyTip() { return tr("Works on the rows shown by the filter only"); }

signals:
    /// "Search For This Value" on a row with this tag and value.
    void searchFor(const QString& tag, const QString& value);

private:
    void createFooter();
    void createActions(QWidget& window);
    QAction* addAction(const QString& text, const QKeySequence& key, void (ResultsPanel::*slot)());
    void applyFilter();
    void showTotals();
    QList<int> rows() const;
    void openRows();
    void openFolders();
    void copyRows();
    void copyPaths();
    void copyValue();
    void remove();
    void searchForValue();
    void copied(bool ok);
    void createPreview();
    void showCurrentPreview();
    void hovered(QPoint at, QPoint screenAt);
    void previewShown(const QString& path, const QImage& picture, const QString& reason);
    bool eventFilter(QObject* watched, QEvent* event) override;

    WindowServices m_services;
    ListView& m_results;
    ResultsList& m_removals;
    OpenFiles& m_openFiles;
    QList<QPushButton*> m_exportButtons;
    QLineEdit* m_filter = nullptr;
    QLabel* m_totals = nullptr;
    QTimer* m_filterTimer = nullptr;
    QTimer* m_totalsTimer = nullptr;
    QList<QAction*> m_rowActions;
    QAction* m_undo = nullptr;
    QAction* m_redo = nullptr;
    int m_imagesSearched = -1;
    ImagePreview* m_preview = nullptr;
    QLabel* m_pane = nullptr;
    QPointer<QLabel> m_popup;
    QPointer<QWidget> m_viewport;
    QTimer* m_hoverTimer = nullptr;
    bool m_wide = false;
    /// The image under the pointer, and where the pointer rests, for the pop-up.
    QString m_hoverPath;
    QPoint m_hoverAt;
    QString m_panePath;
};

} // namespace tagsifter
