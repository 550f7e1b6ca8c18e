#include "Form1.h"

#include "app/QueryCompleter.h"
#include "app/ResultsPanel.h"
#include "app/SearchRun.h"
#include "core/AppTitle.h"
#include "core/ErrorReport.h"
#include "core/Failure.h"
#include "filelist/FileAdder.h"
#include "filelist/FileDrop.h"
#include "filelist/FileListEditor.h"
#include "filelist/Samples.h"
#include "platform/widgets/ImagePreview.h"
#include "platform/widgets/ListView.h"
#include "results/ClipboardCopy.h"
#include "results/OpenFiles.h"
#include "results/ResultsList.h"
#include "results/SearchForValue.h"
#include "results/SpreadsheetExport.h"
#include "results/TextExport.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QGroupBox>
#include <QIcon>
#include <QShortcut>

#include <QCheckBox>
#include <QImageReader>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QUrl>

#include <algorithm>

#include <utility>

// The icon lives in this static library's resources: naming their initialiser keeps them in the
// program, which would otherwise drop them as unused.
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace tagsifter {

namespace {

struct ButtonSpec
{
    int number;
    const char* caption;
    int left, top, width, height;
};

// Positions and sizes in twips, as the window was laid out.
constexpr ButtonSpec kButtons[] = {
    {12, QT_TR_NOOP("Help"), 120, 120, 7800, 405},
    {3, QT_TR_NOOP("Add JPEG File(s)"), 120, 2530, 3840, 405},
    {4, QT_TR_NOOP("Add All JPEG File(s) In Folder"), 4080, 2530, 3840, 405},
    {7, QT_TR_NOOP("Clear List"), 120, 3040, 3840, 405},
    {13, QT_TR_NOOP("Load Sample/Example Files"), 4080, 3040, 3840, 405},
    {1, QT_TR_NOOP("Start Finding"), 120, 4425, 7800, 405},
    {15, QT_TR_NOOP("Open Selected File"), 120, 6840, 3840, 405},
    {16, QT_TR_NOOP("Open All Files"), 4080, 6840, 3840, 405},
    {2, QT_TR_NOOP("Save Results As Text File"), 120, 7350, 3840, 405},
    {14, QT_TR_NOOP("Save Results As Excel File"), 4080, 7350, 3840, 405},
    {8, QT_TR_NOOP("Copy Results To Clipboard"), 120, 7860, 3840, 405},
    {6, QT_TR_NOOP("Clear Results"), 4080, 7860, 3840, 405},
    {17, QT_TR_NOOP("Remove Results Containing X"), 120, 8370, 3840, 405},
    {11, QT_TR_NOOP("Remove Results Not Containing X"), 4080, 8370, 3840, 405},
};

QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                 twipsToPixels(height));
}

// Where a control of the designed layout goes in a window `extra` larger than designed. The
// lists take the extra height, the file list a quarter and the results list the rest, and
// what lies below each list moves down with it; whatever spans the width widens, and the
// buttons of a pair share the extra width, so that they keep their order and grouping.
QRect grownGeometry(const QRect& designed, QSize extra)
{
    const int fileListBottom = twipsToPixels(630 + 1815);
    const int resultsTop = twipsToPixels(4935);
    const int resultsBottom = twipsToPixels(4935 + 1815);
    const int fileListGrowth = extra.height() / 4;
    const int resultsGrowth = extra.height() - fileListGrowth;
    QRect grown = designed;
    if (designed.top() >= resultsBottom)
        grown.translate(0, fileListGrowth + resultsGrowth);
    else if (designed.top() >= fileListBottom)
        grown.translate(0, fileListGrowth);
    if (designed.bottom() == fileListBottom - 1)
        grown.setHeight(designed.height() + fileListGrowth);
    else if (designed.top() == resultsTop)
        grown.setHeight(designed.height() + resultsGrowth);
    const int fullWidth = twipsToPixels(7800);
    if (designed.width() >= fullWidth) {
        grown.setWidth(designed.width() + extra.width());
    } else if (designed.left() < twipsToPixels(4080)) {
        grown.setWidth(designed.width() + extra.width() / 2);
    } else {
        grown.translate(extra.width() / 2, 0);
        grown.setWidth(designed.width() + extra.width() - extra.width() / 2);
    }
    return grown;
}

