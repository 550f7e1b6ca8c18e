#include "ResultsPanel.h"

#include "platform/widgets/ImagePreview.h"
#include "platform/widgets/ListView.h"
#include "results/ClipboardCopy.h"
#include "results/OpenFiles.h"
#include "results/ResultsList.h"
#include "results/Totals.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

namespace tagsifter {

ResultsPanel::ResultsPanel(const WindowServices& services, ListView& results, ResultsList& removals,
                           OpenFiles& openFiles, QList<QPushButton*> exportButtons, QWidget& window)
    : QObject(&results), m_services(services), m_results(results), m_removals(removals),
      m_openFiles(openFiles), m_exportButtons(std::move(exportButtons))
{
    createFooter();
    createActions(window);
    createPreview();
    ShownRows& shown = *m_results.shownRows();
    // A burst of changes (rows found, keys typed) is shown once, at the next turn of the loop.
    m_totalsTimer = new QTimer(this);
    m_totalsTimer->setSingleShot(true);
    m_totalsTimer->setInterval(0);
    connect(m_totalsTimer, &QTimer::timeout, this, &ResultsPanel::showTotals);
    connect(&shown, &ShownRows::shownChanged, m_totalsTimer, qOverload<>(&QTimer::start));
    connect(&shown, &ShownRows::listRenewed, this, [this] { m_imagesSearched = -1; });
    m_filterTimer = new QTimer(this);
    m_filterTimer->setSingleShot(true);
    m_filterTimer->setInterval(0);
    connect(m_filterTimer, &QTimer::timeout, this, &ResultsPanel::applyFilter);
    connect(m_filter, &QLineEdit::textChanged, m_filterTimer, qOverload<>(&QTimer::start));
}

void ResultsPanel::createFooter()
{
    auto* footer = new QWidget;
    footer->setObjectName(QStringLiteral("ResultsBar"));
    footer->setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(footer);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(6);
    m_filter = new QLineEdit(footer);
    m_filter->setObjectName(QStringLiteral("ResultsFilter"));
    m_filter->setPlaceholderText(filterName());
    m_filter->setAccessibleName(filterName());
    m_filter->setToolTip(tr("Shows only the rows whose path, tag or value contains this text "
                            "(Ctrl+F; Esc clears it)"));
    m_filter->setClearButtonEnabled(true);
    m_filter->setFixedWidth(170);
    // Esc clears the filter: every row shows again.
    auto* clear =
        new QShortcut(QKeySequence(Qt::Key_Escape), m_filter, nullptr, nullptr, Qt::WidgetShortcut);
    connect(clear, &QShortcut::activated, m_filter, &QLineEdit::clear);
    m_totals = new QLabel(footer);
    m_totals->setObjectName(QStringLiteral("ResultsTotals"));
    m_totals->setAccessibleName(totalsName());
    m_totals->setTextFormat(Qt::PlainText);
    m_totals->setMinimumWidth(10);
    m_totals->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(m_filter);
    layout->addWidget(m_totals, 1);
    m_results.setFooter(footer);
}

QAction* ResultsPanel::addAction(const QString& text, const QKeySequence& key,
                                 void (ResultsPanel::*slot)())
{
    auto* action = new QAction(text, &m_results);
    if (!key.isEmpty()) {
        action->setShortcut(key);
        action->setShortcutContext(Qt::WidgetShortcut);
        m_results.addAction(action);
    }
    connect(action, &QAction::triggered, this, slot);
    m_rowActions.append(action);
    return action;
}

void ResultsPanel::createActions(QWidget& window)
{
    addAction(tr("Open"), QKeySequence(Qt::Key_Return), &ResultsPanel::openRows);
    addAction(tr("Open Containing Folder"), QKeySequence(Qt::CTRL | Qt::Key_Return),
              &ResultsPanel::openFolders);
    addAction(tr("Copy Rows"), QKeySequence::Copy, &ResultsPanel::copyRows);
    addAction(tr("Copy Paths"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C),
              &ResultsPanel::copyPaths);
    addAction(tr("Copy Value"), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_C),
              &ResultsPanel::copyValue);
    addAction(tr("Remove"), QKeySequence::Delete, &ResultsPanel::remove);
    addAction(tr("Search For This Value"), QKeySequence(Qt::CTRL | Qt::Key_E),
              &ResultsPanel::searchForValue);
    // Undo and redo reach the results from anywhere in the window but a text box, which
    // undoes its own typing.
    m_undo = new QAction(tr("Undo Removal"), &window);
    m_undo->setShortcut(QKeySequence::Undo);
    m_redo = new QAction(tr("Redo Removal"), &window);
    m_redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence::Redo});
    for (QAction* action : {m_undo, m_redo}) {
        action->setShortcutContext(Qt::WindowShortcut);
        window.addAction(action);
    }
    connect(m_undo, &QAction::triggered, &m_removals, &ResultsList::undo);
    connect(m_redo, &QAction::triggered, &m_removals, &ResultsList::redo);
    const auto history = [this] {
        m_undo->setEnabled(m_removals.canUndo());
        m_redo->setEnabled(m_removals.canRedo());
    };
    connect(&m_removals, &ResultsList::historyChanged, this, history);
    history();
    auto* find = new QShortcut(QKeySequence::Find, &window);
    connect(find, &QShortcut::activated, m_filter, [this] {
        m_filter->setFocus(Qt::ShortcutFocusReason);
        m_filter->selectAll();
    });
    // Shift+F10 opens the menu at the current row, as the Menu key does.
    auto* menuKey = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), &m_results, nullptr,
                                  nullptr, Qt::WidgetShortcut);
    connect(menuKey, &QShortcut::activated, this, [this] {
        const QRect row = m_results.visualRect(m_results.currentIndex());
        rowMenu()->popup(
            m_results.viewport()->mapToGlobal(row.isValid() ? row.center() : QPoint(0, 0)));
    });
    m_results.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&m_results, &QWidget::customContextMenuRequested, this,
            [this](QPoint at) { rowMenu()->popup(m_results.viewport()->mapToGlobal(at)); });
}

