#pragma once

#include "core/SearchView.h"
#include "core/WindowPointer.h"
#include "core/WindowServices.h"

#include <QCursor>
#include <QHash>
#include <QRect>
#include <QWidget>

#include <memory>

class QGroupBox;
class QLineEdit;
class QCheckBox;
namespace tagsifter {
class QueryCompleter;
}
class QProgressBar;
class QPushButton;

namespace tagsifter {

class ListView;
class FileListEditor;
class FileAdder;
class FileDrop;
class Samples;
class SearchRun;
class ResultsList;
class TextExport;
class SpreadsheetExport;
class OpenFiles;
class ResultsPanel;

/// The main window: its controls, the start-up sequence, the pointer modes and the button
/// handlers, each handing its work to the subsystem it belongs to.
class Form1 : public QWidget, public WindowPointer, public SearchView
{
    Q_OBJECT
public:
    /// `applicationFolder` holds the program's own files; `exiftool` names the exiftool to
    /// run (empty: the one on the search path).
    Form1(const WindowServices& services, QString applicationFolder, QString exiftool = QString(),
          QWidget* parent = nullptr);
    ~Form1() override;

    static QString productName() { return QStringLiteral("Tagsifter"); }
    static QString webSite() { return QStringLiteral("https://www.brimvale.example/"); }
    static QString contactPage() { return QStringLiteral("https://www.brimvale.example/contact/"); }
    static QString helpText();

    /// The start-up sequence, run once before the window is shown.
    void Form_Load();
    /// Ends the run in progress and removes the program's temp files, as the window closes.
    void Form_Unload();

    Pointer mousePointer() const override { return m_mousePointer; }
    void setMousePointer(Pointer mode) override;
    bool hasCustomPointer() const { return !m_mouseIcon.pixmap().isNull(); }

    /// The start button reads "Stop" while a search runs, and its own caption again after.
    bool isRunning() const override;
    void setRunning(bool running) override;
    void showProgress(int value, const QString& text) override;
    void showSearched(int images) override;
    static QString stopCaption() { return tr("Stop"); }

    bool SaveResultsAsExcelFileIsExcelInstalled();
    /// Adds files and folders to the file list as a drop of them would.
    void addPaths(const QStringList& paths);

    // Handlers the window owns itself.
    void PushButton12_Click();
    void PushButton13_Click();

    /// The control of this designer name ("PushButton3", "ListView1", "Text1", ...).
    QWidget* control(const QString& name) const;
    ListView& fileList() const { return *m_listView1; }
    ListView& resultsList() const { return *m_listView2; }
    QLineEdit& searchBox() const { return *m_text1; }
    QProgressBar& progressBar() const { return *m_progressBar1; }
    SearchRun& searchRun() const { return *m_searchRun; }
    ResultsPanel& resultsPanel() const { return *m_resultsPanel; }

signals:
    /// The window was closed: the process ends.
    void unloaded();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void createControls();
    void createButtons();
    void createLists();
    void createSearchBox();
    void createQueryBox();
    /// The search box's tool tip: how its query is read while "Query" is ticked.
    void showQueryReading();
    /// While "Query" is ticked, the search box offers the tags of the cache's last dumps.
    void offerTags();
    void createProgressBar();
    void setTabOrder();
    void connectButtons();
    void ApplySkin();
    void RandomWebSiteVisit();
    void buttonHover();
    void pointerReset();
    void centreOnScreen();
    void createResultsPanel();
    /// True when the search box's text is read as a query.
    bool queryMode() const;

    WindowServices m_services;
    QString m_applicationFolder;
    Pointer m_mousePointer = Pointer::Default;
    QCursor m_mouseIcon;

    QPushButton* m_pushButton[18] = {};
    ListView* m_listView1 = nullptr;
    ListView* m_listView2 = nullptr;
    QGroupBox* m_frame2 = nullptr;
    QLineEdit* m_text1 = nullptr;
    /// "Query": the search box holds a query.
    QCheckBox* m_queryBox = nullptr;
    QueryCompleter* m_completer = nullptr;
    QProgressBar* m_progressBar1 = nullptr;
    QString m_savedCaption;
    /// The controls' places in the designed layout, from which a larger window lays them out.
    QHash<QWidget*, QRect> m_designed;
    /// The lists' widths as last laid out.
    QHash<QWidget*, int> m_listWidths;

    std::unique_ptr<FileListEditor> m_editor;
    std::unique_ptr<FileAdder> m_adder;
    std::unique_ptr<FileDrop> m_drop;
    std::unique_ptr<Samples> m_samples;
    std::unique_ptr<SearchRun> m_searchRun;
    std::unique_ptr<ResultsList> m_resultsList;
    std::unique_ptr<TextExport> m_textExport;
    std::unique_ptr<SpreadsheetExport> m_spreadsheetExport;
    std::unique_ptr<OpenFiles> m_openFiles;
    ResultsPanel* m_resultsPanel = nullptr;
};

} // namespace tagsifter