// A progress bar that shows its text as it stands: QProgressBar would read "%p", "%v" and "%m"
// in a file name as its own placeholders.
class PlainProgressBar : public QProgressBar
{
public:
    using QProgressBar::QProgressBar;
    QString text() const override { return format(); }
};

QFont arial(double points)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

} // namespace

Form1::Form1(const WindowServices& services, QString applicationFolder, QString exiftool,
             QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      m_services(services), m_applicationFolder(std::move(applicationFolder))
{
    initResources();
    createControls();

    m_editor =
        std::make_unique<FileListEditor>(m_services, *m_listView1, *this, m_applicationFolder);
    m_adder = std::make_unique<FileAdder>(m_services, *m_listView1->listModel(), *this);
    m_drop = std::make_unique<FileDrop>(m_services, *m_listView1->listModel());
    m_listView1->setDropHandler(m_drop.get());
    m_samples = std::make_unique<Samples>(m_services, m_applicationFolder);
    SearchControls controls;
    controls.fileList = m_listView1->listModel();
    controls.results = m_listView2->listModel();
    controls.view = this;
    controls.searchText = [this] { return m_text1->text(); };
    controls.queryMode = [this] { return m_queryBox->isChecked(); };
    controls.pointer = this;
    m_searchRun = std::make_unique<SearchRun>(m_services, controls, std::move(exiftool));
    offerTags();
    // The results' subsystems work on the list's model and its chosen row; the view is the
    // window's.
    m_listView2->enableSortAndFilter();
    ShownRows& results = *m_listView2->shownRows();
    ChosenRow& chosen = m_listView2->chosenRow();
    m_resultsList = std::make_unique<ResultsList>(m_services, results, chosen, *this);
    connect(m_listView2, &ListView::doubleClicked, m_resultsList.get(),
            &ResultsList::ListView2_DblClick);
    m_textExport = std::make_unique<TextExport>(m_services, results, *this);
    m_spreadsheetExport = std::make_unique<SpreadsheetExport>(m_services, results, *this);
    m_openFiles = std::make_unique<OpenFiles>(m_services, results, chosen, *this);
    createResultsPanel();

    connectButtons();
}

Form1::~Form1() = default;

void Form1::createControls()
{
    // The designed size is where the window opens and the least it can be.
    setMinimumSize(twipsToPixels(8040), twipsToPixels(9420));
    resize(minimumSize());
    setFont(arial(9));
    setAutoFillBackground(true);
    // The designed white background with the designed dark text, whatever the desktop's theme:
    // a dark theme's light text would not read on it.
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    setPalette(white);
    setMouseTracking(true);
    installEventFilter(this);
    createButtons();
    createLists();
    createSearchBox();
    createProgressBar();
    setTabOrder();
    for (QWidget* control :
         {static_cast<QWidget*>(m_listView1), static_cast<QWidget*>(m_listView2),
          static_cast<QWidget*>(m_frame2), static_cast<QWidget*>(m_progressBar1)})
        m_designed.insert(control, control->geometry());
    for (QPushButton* button : m_pushButton) {
        if (button)
            m_designed.insert(button, button->geometry());
    }
    m_listView1->setFocus();
}

void Form1::createResultsPanel()
{
    m_resultsPanel = new ResultsPanel(
        m_services, *m_listView2, *m_resultsList, *m_openFiles,
        {m_pushButton[2], m_pushButton[14], m_pushButton[8], m_pushButton[16]}, *this);
    QWidget::setTabOrder(m_listView2, &m_resultsPanel->filterBox());
    m_resultsPanel->preview().setExifTool(m_searchRun->exifTool().EnsureExifTool());
    connect(m_resultsPanel, &ResultsPanel::searchFor, this,
            [this](const QString& tag, const QString& value) {
                m_text1->setText(searchForValueText(tag, value, queryMode()));
                m_text1->setFocus(Qt::OtherFocusReason);
            });
}

void Form1::showSearched(int images)
{
    m_resultsPanel->searched(images);
}

void Form1::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const QSize extra = size() - minimumSize();
    for (auto it = m_designed.cbegin(); it != m_designed.cend(); ++it)
        it.key()->setGeometry(grownGeometry(it.value(), extra));
    m_text1->resize(twipsToPixels(7320) + extra.width(), m_text1->height());
    m_queryBox->move(m_frame2->width() - twipsToPixels(240) - m_queryBox->width(), 0);
    // Wider than designed by a pane's width or more: the preview shows beside the results.
    if (m_resultsPanel)
        m_resultsPanel->setWide(extra.width() >= 240);
    // The last column of each list takes the width the list gained or lost.
    for (ListView* list : {m_listView1, m_listView2}) {
        const int columns = list->columnCount();
        const int gained = list->width() - m_listWidths.value(list, -1);
        if (columns > 0 && m_listWidths.contains(list))
            list->setColumnWidth(columns - 1,
                                 std::max(list->columnWidth(columns - 1) + gained, 40));
        m_listWidths.insert(list, list->width());
    }
}