QMenu* ResultsPanel::rowMenu()
{
    auto* menu = new QMenu(&m_results);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setAccessibleName(tr("Result row"));
    const bool any = !rows().isEmpty();
    for (qsizetype i = 0; i < m_rowActions.size(); ++i) {
        if (i == 2 || i == 5)
            menu->addSeparator();
        m_rowActions.at(i)->setEnabled(any);
        menu->addAction(m_rowActions.at(i));
    }
    menu->addSeparator();
    QMenu* sort = menu->addMenu(tr("Sort By"));
    for (int column = 1; column <= m_results.columnCount(); ++column)
        sort->addAction(m_results.headerText(column), this,
                        [this, column] { m_results.cycleSort(column); });
    sort->addAction(tr("Order Found"), this,
                    [this] { m_results.shownRows()->sortBy(0, Qt::AscendingOrder); });
    menu->addAction(m_undo);
    menu->addAction(m_redo);
    return menu;
}

QList<int> ResultsPanel::rows() const
{
    return m_results.chosenRow().selectedOrChosen();
}

void ResultsPanel::openRows()
{
    m_openFiles.openRows(rows());
}

void ResultsPanel::openFolders()
{
    m_openFiles.openFolders(rows());
}

void ResultsPanel::copyRows()
{
    copied(copyRowsToClipboard(m_services, *m_results.shownRows(), rows()));
}

void ResultsPanel::copyPaths()
{
    copied(copyPathsToClipboard(m_services, *m_results.shownRows(), rows()));
}

void ResultsPanel::copyValue()
{
    copied(copyValuesToClipboard(m_services, *m_results.shownRows(), rows()));
}

void ResultsPanel::copied(bool ok)
{
    if (!ok)
        m_services.user.messages->show(copyFailedMessage(), MessageFlags::Ok);
}

void ResultsPanel::remove()
{
    m_removals.removeSelected();
}

void ResultsPanel::searchForValue()
{
    const int row = m_results.chosenRow().index();
    if (row > 0) {
        const ShownRows& shown = *m_results.shownRows();
        emit searchFor(shown.cell(row, 2), shown.cell(row, 3));
    }
}

