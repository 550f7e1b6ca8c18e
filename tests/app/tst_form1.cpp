#include "app/Form1.h"
#include "app/QueryCompleter.h"
#include "app/SearchRun.h"
#include "core/AppTitle.h"
#include "filelist/FileDrop.h"
#include "filelist/Samples.h"
#include "platform/FileNames.h"
#include "platform/widgets/ListView.h"
#include "support/FakeServices.h"
#include "support/ScriptedProcesses.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdlib>

#include <fcntl.h>
#include <unistd.h>

using namespace tagsifter;
using namespace tagsifter::test;

namespace {

// An application folder of the test's own, with the files start-up looks for when asked.
struct AppFolder
{
    explicit AppFolder(bool withSkin, bool withCursor, bool withSamples = true)
    {
        if (withSkin)
            writeFile(dir.path() + QStringLiteral("/x/o.cjs"), "QPushButton { color: #103060; }");
        if (withCursor)
            QFile::copy(QStringLiteral(TAGSIFTER_SOURCE_DIR "/resources/HAND-M.CUR"),
                        dir.path() + QStringLiteral("/HAND-M.CUR"));
        if (withSamples) {
            writeFile(dir.path() + QStringLiteral("/Samples/b.jpg"));
            writeFile(dir.path() + QStringLiteral("/Samples/a.jpg"));
        }
    }
    QString path() const { return dir.path(); }
    QTemporaryDir dir;
};

void moveMouseOver(QWidget* widget, QPoint at = QPoint(3, 3))
{
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT
private slots:
    void inventory_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<double>("points");
        const auto row = [](const char* name, const char* caption, int l, int t, int w, int h,
                            double points) {
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(caption)
                                << QRect(l, t, w, h) << points;
        };
        row("PushButton12", "Help", 120, 120, 7800, 405, 11.25);
        row("ListView1", "", 120, 630, 7800, 1815, 9);
        row("PushButton3", "Add JPEG File(s)", 120, 2530, 3840, 405, 11.25);
        row("PushButton4", "Add All JPEG File(s) In Folder", 4080, 2530, 3840, 405, 11.25);
        row("PushButton7", "Clear List", 120, 3040, 3840, 405, 11.25);
        row("PushButton13", "Load Sample/Example Files", 4080, 3040, 3840, 405, 11.25);
        row("Frame2", "Search For This Text Within Metadata", 120, 3510, 7800, 790, 9);
        row("Text1", "", 240, 300, 7320, 345, 9);
        row("PushButton1", "Start Finding", 120, 4425, 7800, 405, 11.25);
        row("ListView2", "", 120, 4935, 7800, 1815, 9);
        row("PushButton15", "Open Selected File", 120, 6840, 3840, 405, 11.25);
        row("PushButton16", "Open All Files", 4080, 6840, 3840, 405, 11.25);
        row("PushButton2", "Save Results As Text File", 120, 7350, 3840, 405, 11.25);
        row("PushButton14", "Save Results As Excel File", 4080, 7350, 3840, 405, 11.25);
        row("PushButton8", "Copy Results To Clipboard", 120, 7860, 3840, 405, 11.25);
        row("PushButton6", "Clear Results", 4080, 7860, 3840, 405, 11.25);
        row("PushButton17", "Remove Results Containing X", 120, 8370, 3840, 405, 11.25);
        row("PushButton11", "Remove Results Not Containing X", 4080, 8370, 3840, 405, 11.25);
        row("ProgressBar1", "Progress Bar", 120, 8895, 7800, 405, 9);
    }
    void inventory()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QRect, twips);
        QFETCH(double, points);
        FakeServices fake;
        AppFolder folder(false, false);
        Form1 form(fake.window(), folder.path());
        form.Form_Load();
        QWidget* control = form.control(name);
        QVERIFY(control);
        const auto px = [](int t) { return qRound(t / 15.0); };
        QCOMPARE(control->geometry(),
                 QRect(px(twips.x()), px(twips.y()), px(twips.width()), px(twips.height())));
        QCOMPARE(control->font().family(), QStringLiteral("Arial"));
        QVERIFY(control->font().bold());
        QCOMPARE(control->font().pointSizeF(), points);
        if (auto* button = qobject_cast<QPushButton*>(control))
            QCOMPARE(button->text(), caption);
        if (auto* frame = qobject_cast<QGroupBox*>(control))
            QCOMPARE(frame->title(), caption);
        if (auto* bar = qobject_cast<QProgressBar*>(control))
            QCOMPARE(bar->text(), caption);
    }

    void theQueryBoxIsRememberedAndShowsTheReading()
    {
        FakeServices fake;
        AppFolder folder(false, false);
        {
            Form1 form(fake.window(), folder.path());
            auto* box = form.findChild<QCheckBox*>(QStringLiteral("QueryBox"));
            QVERIFY(box);
            QCOMPARE(box->text(), QStringLiteral("Query"));
            QVERIFY(box->accessibleName().contains(QStringLiteral("query")));
            QVERIFY(!box->isChecked());
            form.searchBox().setText(QStringLiteral("camera:nikon -model:d70"));
            QVERIFY(form.searchBox().toolTip().isEmpty());
            box->click();
            // The reading with the tag names known so far: groups always, exiftool's names once
            // it has listed them (none here, so "model" is no tag yet).
            QCOMPARE(form.searchBox().toolTip(),
                     QStringLiteral("Read as: (camera:\"nikon\" AND (NOT \"model:d70\"))"));
            form.searchBox().setText(QStringLiteral("(canon"));
            QCOMPARE(form.searchBox().toolTip(),
                     QStringLiteral("Read as: Column 1: the parenthesis is not closed"));
        }
        // Ticked once, it is ticked at the next start.
        Form1 again(fake.window(), folder.path());
        QVERIFY(again.findChild<QCheckBox*>(QStringLiteral("QueryBox"))->isChecked());
    }

    void theCompleterOffersTagsForTheWordBeingTyped()
    {
        QLineEdit box;
        QueryCompleter completer;
        completer.setTags({QStringLiteral("Model"), QStringLiteral("Make")});
        box.setCompleter(&completer);
        QCOMPARE(completer.splitPath(QStringLiteral("canon -(mo")), QStringList{"mo"});
        QCOMPARE(completer.splitPath(QStringLiteral("canon -mo")), QStringList{"mo"});
        // A word with its operator, a quoted text or a regular expression is no tag.
        for (const char* typed : {"model:ca", "iso>=8", "\"eos", "/ab"})
            QCOMPARE(completer.splitPath(QString::fromUtf8(typed)).first(), QStringLiteral("\x01"));
        box.setText(QStringLiteral("canon -mo"));
        completer.setCompletionPrefix(QStringLiteral("mo"));
        QCOMPARE(completer.pathFromIndex(completer.completionModel()->index(0, 0)),
                 QStringLiteral("canon -Model:"));
    }

    void windowOpensAsDesignedAndListsAreLaidOut()
    {
        FakeServices fake;
        AppFolder folder(false, false);
        Form1 form(fake.window(), folder.path());
        form.Form_Load();
        QCOMPARE(form.windowTitle(), QStringLiteral("Tagsifter"));
        QCOMPARE(form.size(), QSize(536, 628));
        QCOMPARE(form.minimumSize(), QSize(536, 628));
        QVERIFY(form.windowFlags() & Qt::WindowMaximizeButtonHint);
        QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(!form.windowIcon().isNull());
        QCOMPARE(applicationTitle(), QStringLiteral("Tagsifter"));

        ListView& files = form.fileList();
        QCOMPARE(files.columnCount(), 1);
        QCOMPARE(files.headerText(1), QStringLiteral("Image(s)"));
        QCOMPARE(files.columnWidth(0), qRound(7300 / 15.0));
        ListView& results = form.resultsList();
        QCOMPARE(results.columnCount(), 3);
        QCOMPARE(results.headerText(1), QStringLiteral("Image"));
        QCOMPARE(results.headerText(2), QStringLiteral("Metadata Tag"));
        QCOMPARE(results.headerText(3), QStringLiteral("Value"));
        QCOMPARE(results.columnWidth(0), 220);
        QCOMPARE(results.columnWidth(1), qRound(2000 / 15.0));
        QCOMPARE(results.columnWidth(2), qRound(2000 / 15.0));
        QCOMPARE(files.toolTip(),
                 QStringLiteral("Drag and drop files here. Double-click item to remove it. Move | "
                                "line to right and out of window to reveal full names."));
        QCOMPARE(results.toolTip(),
                 QStringLiteral("Double-click item to remove it. Move | line to right and out of "
                                "window to reveal full names."));
        QVERIFY(form.searchBox().text().isEmpty());
        QCOMPARE(files.count(), 0);
        QCOMPARE(results.count(), 0);
        QVERIFY(fake.messages.shown.isEmpty());
    }

    void aLargerWindowGivesTheListsTheRoom()
    {
        FakeServices fake;
        AppFolder folder(false, false);
        Form1 form(fake.window(), folder.path());
        form.Form_Load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const auto place = [&form](const char* name) { return form.control(name)->geometry(); };
        const QRect files = place("ListView1"), results = place("ListView2");
        const QRect start = place("PushButton1"), open = place("PushButton15");
        const QRect openAll = place("PushButton16"), progress = place("ProgressBar1");
        const int valueColumn = form.resultsList().columnWidth(2);
        form.resize(536 + 400, 628 + 300);
        QTRY_COMPARE(place("ListView2").width(), results.width() + 400);
        // The results list takes most of the extra height, the file list the rest; what lies
        // below each moves down with it, and the bar keeps its place at the bottom.
        QCOMPARE(place("ListView1").height(), files.height() + 75);
        QCOMPARE(place("ListView2").height(), results.height() + 225);
        QCOMPARE(place("PushButton1").top(), start.top() + 75);
        QCOMPARE(place("PushButton1").width(), start.width() + 400);
        QCOMPARE(form.height() - place("ProgressBar1").bottom(), 628 - progress.bottom());
        // A pair of buttons shares the width, in its order, side by side as designed.
        QCOMPARE(place("PushButton15").left(), open.left());
        QCOMPARE(place("PushButton16").left(), openAll.left() + 200);
        QCOMPARE(place("PushButton15").width() + place("PushButton16").width(),
                 open.width() + openAll.width() + 400);
        // The value column takes the width the list gained; back at the least size, all is as
        // designed.
        QCOMPARE(form.resultsList().columnWidth(2), valueColumn + 400);
        form.resize(200, 200);
        QTRY_COMPARE(form.size(), QSize(536, 628));
        QCOMPARE(place("ListView2"), results);
        QCOMPARE(place("PushButton16"), openAll);
        QCOMPARE(form.resultsList().columnWidth(2), valueColumn);
    }

    void theIconIsTheProgramsOwn()
    {
        // The icon's pixels, not only an icon object: its resource must be in the program.
        FakeServices fake;
        AppFolder folder(false, false);
        Form1 form(fake.window(), folder.path());
        form.Form_Load();
        const QImage shown =
            form.windowIcon().pixmap(64, 64).toImage().convertToFormat(QImage::Format_ARGB32);
        QVERIFY(!shown.isNull());
        const QImage expected =
            QImage(QStringLiteral(TAGSIFTER_SOURCE_DIR "/resources/tagsifter.png"))
                .scaled(shown.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                .convertToFormat(QImage::Format_ARGB32);
        int opaque = 0;
        for (int y = 0; y < shown.height(); y += 4) {
            for (int x = 0; x < shown.width(); x += 4) {
                const QColor a = shown.pixelColor(x, y), b = expected.pixelColor(x, y);
                QVERIFY(std::abs(a.red() - b.red()) < 40 && std::abs(a.alpha() - b.alpha()) < 40);
                opaque += a.alpha() > 128;
            }
        }
        QVERIFY(opaque > 10);
    }

    void keysOfTheDesktop()
    {
        // Enter in the search box starts the search (and stops it during a run); F1 is Help.
        FakeServices fake;
        AppFolder folder(false, false);
        Form1 form(fake.window(), folder.path());
        form.Form_Load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.searchBox().setFocus();
        form.searchBox().setText("kodak");
        QTest::keyClick(&form.searchBox(), Qt::Key_Return);
        QCOMPARE(fake.messages.texts(), QStringList({"No folders added."}));
        QTest::keyClick(&form.searchBox(), Qt::Key_F1);
        QCOMPARE(fake.messages.shown.size(), 2);
        QVERIFY(fake.messages.texts().last().contains("brimvale"));
    }

    void readableInADarkTheme()
    {
        // A dark theme gives light text; on the designed white background the text is dark.
        const QPalette saved = QApplication::palette();
        QPalette dark = saved;
        dark.setColor(QPalette::Window, QColor("#232629"));
        dark.setColor(QPalette::WindowText, QColor("#EFF0F1"));
        QApplication::setPalette(dark);
        {
            FakeServices fake;
            AppFolder folder(false, false);
            Form1 form(fake.window(), folder.path());
            form.Form_Load();
            for (QWidget* widget : {static_cast<QWidget*>(&form), form.control("Frame2")}) {
                const QColor text = widget->palette().color(QPalette::WindowText);
                const QColor background = widget->palette().color(QPalette::Window);
                QCOMPARE(background, QColor(Qt::white));
                QVERIFY2(text.lightness() < 100, qPrintable(text.name()));
            }
        }
        QApplication::setPalette(saved);
    }

    void theWindowStaysOnTheScreen()
    {
        // Run with QT_SCALE_FACTOR=2 (tst_form1_scaled): the screen is then lower than the
        // window, whose top and left stay in view and whose size stays as designed.
        FakeServices fake;
        AppFolder folder(false, false);
        Form1 form(fake.window(), folder.path());
        form.Form_Load();
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        if (available.height() >= form.height())
            QSKIP("the window fits this screen: run with QT_SCALE_FACTOR=2");
        QVERIFY(form.frameGeometry().top() >= available.top());
        QVERIFY(form.frameGeometry().left() >= available.left());
        QCOMPARE(form.size(), QSize(536, 628));
    }

    void screenReadersHearNamesAndProgress()
    {
        FakeServices fake;
        AppFolder folder(false, false);
        Form1 form(fake.window(), folder.path());
        form.Form_Load();
        const auto spoken = [](QWidget* widget, QAccessible::Text what) {
            QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
            return face ? face->text(what) : QString();
        };
        QCOMPARE(spoken(form.control("ListView1"), QAccessible::Name),
                 QString("Image files to search"));
        QCOMPARE(spoken(form.control("ListView2"), QAccessible::Name), QString("Search results"));
        form.showProgress(40, "Processing: a.jpg");
        QCOMPARE(spoken(&form.progressBar(), QAccessible::Name), QString("Processing: a.jpg"));
        form.showProgress(0, "Progress Bar");
        QCOMPARE(spoken(&form.progressBar(), QAccessible::Name), QString("Progress Bar"));
    }

    void tabOrder()
    {
        FakeServices fake;
        AppFolder folder(false, false);
        Form1 form(fake.window(), folder.path());
        const QStringList expected{"ListView1",    "ListView2",    "PushButton3",  "PushButton1",
                                   "PushButton2",  "PushButton6",  "PushButton17", "PushButton11",
                                   "PushButton4",  "PushButton7",  "Frame2",       "Text1",
                                   "PushButton8",  "PushButton12", "PushButton13", "ProgressBar1",
                                   "PushButton14", "PushButton15", "PushButton16"};
        // Tab stops only on the controls that take the focus; the frame and the progress bar
        // keep their places in the list but are passed over.
        for (QWidget* control : form.findChildren<QWidget*>()) {
            if (expected.contains(control->objectName()))
                QCOMPARE(bool(control->focusPolicy() & Qt::TabFocus),
                         control->objectName() != "Frame2" &&
                             control->objectName() != "ProgressBar1");
        }
        QStringList focusable = expected;
        focusable.removeAll("Frame2");
        focusable.removeAll("ProgressBar1");
        QStringList seen;
        QWidget* w = form.control(QStringLiteral("ListView1"));
        for (int i = 0; i < 200 && seen.size() < focusable.size(); ++i) {
            if (focusable.contains(w->objectName()) && !seen.contains(w->objectName()))
                seen.append(w->objectName());
            w = w->nextInFocusChain();
        }
        QCOMPARE(seen, focusable);
    }

    void skinAndPointerFiles_data()
    {
        QTest::addColumn<bool>("skin");
        QTest::addColumn<bool>("cursor");
        QTest::newRow("neither") << false << false;
        QTest::newRow("skin only") << true << false;
        QTest::newRow("cursor only") << false << true;
        QTest::newRow("both") << true << true;
    }
    void skinAndPointerFiles()
    {
        QFETCH(bool, skin);
        QFETCH(bool, cursor);
        FakeServices fake;
        AppFolder folder(skin, cursor);
        Form1 form(fake.window(), folder.path());
        form.Form_Load();
        const QColor expected =
            skin ? QApplication::palette().color(QPalette::Button) : QColor(Qt::white);
        QCOMPARE(form.palette().color(QPalette::Window), expected);
        QCOMPARE(form.control(QStringLiteral("Frame2"))->palette().color(QPalette::Window),
                 expected);
        QCOMPARE(form.styleSheet().isEmpty(), !skin);
        QCOMPARE(form.hasCustomPointer(), cursor);
        QVERIFY(fake.messages.shown.isEmpty());
        QCOMPARE(form.fileList().headerText(1), QStringLiteral("Image(s)"));
    }

    void unreadableCursorIsReportedAndStartUpGoesOn()
    {
        FakeServices fake;
        AppFolder folder(false, false);
        writeFile(folder.path() + QStringLiteral("/HAND-M.CUR"), "not a picture");
        Form1 form(fake.window(), folder.path());
        form.Form_Load();
        QCOMPARE(fake.messages.shown.size(), 1);
        QVERIFY(fake.messages.shown[0].text.contains(
            QStringLiteral("in Tagsift2021/08/31.Form1.Form_Load at line 108")));
        QCOMPARE(form.resultsList().columnCount(), 3);
    }

    void webSiteVisitOnOneDrawInAHundred()
    {
        for (int draw : {1, 6, 7, 8, 100}) {
            FakeServices fake;
            fake.random.value = draw;
            AppFolder folder(false, false);
            Form1 form(fake.window(), folder.path());
            form.Form_Load();
            if (draw == 7)
                QCOMPARE(fake.shell.opened,
                         QList<QUrl>{QUrl(QStringLiteral("https://www.brimvale.example/"))});
            else
                QVERIFY(fake.shell.opened.isEmpty());
        }
    }

    void sampleSnapshotAtStartUp()
    {
        FakeServices fake;
        AppFolder folder(false, false);
        {
            Form1 form(fake.window(), folder.path());
            form.Form_Load();
        }
        const QString stored = fake.settings.read(QStringLiteral("Snapshot"), QString());
        QCOMPARE(UnscrambleText(stored, Samples::scramblingKey()),
                 folder.path() + QStringLiteral("/Samples/a.jpg|") + folder.path() +
                     QStringLiteral("/Samples/b.jpg"));
        // A snapshot once taken is kept: new sample files are not seen.
        writeFile(folder.path() + QStringLiteral("/Samples/c.jpg"));
        Form1 again(fake.window(), folder.path());
        again.Form_Load();
        QCOMPARE(fake.settings.read(QStringLiteral("Snapshot"), QString()), stored);
    }

    void noSamplesLeavesTheSnapshotEmpty()
    {
        FakeServices fake;
        AppFolder folder(false, false, false);
        Form1 form(fake.window(), folder.path());
        form.Form_Load();
        QSettings raw(fake.settingsFile, QSettings::IniFormat);
        QVERIFY(raw.contains(QStringLiteral("Tagsifter/Snapshot")));
        QCOMPARE(raw.value(QStringLiteral("Tagsifter/Snapshot")).toString(), QString());
        QVERIFY(!raw.contains(QStringLiteral("Tagsifter/Extension")));
    }

    void hoverPointer()
    {
        FakeServices fake;
        AppFolder folder(false, true);
        Form1 form(fake.window(), folder.path());
        form.Form_Load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.mousePointer(), Pointer::Default);
        const QStringList buttons{"PushButton1",  "PushButton2",  "PushButton3",  "PushButton4",
                                  "PushButton6",  "PushButton7",  "PushButton8",  "PushButton11",
                                  "PushButton12", "PushButton13", "PushButton14", "PushButton15",
                                  "PushButton16", "PushButton17"};
        for (const QString& name : buttons) {
            form.setMousePointer(Pointer::Default);
            moveMouseOver(form.control(name));
            QCOMPARE(form.mousePointer(), Pointer::Custom);
            // The hand shows over the buttons: they take the window's pointer.
            QCOMPARE(form.control(name)->cursor().shape(), Qt::BitmapCursor);
        }
        // The progress bar has no handler: the hand stays until a reset area is reached.
        moveMouseOver(form.control(QStringLiteral("ProgressBar1")));
        QCOMPARE(form.mousePointer(), Pointer::Custom);
        moveMouseOver(form.control(QStringLiteral("Text1")));
        QCOMPARE(form.mousePointer(), Pointer::Default);
        QCOMPARE(form.control(QStringLiteral("PushButton1"))->cursor().shape(), Qt::ArrowCursor);

        for (const char* area : {"Form1", "Frame2", "Text1", "ListView2", "ListView1"}) {
            form.setMousePointer(Pointer::Custom);
            QWidget* target = form.control(QString::fromLatin1(area));
            if (auto* list = qobject_cast<ListView*>(target))
                target = list->viewport();
            moveMouseOver(target);
            QVERIFY2(form.mousePointer() == Pointer::Default, area);
        }

        // The hourglass survives every move.
        form.setMousePointer(Pointer::Hourglass);
        moveMouseOver(form.control(QStringLiteral("PushButton3")));
        moveMouseOver(form.control(QStringLiteral("Text1")));
        moveMouseOver(form.fileList().viewport());
        QCOMPARE(form.mousePointer(), Pointer::Hourglass);
        QCOMPARE(form.cursor().shape(), Qt::WaitCursor);
        QCOMPARE(form.control(QStringLiteral("Text1"))->cursor().shape(), Qt::WaitCursor);
        QCOMPARE(form.fileList().viewport()->cursor().shape(), Qt::WaitCursor);
        form.setMousePointer(Pointer::Default);
        QCOMPARE(form.control(QStringLiteral("Text1"))->cursor().shape(), Qt::IBeamCursor);
    }

    void hoverWithoutPointerFileShowsTheDefault()
    {
        FakeServices fake;
        AppFolder folder(false, false);
        Form1 form(fake.window(), folder.path());
        form.Form_Load();
        moveMouseOver(form.control(QStringLiteral("PushButton12")));
        QCOMPARE(form.mousePointer(), Pointer::Custom);
        QCOMPARE(form.control(QStringLiteral("PushButton12"))->cursor().shape(), Qt::ArrowCursor);
    }

    void helpNotice()
    {
        FakeServices fake;
        AppFolder folder(false, false);
        Form1 form(fake.window(), folder.path());
        form.Form_Load();
        QTest::mouseClick(qobject_cast<QPushButton*>(form.control(QStringLiteral("PushButton12"))),
                          Qt::LeftButton);
        QCOMPARE(fake.messages.shown.size(), 1);
        QCOMPARE(fake.messages.shown[0].flags, MessageFlags::Ok);
        QCOMPARE(fake.messages.shown[0].title, QStringLiteral("Tagsifter"));
        QCOMPARE(fake.messages.shown[0].text, Form1::helpText());
    }

    void appTitle_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("title");
        QTest::newRow("one word stays whole") << "Tagsifter"
                                              << "Tagsifter";
        QTest::newRow("last word removed") << "Brimvale Tag Finder"
                                           << "Brimvale Tag";
        QTest::newRow("two words") << "Tag Sifter"
                                   << "Tag";
        QTest::newRow("long name loses words")
            << "Brimvale Professional Metadata Search Studio Deluxe Edition"
            << "Brimvale Professional Metadata Search";
        QTest::newRow("one long word after the first cut")
            << "Averyveryveryveryveryveryveryverylongwordindeed X"
            << "Averyveryveryveryveryveryveryverylongwordindeed";
    }
    void appTitle()
    {
        QFETCH(QString, name);
        QFETCH(QString, title);
        QCOMPARE(appTitleFrom(name), title);
    }

    void settingsReadNeverCreatesAKey()
    {
        FakeServices fake;
        QCOMPARE(fake.settings.read(QStringLiteral("Extension"), QStringLiteral("jpg")),
                 QStringLiteral("jpg"));
        QCOMPARE(fake.settings.read(QStringLiteral("LastFolder"), QString()), QString());
        QSettings raw(fake.settingsFile, QSettings::IniFormat);
        QVERIFY(raw.allKeys().isEmpty());
        fake.settings.write(QStringLiteral("Extension"), QStringLiteral("*"));
        QtSettingsStore reopened(fake.settingsFile);
        QCOMPARE(reopened.read(QStringLiteral("Extension"), QStringLiteral("jpg")),
                 QStringLiteral("*"));
    }

    void doubleClickOrDeleteBelowTheRowsRemovesTheChosenRow()
    {
        FakeServices fake;
        AppFolder folder(false, false);
        Form1 form(fake.window(), folder.path());
        form.Form_Load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        for (ListView* list : {&form.fileList(), &form.resultsList()}) {
            for (const char* p : {"/1.jpg", "/2.jpg", "/3.jpg"})
                list->addItem(QString::fromLatin1(p), {QStringLiteral("t"), QStringLiteral("v")});
            QWidget* rows = list->viewport();
            const auto rowCentre = [&](int row) {
                return list->visualRect(list->model()->index(row - 1, 0)).center();
            };
            const QPoint below =
                rowCentre(3) + QPoint(0, 3 * list->visualRect(list->model()->index(2, 0)).height());
            QVERIFY(list->indexAt(below) == QModelIndex());
            // Row 2 is chosen; the first press of the double-click below the rows clears its
            // highlight, and the double-click still removes it.
            QTest::mouseClick(rows, Qt::LeftButton, {}, rowCentre(2));
            QTest::mouseClick(rows, Qt::LeftButton, {}, below);
            QTest::mouseDClick(rows, Qt::LeftButton, {}, below);
            QCOMPARE(list->texts(), QStringList({"/1.jpg", "/3.jpg"}));
            // A click below the rows, then Delete: the same.
            QTest::mouseClick(rows, Qt::LeftButton, {}, rowCentre(1));
            QTest::mouseClick(rows, Qt::LeftButton, {}, below);
            QTest::keyClick(list, Qt::Key_Delete);
            if (list == &form.fileList())
                QCOMPARE(list->texts(), QStringList({"/3.jpg"}));
            // A list filled anew has no chosen row: a double-click below the rows removes
            // nothing, though focus has made a row current.
            list->clear();
            list->addItem(QStringLiteral("/4.jpg"));
            list->setFocus();
            QTest::mouseDClick(rows, Qt::LeftButton, {}, below);
            QTest::keyClick(list, Qt::Key_Delete);
            QCOMPARE(list->texts(), QStringList({"/4.jpg"}));
        }
    }

    void progressTextAndAccessibleHints()
    {
        FakeServices fake;
        AppFolder folder(false, false);
        Form1 form(fake.window(), folder.path());
        form.Form_Load();
        // A file name is shown as it is, "%" and all.
        form.showProgress(42, QStringLiteral("Processing: sale %p %v %m off.jpg"));
        QCOMPARE(form.progressBar().text(), QStringLiteral("Processing: sale %p %v %m off.jpg"));
        QCOMPARE(form.progressBar().value(), 42);
        // What a screen reader is given: each list's hint and the search box's caption.
        for (const char* name : {"ListView1", "ListView2"}) {
            QWidget* list = form.control(QString::fromLatin1(name));
            QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(list);
            QVERIFY(spoken);
            QVERIFY(!list->toolTip().isEmpty());
            QCOMPARE(spoken->text(QAccessible::Description), list->toolTip());
        }
        QAccessibleInterface* box = QAccessible::queryAccessibleInterface(&form.searchBox());
        QVERIFY(box);
        QCOMPARE(box->text(QAccessible::Name),
                 QStringLiteral("Search For This Text Within Metadata"));
    }

    void everyButtonSeesTheRowsFoundDuringAWait_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("atDone");
        QTest::addColumn<QStringList>("answer");
        // "Clear Results" in the wait empties the rows found so far, and they stay gone.
        QTest::newRow("Clear Results")
            << "PushButton6" << QStringList{"/3.jpg", "/4.jpg"} << QStringList();
        // "Remove Results Containing X" in the wait removes the rows found so far that match.
        QTest::newRow("Remove Results Containing X")
            << "PushButton17" << QStringList{"/2.jpg", "/3.jpg", "/4.jpg"} << QStringList{"1.jpg"};
    }

    void everyButtonSeesTheRowsFoundDuringAWait()
    {
        // The third image is answered four seconds late; while the run waits for it, the rows
        // of the first two are in the list, and a button acts on them.
        QFETCH(QString, button);
        QFETCH(QStringList, atDone);
        QFETCH(QStringList, answer);
        FakeServices fake;
        ScriptedProcesses processes;
        processes.session = [](const QString& path) {
            ScriptedAnswer scripted;
            scripted.output = "Make                            : Kodak " + path.toUtf8() + "\n";
            if (path == QLatin1String("/3.jpg"))
                scripted.delayMs = 4000;
            return scripted;
        };
        WindowServices services = fake.window();
        services.system.processes = &processes;
        fake.input.answers = answer;
        AppFolder folder(false, false);
        Form1 form(services, folder.path());
        form.Form_Load();
        for (const char* path : {"/1.jpg", "/2.jpg", "/3.jpg", "/4.jpg"})
            form.fileList().addItem(QString::fromLatin1(path));
        form.searchBox().setText("kodak");
        QStringList inTheWait;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (!form.progressBar().text().endsWith(QLatin1String("3.jpg")) || !form.isRunning())
                return;
            watch.stop();
            for (int i = 1; i <= form.resultsList().count(); ++i)
                inTheWait.append(form.resultsList().text(i));
            qobject_cast<QPushButton*>(form.control(button))->click();
        });
        watch.start(5);
        qobject_cast<QPushButton*>(form.control("PushButton1"))->click();
        QCOMPARE(inTheWait, QStringList({"/1.jpg", "/2.jpg"}));
        QStringList rows;
        for (int i = 1; i <= form.resultsList().count(); ++i)
            rows.append(form.resultsList().text(i));
        QCOMPARE(rows, atDone);
        QCOMPARE(fake.messages.texts().last(), QStringLiteral("Done."));
    }

    void runningShowsStopAndRestoresTheCaption()
    {
        FakeServices fake;
        AppFolder folder(false, false);
        Form1 form(fake.window(), folder.path());
        form.Form_Load();
        auto* start = qobject_cast<QPushButton*>(form.control(QStringLiteral("PushButton1")));
        QVERIFY(!form.isRunning());
        form.setRunning(true);
        QCOMPARE(start->text(), QStringLiteral("Stop"));
        QVERIFY(form.isRunning());
        form.setRunning(false);
        QCOMPARE(start->text(), QStringLiteral("Start Finding"));
        QVERIFY(!form.isRunning());
    }

    void aLatin1FileNameRoundTripsByteForByte()
    {
        // "café.jpg" as an old Windows or FAT archive holds it: Latin-1, not UTF-8.
        QTemporaryDir dir;
        const QByteArray folder = QFile::encodeName(dir.path());
        const QByteArray raw = folder + "/caf\xe9.jpg";
        // QTemporaryDir cannot remove a name that is not UTF-8: its bytes go first.
        const auto removeRaw = qScopeGuard([&raw] { ::unlink(raw.constData()); });
        {
            QFile source(
                QStringLiteral(TAGSIFTER_SOURCE_DIR "/resources/Samples/Garden_party.jpg"));
            QVERIFY(source.open(QIODevice::ReadOnly));
            const QByteArray image = source.readAll();
            const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT, 0644);
            QVERIFY(fd >= 0);
            QCOMPARE(::write(fd, image.constData(), image.size()),
                     static_cast<ssize_t>(image.size()));
            ::close(fd);
        }
        const QString path = decodeFileName(raw);
        QCOMPARE(encodeFileName(path), raw);

        FakeServices fake;
        AppFolder app(false, false);
        Form1 form(fake.window(), app.path());
        form.Form_Load();
        const auto click = [&](const char* button) {
            qobject_cast<QPushButton*>(form.control(QString::fromLatin1(button)))->click();
        };
        // Added by "Add All", by a drop, and by the file dialog (whose answer Qt decoded
        // itself): the same path each time.
        fake.input.answers = {QStringLiteral("jpg")};
        fake.dialogs.nextFolder = dir.path();
        click("PushButton4");
        QCOMPARE(form.fileList().texts(), QStringList({path}));
        QMimeData dropped;
        dropped.setUrls({QUrl::fromEncoded("file://" + raw.toPercentEncoding("/"))});
        QCOMPARE(FileDrop::localPaths(&dropped), QStringList({path}));
        QCOMPARE(heldPath(QString::fromUtf8(raw)), path);

        // Searched, saved as its bytes, and opened as its bytes.
        form.searchBox().setText(QStringLiteral("kodak"));
        click("PushButton1");
        QCOMPARE(form.resultsList().count(), 1);
        QCOMPARE(form.resultsList().text(1), path);
        fake.dialogs.nextSave = dir.path() + QStringLiteral("/out.txt");
        click("PushButton2");
        QFile saved(fake.dialogs.nextSave);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), raw + "\n");
        form.resultsList().select(1);
        click("PushButton15");
        QCOMPARE(fake.shell.opened.size(), 1);
        QCOMPARE(fake.shell.opened[0].toEncoded(), "file://" + raw.toPercentEncoding("/"));
        QCOMPARE(fake.messages.texts(), QStringList({"Done.", "Done."}));
    }

    void pathsGivenAtStartAreListedAsADropWouldBe()
    {
        QTemporaryDir dir;
        for (const char* name : {"one/a.jpg", "one/sub/b.txt", "c.jpg"})
            writeFile(dir.path() + QLatin1Char('/') + QLatin1String(name));
        const QStringList paths{dir.path() + "/one", dir.path() + "/c.jpg",
                                dir.path() + "/gone.jpg"};
        FakeServices fake;
        AppFolder app(false, false);
        Form1 form(fake.window(), app.path());
        form.Form_Load();
        form.addPaths(paths);
        ListView dropped;
        dropped.addColumn(QStringLiteral("Image(s)"));
        FileDrop(fake.window(), *dropped.listModel()).addDropped(paths);
        QCOMPARE(form.fileList().texts(), dropped.texts());
        QCOMPARE(form.fileList().count(), 4);
    }
};

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