void Form1::createButtons()
{
    for (const ButtonSpec& spec : kButtons) {
        auto* button = new QPushButton(tr(spec.caption), this);
        button->setObjectName(QStringLiteral("PushButton%1").arg(spec.number));
        button->setGeometry(twipsRect(spec.left, spec.top, spec.width, spec.height));
        button->setFont(arial(11.25));
        button->setMouseTracking(true);
        button->installEventFilter(this);
        m_pushButton[spec.number] = button;
    }
}

void Form1::createLists()
{
    m_listView1 = new ListView(this);
    m_listView1->setObjectName(QStringLiteral("ListView1"));
    m_listView1->setGeometry(twipsRect(120, 630, 7800, 1815));
    m_listView1->setFont(arial(9));
    m_listView1->setToolTip(
        tr("Drag and drop files here. Double-click item to remove it. Move | line to right and "
           "out of window to reveal full names."));
    // Item views put no tool tip on the accessibility bus: a screen reader hears it this way.
    m_listView1->setAccessibleDescription(m_listView1->toolTip());
    m_listView1->setAccessibleName(tr("Image files to search"));

    m_listView2 = new ListView(this);
    m_listView2->setObjectName(QStringLiteral("ListView2"));
    m_listView2->setGeometry(twipsRect(120, 4935, 7800, 1815));
    m_listView2->setFont(arial(9));
    m_listView2->setToolTip(tr("Double-click item to remove it. Move | line to right and out of "
                               "window to reveal full names."));
    m_listView2->setAccessibleDescription(m_listView2->toolTip());
    m_listView2->setAccessibleName(tr("Search results"));
    connect(m_listView2, &ListView::mouseMoved, this, [this] { pointerReset(); });
}

void Form1::createSearchBox()
{
    m_frame2 = new QGroupBox(tr("Search For This Text Within Metadata"), this);
    m_frame2->setObjectName(QStringLiteral("Frame2"));
    m_frame2->setGeometry(twipsRect(120, 3510, 7800, 790));
    m_frame2->setAutoFillBackground(true);
    m_frame2->setPalette(palette());
    m_frame2->setMouseTracking(true);
    m_frame2->installEventFilter(this);

    m_text1 = new QLineEdit(m_frame2);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setAccessibleName(m_frame2->title());
    m_text1->setGeometry(twipsRect(240, 300, 7320, 345));
    m_text1->setMouseTracking(true);
    m_text1->installEventFilter(this);
    // Enter in the search box is a click on "Start Finding" ("Stop" during a run).
    connect(m_text1, &QLineEdit::returnPressed, this, [this] { m_pushButton[1]->click(); });
    createQueryBox();
}