void ResultsPanel::createPreview()
{
    m_preview = new ImagePreview(this);
    connect(m_preview, &ImagePreview::shown, this, &ResultsPanel::previewShown);
    m_pane = new QLabel;
    m_pane->setObjectName(QStringLiteral("ResultsPreview"));
    m_pane->setAccessibleName(previewName());
    m_pane->setAlignment(Qt::AlignCenter);
    m_pane->setWordWrap(true);
    m_pane->setFrameShape(QFrame::StyledPanel);
    m_results.setSidePane(m_pane, m_preview->limits().box.width() + 8);
    m_popup = new QLabel(&m_results, Qt::ToolTip);
    m_popup->setObjectName(QStringLiteral("ResultsPreviewPopup"));
    m_popup->setAccessibleName(previewName());
    m_popup->setAlignment(Qt::AlignCenter);
    m_popup->setFrameShape(QFrame::Box);
    m_popup->setAutoFillBackground(true);
    m_hoverTimer = new QTimer(this);
    m_hoverTimer->setSingleShot(true);
    m_hoverTimer->setInterval(600);
    connect(m_hoverTimer, &QTimer::timeout, this, [this] {
        if (!m_hoverPath.isEmpty())
            m_preview->request(m_hoverPath);
    });
    connect(m_results.selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &ResultsPanel::showCurrentPreview);
    connect(&m_results, &ListView::mouseMoved, this,
            [this](Qt::MouseButtons buttons, QPoint at, QPoint screenAt) {
                if (buttons == Qt::NoButton)
                    hovered(at, screenAt);
            });
    m_viewport = m_results.viewport();
    m_viewport->installEventFilter(this);
}

void ResultsPanel::setHoverDelay(int ms)
{
    m_hoverTimer->setInterval(ms);
}

void ResultsPanel::setWide(bool wide)
{
    if (wide == m_wide)
        return;
    m_wide = wide;
    m_results.setSidePaneShown(wide);
    m_popup->hide();
    if (wide)
        showCurrentPreview();
}

void ResultsPanel::showCurrentPreview()
{
    if (!m_wide)
        return;
    const QModelIndex current = m_results.currentIndex();
    m_panePath = current.isValid() ? m_results.shownRows()->text(current.row() + 1) : QString();
    if (m_panePath.isEmpty()) {
        m_pane->clear();
        return;
    }
    m_preview->request(m_panePath);
}

void ResultsPanel::hovered(QPoint at, QPoint screenAt)
{
    if (m_wide)
        return;
    const int row = m_results.hitTest(at);
    const QString path = row > 0 ? m_results.shownRows()->text(row) : QString();
    if (path == m_hoverPath)
        return;
    m_hoverPath = path;
    m_hoverAt = screenAt;
    m_popup->hide();
    if (path.isEmpty())
        m_hoverTimer->stop();
    else
        m_hoverTimer->start();
}

bool ResultsPanel::eventFilter(QObject* watched, QEvent* event)
{
    // The list may be going: only the pointers kept are compared.
    if (event->type() == QEvent::Leave && watched == m_viewport && m_popup) {
        m_hoverPath.clear();
        m_hoverTimer->stop();
        m_popup->hide();
    }
    return QObject::eventFilter(watched, event);
}

void ResultsPanel::previewShown(const QString& path, const QImage& picture, const QString& reason)
{
    QLabel* target = m_wide ? m_pane : m_popup.data();
    if (path != (m_wide ? m_panePath : m_hoverPath))
        return;
    if (picture.isNull())
        target->setText(reason);
    else
        target->setPixmap(QPixmap::fromImage(picture));
    target->setAccessibleDescription(reason.isEmpty() ? path : reason);
    if (!m_wide) {
        m_popup->adjustSize();
        m_popup->move(m_hoverAt + QPoint(16, 16));
        m_popup->show();
    }
}

void ResultsPanel::searched(int images)
{
    m_imagesSearched = images;
    showTotals();
}

void ResultsPanel::updateNow()
{
    applyFilter();
    showTotals();
}

void ResultsPanel::applyFilter()
{
    m_filterTimer->stop();
    ShownRows& shown = *m_results.shownRows();
    shown.setFilterText(m_filter->text());
    const QString tip = shown.isFiltered() ? shownOnlyTip() : QString();
    for (QPushButton* button : m_exportButtons) {
        button->setToolTip(tip);
        button->setAccessibleDescription(tip);
    }
}

void ResultsPanel::showTotals()
{
    m_totalsTimer->stop();
    const Totals::Counts counts = Totals::countsOf(*m_results.shownRows(), m_imagesSearched);
    const QString line = Totals::text(counts);
    const QString note = Totals::note(counts);
    if (m_totals->text() == line && m_totals->toolTip() == note)
        return;
    m_totals->setText(line);
    m_totals->setToolTip(note);
    m_totals->setAccessibleName(note.isEmpty() ? totalsName() : note);
}

} // namespace tagsifter