void Form1::createQueryBox()
{
    // On the frame's top edge at its right, clear of its caption: the designed search box
    // keeps its place and size.
    m_queryBox = new QCheckBox(tr("Query"), m_frame2);
    m_queryBox->setObjectName(QStringLiteral("QueryBox"));
    m_queryBox->setAccessibleName(tr("Query: read the search text in the query language"));
    m_queryBox->setToolTip(
        tr("Read the search text in the query language:\n"
           "  canon \"eos 40d\"        values that contain the texts\n"
           "  model:d70  model=\"X\"    a tag's value contains / is the text\n"
           "  iso>=800  focallength:70..200  taken:2008-05..2008-06\n"
           "  has:gps  missing:gps  /^DSC_\\d+/  GPS*:north\n"
           "  a b (both)  a OR b  -a  NOT a  ( )\n"
           "Groups: date, taken, camera, lens, gps. More in the README and man tagsifter."));
    m_queryBox->setAccessibleDescription(m_queryBox->toolTip());
    m_queryBox->setAutoFillBackground(true);
    m_queryBox->setPalette(m_frame2->palette());
    m_queryBox->adjustSize();
    m_queryBox->move(m_frame2->width() - twipsToPixels(240) - m_queryBox->width(), 0);
    m_queryBox->setChecked(m_services.system.settings &&
                           m_services.system.settings->read(Setting::QueryMode) ==
                               QLatin1String("1"));
    connect(m_queryBox, &QCheckBox::toggled, this, [this](bool on) {
        if (m_services.system.settings)
            m_services.system.settings->write(Setting::QueryMode,
                                              on ? QStringLiteral("1") : QStringLiteral("0"));
        showQueryReading();
        offerTags();
    });
    connect(m_text1, &QLineEdit::textChanged, this, [this] { showQueryReading(); });
}

bool Form1::queryMode() const
{
    return m_queryBox->isChecked();
}

void Form1::showQueryReading()
{
    if (!m_searchRun || !m_queryBox->isChecked() || m_text1->text().trimmed().isEmpty()) {
        m_text1->setToolTip(QString());
        return;
    }
    m_text1->setToolTip(tr("Read as: %1").arg(m_searchRun->explain(m_text1->text())));
}

void Form1::createProgressBar()
{
    m_progressBar1 = new PlainProgressBar(this);
    m_progressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar1->setGeometry(twipsRect(120, 8895, 7800, 405));
    m_progressBar1->setRange(0, 100);
    m_progressBar1->setValue(0);
    m_progressBar1->setTextVisible(true);
    m_progressBar1->setAlignment(Qt::AlignCenter);
    m_progressBar1->setFormat(SearchView::idleText());
    m_progressBar1->setAccessibleName(SearchView::idleText());
}

void Form1::setTabOrder()
{
    const QList<QWidget*> order{
        m_listView1,      m_listView2,      m_pushButton[3],  m_pushButton[1],  m_pushButton[2],
        m_pushButton[6],  m_pushButton[17], m_pushButton[11], m_pushButton[4],  m_pushButton[7],
        m_frame2,         m_text1,          m_queryBox,       m_pushButton[8],  m_pushButton[12],
        m_pushButton[13], m_progressBar1,   m_pushButton[14], m_pushButton[15], m_pushButton[16]};
    for (int i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order.at(i), order.at(i + 1));
}

bool Form1::isRunning() const
{
    return m_pushButton[1]->text() == stopCaption();
}

void Form1::setRunning(bool running)
{
    if (running) {
        m_savedCaption = m_pushButton[1]->text();
        m_pushButton[1]->setText(stopCaption());
    } else {
        m_pushButton[1]->setText(m_savedCaption);
        // The tags of what was just searched are offered next.
        offerTags();
    }
}

void Form1::offerTags()
{
    if (!m_searchRun || !m_queryBox->isChecked()) {
        m_text1->setCompleter(nullptr);
        return;
    }
    if (!m_completer)
        m_completer = new QueryCompleter(this);
    m_completer->setTags(m_searchRun->tagSuggestions());
    m_text1->setCompleter(m_completer);
}

void Form1::showProgress(int value, const QString& text)
{
    m_progressBar1->setValue(value);
    m_progressBar1->setFormat(text);
    // A screen reader hears the text ("Processing: NAME"), not only the percentage.
    if (m_progressBar1->accessibleName() != text)
        m_progressBar1->setAccessibleName(text);
}

void Form1::connectButtons()
{
    const auto on = [this](int number, auto handler) {
        connect(m_pushButton[number], &QPushButton::clicked, this, handler);
    };
    on(1, [this] { m_searchRun->PushButton1_Click(); });
    // F1 shows Help, as everywhere on the desktop.
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, m_pushButton[12], &QPushButton::click);
    on(2, [this] { m_textExport->PushButton2_Click(); });
    on(3, [this] { m_adder->PushButton3_Click(); });
    on(4, [this] { m_adder->PushButton4_Click(); });
    on(6, [this] { m_resultsList->PushButton6_Click(); });
    on(7, [this] { m_editor->PushButton7_Click(); });
    on(8, [this] { copyResultsToClipboard(m_services, *m_listView2->shownRows()); });
    on(11, [this] { m_resultsList->PushButton11_Click(); });
    on(12, [this] { PushButton12_Click(); });
    on(13, [this] { PushButton13_Click(); });
    on(14, [this] { m_spreadsheetExport->PushButton14_Click(); });
    on(15, [this] { m_openFiles->PushButton15_Click(); });
    on(16, [this] { m_openFiles->PushButton16_Click(); });
    on(17, [this] { m_resultsList->PushButton17_Click(); });
}

QWidget* Form1::control(const QString& name) const
{
    if (name == objectName() || name == QLatin1String("Form1"))
        return const_cast<Form1*>(this);
    return findChild<QWidget*>(name);
}

QString Form1::helpText()
{
    return tr("Sometimes this software cannot search long numeric values. For example, when "
              "searching the Altitude metadata of an image, 352.676 will succeed but 352.6765140 "
              "will fail. Therefore, please try reducing your length/precision if you are not "
              "getting the results you want.") +
           QStringLiteral("\r\n\r\n") + tr("Questions? Please contact Team Brimvale at ") +
           contactPage();
}

void Form1::Form_Load()
{
    ErrorReport report(*m_services.user.messages,
                       ErrorReport::formLocation(QStringLiteral("Form_Load")));
    report.line(100, [&] { ApplySkin(); });
    report.line(104, [&] { setWindowTitle(productName()); });
    report.line(104, [&] { setWindowIcon(QIcon(QStringLiteral(":/tagsifter/tagsifter.png"))); });
    report.line(104, [&] { setApplicationTitle(appTitleFrom(productName())); });
    const QString cursorFile = m_applicationFolder + QLatin1String("/HAND-M.CUR");
    if (report.condition(106, [&] { return m_services.system.files->pathExists(cursorFile); })) {
        report.line(108, [&] {
            QImageReader reader(cursorFile);
            const QPixmap picture = QPixmap::fromImage(reader.read());
            if (picture.isNull())
                throw Failure(QStringLiteral("Invalid picture: %1").arg(cursorFile), 481);
            // The finger tip of the hand is its hot spot.
            m_mouseIcon = QCursor(picture, picture.width() / 3, 0);
        });
    }
    report.line(110, [&] { RandomWebSiteVisit(); });
    report.line(110, [&] { m_samples->checkSnapshot(); });
    report.line(126, [&] { m_samples->checkSnapshot(); });
    report.line(128, [&] { m_text1->clear(); });
    report.line(130, [&] { m_listView1->addColumn(tr("Image(s)")); });
    report.line(132, [&] { m_listView1->setColumnWidthTwips(1, 7300); });
    report.line(134, [&] { m_listView2->addColumn(tr("Image")); });
    report.line(136, [&] { m_listView2->addColumn(tr("Metadata Tag")); });
    report.line(138, [&] { m_listView2->addColumn(tr("Value")); });
    report.line(140, [&] { m_listView2->setColumnWidthTwips(1, 3300); });
    report.line(142, [&] { m_listView2->setColumnWidthTwips(2, 2000); });
    report.line(144, [&] { m_listView2->setColumnWidthTwips(3, 2000); });
    centreOnScreen();
}

void Form1::ApplySkin()
{
    const QString skinFile = m_applicationFolder + QLatin1String("/x/o.cjs");
    if (!QFile::exists(skinFile))
        return;
    const QColor buttonFace = QApplication::palette().color(QPalette::Button);
    QPalette skinned = palette();
    skinned.setColor(QPalette::Window, buttonFace);
    skinned.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::ButtonText));
    setPalette(skinned);
    m_frame2->setPalette(skinned);
    QFile file(skinFile);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("%1: %2").arg(file.errorString(), skinFile));
    setStyleSheet(QString::fromUtf8(file.readAll()));
}

void Form1::RandomWebSiteVisit()
{
    if (m_services.random->draw1To100() == 7)
        m_services.desktop.shell->openUrl(QUrl(webSite()));
}

void Form1::centreOnScreen()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        // Centred, but never above or left of the available area: at a large scale the window
        // may not fit, and its caption and top must stay reachable.
        const QRect available = screen->availableGeometry();
        QRect frame = frameGeometry();
        frame.moveCenter(available.center());
        frame.moveTop(std::max(frame.top(), available.top()));
        frame.moveLeft(std::max(frame.left(), available.left()));
        move(frame.topLeft());
    }
}

void Form1::setMousePointer(Pointer mode)
{
    m_mousePointer = mode;
    const bool busy = mode == Pointer::Hourglass;
    if (busy)
        setCursor(Qt::WaitCursor);
    else if (mode == Pointer::Custom && hasCustomPointer())
        setCursor(m_mouseIcon);
    else if (mode == Pointer::Custom)
        setCursor(Qt::ArrowCursor);
    else
        unsetCursor();
    // Controls with a pointer of their own show the hourglass too while the window is busy.
    if (busy)
        m_text1->setCursor(Qt::WaitCursor);
    else
        m_text1->setCursor(Qt::IBeamCursor);
    m_listView1->setWindowBusy(busy);
    m_listView2->setWindowBusy(busy);
}

void Form1::buttonHover()
{
    if (m_mousePointer != Pointer::Hourglass)
        setMousePointer(Pointer::Custom);
}

void Form1::pointerReset()
{
    if (m_mousePointer != Pointer::Hourglass)
        setMousePointer(Pointer::Default);
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::MouseMove)
        return QWidget::eventFilter(watched, event);
    auto* move = static_cast<QMouseEvent*>(event);
    auto* button = qobject_cast<QPushButton*>(watched);
    if (button) {
        buttonHover();
        // Unless a button is held, the move ends here: it must not reach the window behind.
        return move->buttons() == Qt::NoButton;
    }
    const QPoint at = move->position().toPoint();
    if (watched == this && !childAt(at))
        pointerReset();
    else if (watched == m_frame2 && !m_frame2->childAt(at))
        pointerReset();
    else if (watched == m_text1)
        pointerReset();
    return QWidget::eventFilter(watched, event);
}

void Form1::PushButton12_Click()
{
    ErrorReport report(*m_services.user.messages,
                       ErrorReport::formLocation(QStringLiteral("PushButton12_Click")));
    report.line(100, [&] { m_services.user.messages->show(helpText(), MessageFlags::Ok); });
}

void Form1::PushButton13_Click()
{
    ErrorReport report(*m_services.user.messages,
                       ErrorReport::formLocation(QStringLiteral("PushButton13_Click")));
    report.line(100, [&] { m_samples->LoadSampleFiles(*m_listView1->listModel()); });
    report.line(102, [&] { m_text1->setText(Samples::searchText()); });
}

bool Form1::SaveResultsAsExcelFileIsExcelInstalled()
{
    return m_spreadsheetExport->SaveResultsAsExcelFileIsExcelInstalled();
}

void Form1::addPaths(const QStringList& paths)
{
    m_drop->addDropped(paths);
}

void Form1::Form_Unload()
{
    m_searchRun->abort();
    m_searchRun->exifTool().removeTempFolder();
}

void Form1::closeEvent(QCloseEvent* event)
{
    event->accept();
    Form_Unload();
    emit unloaded();
}

} // namespace tagsifter
