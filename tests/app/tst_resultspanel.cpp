#include "app/Form1.h"
#include "app/ResultsPanel.h"
#include "platform/widgets/ImagePreview.h"
#include "platform/widgets/ListView.h"
#include "support/FakeServices.h"
#include "support/ScriptedProcesses.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace tagsifter;
using namespace tagsifter::test;

namespace {

// The window, shown, with these results rows (path, tag, value) in its list.
struct Window
{
    explicit Window(const QList<QStringList>& rows = {}) : form(fake.window(), folder.path())
    {
        form.Form_Load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        add(rows);
    }
    void add(const QList<QStringList>& rows)
    {
        std::vector<ListModel::Row> added;
        for (const QStringList& row : rows)
            added.push_back({row.value(0), {row.value(1), row.value(2)}});
        form.resultsList().listModel()->addItems(std::move(added));
    }
    ListView& list() { return form.resultsList(); }
    QWidget* rows() { return list().viewport(); }
    QPoint centre(int row) { return list().visualRect(list().model()->index(row - 1, 0)).center(); }
    void clickHeader(int column)
    {
        QHeaderView* header = list().header();
        const int x = header->sectionViewportPosition(column - 1) + 5;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, 5));
    }
    // The column `column` of the rows as the list shows them.
    QStringList shown(int column = 1)
    {
        QStringList cells;
        for (int row = 0; row < list().model()->rowCount(); ++row)
            cells.append(list().model()->index(row, column - 1).data().toString());
        return cells;
    }
    QPushButton* button(const char* name)
    {
        return qobject_cast<QPushButton*>(form.control(QString::fromLatin1(name)));
    }
    QLineEdit& filter() { return form.resultsPanel().filterBox(); }
    QString totals() { return form.resultsPanel().totals().text(); }

    FakeServices fake;
    QTemporaryDir folder;
    Form1 form;
};

const QList<QStringList> kRows{{"/p/a.jpg", "Focal Length", "10 mm"},
                               {"/p/a.jpg", "Make", "Canon"},
                               {"/p/b.jpg", "Focal Length", "9 mm"},
                               {"/p/b.jpg", "Make", "apple"},
                               {"/p/c.jpg", "Focal Length", "200 mm"}};

} // namespace

class TestResultsPanel : public QObject
{
    Q_OBJECT
private slots:
    void headerClicksSortReverseAndReturnAndTheExportsFollow()
    {
        Window w(kRows);
        w.clickHeader(3);
        QCOMPARE(w.shown(3), QStringList({"9 mm", "10 mm", "200 mm", "apple", "Canon"}));
        QCOMPARE(w.list().header()->sortIndicatorSection(), 2);
        w.clickHeader(3);
        QCOMPARE(w.shown(3), QStringList({"Canon", "apple", "200 mm", "10 mm", "9 mm"}));
        // The clipboard table and the text file take the rows in the order shown.
        w.fake.messages.answers = {};
        w.button("PushButton8")->click();
        QVERIFY(w.fake.clipboard.text.startsWith("/p/a.jpg\tMake        \tCanon"));
        w.clickHeader(3);
        QCOMPARE(w.shown(3), QStringList({"10 mm", "Canon", "9 mm", "apple", "200 mm"}));
        QCOMPARE(w.list().header()->sortIndicatorSection(), -1);
        // The header's menu does the same.
        QMenu* menu = w.list().sortMenu(2);
        QCOMPARE(menu->actions().size(), 3);
        menu->actions().at(1)->trigger();
        QCOMPARE(w.shown(2).first(), QString("Make"));
        menu->actions().at(2)->trigger();
        QCOMPARE(w.shown(3).first(), QString("10 mm"));
    }

    void selectedRowsGoAndComeBackStepByStep()
    {
        Window w(kRows);
        w.clickHeader(3);
        // Rows shown 1 and 3 (9 mm, 200 mm), by Ctrl+click.
        QTest::mouseClick(w.rows(), Qt::LeftButton, {}, w.centre(1));
        QTest::mouseClick(w.rows(), Qt::LeftButton, Qt::ControlModifier, w.centre(3));
        QTest::keyClick(&w.list(), Qt::Key_Delete);
        QCOMPARE(w.shown(3), QStringList({"10 mm", "apple", "Canon"}));
        // "Remove Results Containing X", then "Clear Results".
        w.fake.input.answers = {"a.jpg"};
        w.button("PushButton17")->click();
        QCOMPARE(w.shown(3), QStringList({"apple"}));
        w.button("PushButton6")->click();
        QCOMPARE(w.list().count(), 0);
        QTest::keyClick(&w.list(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.shown(3), QStringList({"apple"}));
        QTest::keyClick(&w.list(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.shown(3), QStringList({"10 mm", "apple", "Canon"}));
        QTest::keyClick(&w.list(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.list().texts(),
                 QStringList({"/p/a.jpg", "/p/a.jpg", "/p/b.jpg", "/p/b.jpg", "/p/c.jpg"}));
        QCOMPARE(w.shown(3), QStringList({"9 mm", "10 mm", "200 mm", "apple", "Canon"}));
        QTest::keyClick(&w.list(), Qt::Key_Z, Qt::ControlModifier); // nothing more to undo
        QCOMPARE(w.list().count(), 5);
        QTest::keyClick(&w.list(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(w.shown(3), QStringList({"10 mm", "apple", "Canon"}));
        // Shift+click selects a run; a double-click removes the selection.
        QTest::mouseClick(w.rows(), Qt::LeftButton, {}, w.centre(1));
        QTest::mouseClick(w.rows(), Qt::LeftButton, Qt::ShiftModifier, w.centre(2));
        QTest::mouseDClick(w.rows(), Qt::LeftButton, Qt::ShiftModifier, w.centre(2));
        QCOMPARE(w.shown(3), QStringList({"Canon"}));
        // Ctrl+A and Delete, then undo: all back. A new list forgets the history.
        QTest::keyClick(&w.list(), Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(&w.list(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(&w.list(), Qt::Key_Delete);
        QCOMPARE(w.list().count(), 0);
        w.list().listModel()->clear();
        w.add({{"/new.jpg", "t", "v"}});
        QTest::keyClick(&w.list(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.list().texts(), QStringList({"/new.jpg"}));
    }

    void theFilterBoxHidesRowsAndWhatActsOnRowsTakesThoseShown()
    {
        QTemporaryDir files;
        const QString a = files.path() + "/a.jpg", b = files.path() + "/b.jpg";
        for (const QString& path : {a, b}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        Window w({{a, "Make", "Canon"}, {a, "Model", "EOS"}, {b, "Make", "Kodak"}});
        QVERIFY(w.filter().accessibleName().contains("Filter"));
        w.filter().setFocus();
        QTest::keyClicks(&w.filter(), "KOD");
        QTRY_COMPARE(w.shown(3), QStringList({"Kodak"}));
        QCOMPARE(w.list().count(), 3);
        // The totals follow the rows shown once the event loop has run.
        QTRY_COMPARE(w.totals(), QString("1 of 3 rows shown, from 1 image"));
        QVERIFY(w.form.resultsPanel().totals().toolTip().contains("use the rows shown"));
        QCOMPARE(w.button("PushButton16")->toolTip(), ResultsPanel::shownOnlyTip());
        w.button("PushButton16")->click();
        QCOMPARE(w.fake.shell.opened, QList<QUrl>({QUrl::fromLocalFile(b)}));
        w.button("PushButton8")->click();
        QCOMPARE(w.fake.clipboard.text, b + "\tMake\tKodak\n");
        // A star or a dot is itself, not a pattern.
        QTest::keyClick(&w.filter(), Qt::Key_Escape);
        QTRY_COMPARE(w.shown(3).size(), 3);
        QVERIFY(w.filter().text().isEmpty());
        QVERIFY(w.button("PushButton16")->toolTip().isEmpty());
        QTest::keyClicks(&w.filter(), "e.s");
        QTRY_COMPARE(w.shown(3), QStringList());
        // A path filter acts on the rows shown: the hidden rows stay.
        QTest::keyClick(&w.filter(), Qt::Key_Escape);
        QTest::keyClicks(&w.filter(), "make");
        QTRY_COMPARE(w.shown(3).size(), 2);
        w.fake.input.answers = {"jpg"};
        w.button("PushButton17")->click();
        QTest::keyClick(&w.filter(), Qt::Key_Escape);
        QTRY_COMPARE(w.shown(3), QStringList({"EOS"}));
    }

    void theTotalsFollowARunAndEveryRemoval()
    {
        FakeServices fake;
        ScriptedProcesses processes;
        processes.session = [](const QString& path) {
            ScriptedAnswer scripted;
            if (path != QLatin1String("/3.jpg"))
                scripted.output = "Make                            : Kodak\n"
                                  "Model                           : Kodak " +
                                  path.toUtf8() + "\n";
            return scripted;
        };
        WindowServices services = fake.window();
        services.system.processes = &processes;
        QTemporaryDir folder;
        Form1 form(services, folder.path());
        form.Form_Load();
        QLabel& totals = form.resultsPanel().totals();
        QCOMPARE(totals.text(), QString());
        for (const char* path : {"/1.jpg", "/2.jpg", "/3.jpg"})
            form.fileList().addItem(QString::fromLatin1(path));
        form.searchBox().setText("kodak");
        qobject_cast<QPushButton*>(form.control("PushButton1"))->click();
        QCOMPARE(form.resultsList().count(), 4);
        QCOMPARE(totals.text(), QString("4 rows from 2 of 3 images"));
        const auto spoken = [&] {
            return QAccessible::queryAccessibleInterface(&totals)->text(QAccessible::Name);
        };
        QCOMPARE(spoken(), QString("4 rows from 2 of 3 images"));
        fake.input.answers = {"2.jpg"};
        qobject_cast<QPushButton*>(form.control("PushButton17"))->click();
        QTRY_COMPARE(totals.text(), QString("2 rows from 1 of 3 images"));
        QCOMPARE(spoken(), QString("2 rows from 1 of 3 images"));
    }

    void theRowMenuActsOnTheSelectedRows()
    {
        const QString huge(200000, QLatin1Char('x'));
        Window w({{"/p/a.jpg", "Make", "Canon"},
                  {"/p/a.jpg", "Comment", huge},
                  {"/p/b.jpg", "Make", "Kodak \"Easy\""}});
        QTest::mouseClick(w.rows(), Qt::LeftButton, {}, w.centre(1));
        QTest::mouseClick(w.rows(), Qt::LeftButton, Qt::ShiftModifier, w.centre(2));
        QMenu* menu = w.form.resultsPanel().rowMenu();
        QStringList captions;
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator())
                captions.append(action->text());
        }
        QCOMPARE(captions, QStringList({"Open", "Open Containing Folder", "Copy Rows", "Copy Paths",
                                        "Copy Value", "Remove", "Search For This Value", "Sort By",
                                        "Undo Removal", "Redo Removal"}));
        // Sort By reaches the order from the keyboard: Value, then Value again reverses.
        QMenu* sortBy = menu->actions().at(menu->actions().size() - 3)->menu();
        QVERIFY(sortBy);
        sortBy->actions().at(2)->trigger();
        sortBy->actions().at(2)->trigger();
        QCOMPARE(w.shown(3).at(1), QString("Kodak \"Easy\""));
        QVERIFY(w.shown(3).at(0).startsWith("xxx"));
        sortBy->actions().at(3)->trigger();
        QCOMPARE(w.shown(3).first(), QString("Canon"));
        // Ctrl+C copies the selected rows as the aligned table; a huge value is whole.
        QTest::keyClick(&w.list(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(w.fake.clipboard.text,
                 "/p/a.jpg\tMake   \tCanon\n/p/a.jpg\tComment\t" + huge + "\n");
        QTest::keyClick(&w.list(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(w.fake.clipboard.text, QString("/p/a.jpg"));
        QTest::mouseClick(w.rows(), Qt::LeftButton, {}, w.centre(2));
        QTest::keyClick(&w.list(), Qt::Key_C, Qt::ControlModifier | Qt::AltModifier);
        QCOMPARE(w.fake.clipboard.text, huge);
        // Open Containing Folder opens the folder once; a missing image is said so.
        QTest::mouseClick(w.rows(), Qt::LeftButton, Qt::ShiftModifier, w.centre(3));
        QTest::keyClick(&w.list(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(w.fake.messages.texts(),
                 QStringList({"Can not open this file. It does not exist."}));
        // Search For This Value puts the value into the search box as it is.
        QTest::mouseClick(w.rows(), Qt::LeftButton, {}, w.centre(3));
        QTest::keyClick(&w.list(), Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(w.form.searchBox().text(), QString("Kodak \"Easy\""));
        QVERIFY(w.form.searchBox().hasFocus());
        delete menu;
    }

    void previewsAreDecodedAsideOrToldWhyNot_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<qint64>("decodeBytes");
        QTest::addColumn<QString>("reason");
        const QString camera = TAGSIFTER_SOURCE_DIR "/tests/data/corpus/Canon_40D.jpg";
        QTest::newRow("a camera JPEG") << camera << qint64(48) << QString();
        QTest::newRow("a vanished file")
            << "/no/such/file.jpg" << qint64(48) << ImagePreview::missingText();
        QTest::newRow("not a picture")
            << TAGSIFTER_SOURCE_DIR "/README.md" << qint64(48) << ImagePreview::unreadableText();
        // The memory allowed below what even an eighth of it takes.
        QTest::newRow("too large") << camera << qint64(0) << ImagePreview::tooLargeText();
    }
    void previewsAreDecodedAsideOrToldWhyNot()
    {
        QFETCH(QString, file);
        QFETCH(qint64, decodeBytes);
        QFETCH(QString, reason);
        ImagePreview::Limits limits;
        limits.box = QSize(100, 80);
        limits.decodeBytes = decodeBytes << 20;
        ImagePreview preview(limits, nullptr);
        QList<QImage> pictures;
        QStringList reasons;
        connect(&preview, &ImagePreview::shown, this,
                [&](const QString&, const QImage& picture, const QString& why) {
                    pictures.append(picture);
                    reasons.append(why);
                });
        preview.request(file);
        QTRY_COMPARE(reasons.size(), 1);
        QCOMPARE(reasons.first(), reason);
        QCOMPARE(pictures.first().isNull(), !reason.isEmpty());
        if (reason.isEmpty()) {
            QVERIFY(pictures.first().width() <= 100 && pictures.first().height() <= 80);
            QVERIFY(pictures.first().width() == 100 || pictures.first().height() == 80);
        }
        // Asked again, it comes from what was kept, at once.
        preview.request(file);
        QCOMPARE(reasons.size(), 2);
    }

    void aFileQtCannotReadShowsThePreviewEmbeddedInIt()
    {
        // A MIE file with a preview, as a raw photo carries one: exiftool writes and reads it.
        const QString exiftool = QStandardPaths::findExecutable("exiftool");
        QVERIFY(!exiftool.isEmpty());
        QTemporaryDir dir;
        const QString camera = TAGSIFTER_SOURCE_DIR "/tests/data/corpus/Canon_40D.jpg";
        const QString raw = dir.path() + "/photo.mie";
        QCOMPARE(QProcess::execute(exiftool, {"-q", "-o", raw, "-PreviewImage<=" + camera, camera}),
                 0);
        QStringList reasons;
        QList<QImage> pictures;
        ImagePreview preview;
        connect(&preview, &ImagePreview::shown, this,
                [&](const QString&, const QImage& picture, const QString& why) {
                    pictures.append(picture);
                    reasons.append(why);
                });
        preview.request(raw);
        QTRY_COMPARE(reasons, QStringList({ImagePreview::unreadableText()}));
        ImagePreview withTool;
        withTool.setExifTool(exiftool);
        connect(&withTool, &ImagePreview::shown, this,
                [&](const QString&, const QImage& picture, const QString& why) {
                    pictures.append(picture);
                    reasons.append(why);
                });
        withTool.request(raw);
        QTRY_COMPARE(reasons.size(), 2);
        QCOMPARE(reasons.last(), QString());
        QVERIFY(!pictures.last().isNull());
    }

    void rowsPassedQuicklyLeaveOnePreviewToShow()
    {
        const QString camera = TAGSIFTER_SOURCE_DIR "/tests/data/corpus/Canon_40D.jpg";
        QList<QStringList> rows;
        for (int i = 0; i < 100; ++i)
            rows.append({i == 99 ? camera : QString("/no/%1.jpg").arg(i), "Make", "Canon"});
        Window w(rows);
        QCOMPARE(w.form.resultsPanel().previewPane().accessibleName(), QString("Preview"));
        QVERIFY(!w.form.resultsPanel().previewPane().isVisible());
        w.form.resize(536 + 300, 628);
        QTRY_VERIFY(w.form.resultsPanel().previewPane().isVisible());
        QStringList shown;
        connect(&w.form.resultsPanel().preview(), &ImagePreview::shown, this,
                [&](const QString& path) { shown.append(path); });
        w.list().setFocus();
        QTest::mouseClick(w.rows(), Qt::LeftButton, {}, w.centre(1));
        for (int i = 0; i < 99; ++i)
            QTest::keyClick(&w.list(), Qt::Key_Down);
        QTRY_VERIFY(!w.form.resultsPanel().previewPane().pixmap().isNull());
        QCOMPARE(shown.last(), camera);
        // Far fewer decoded than passed.
        QVERIFY(shown.size() < 50);
        // At the designed size the pane goes, and a pointer resting on a row shows a pop-up.
        w.form.resize(536, 628);
        QTRY_VERIFY(!w.form.resultsPanel().previewPane().isVisible());
        w.form.resultsPanel().setHoverDelay(0);
        w.list().scrollToTop();
        QMouseEvent move(QEvent::MouseMove, w.centre(1), w.rows()->mapToGlobal(w.centre(1)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w.rows(), &move);
        QLabel& popup = w.form.resultsPanel().previewPopup();
        QTRY_VERIFY(popup.isVisible());
        QCOMPARE(popup.text(), ImagePreview::missingText());
        QCOMPARE(popup.accessibleName(), QString("Preview"));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(w.rows(), &leave);
        QVERIFY(!popup.isVisible());
    }

    void theNewControlsAreNamedAndInTheTabOrder()
    {
        Window w;
        // Tab goes from the results to the filter box, then on as before.
        w.list().setFocus();
        QTest::keyClick(&w.list(), Qt::Key_Tab);
        QVERIFY(w.filter().hasFocus());
        QTest::keyClick(&w.filter(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w.form.control("PushButton3"));
        QCOMPARE(w.form.resultsPanel().totals().accessibleName(), ResultsPanel::totalsName());
        // Ctrl+F goes to the filter box from anywhere in the window.
        w.form.searchBox().setFocus();
        QTest::keyClick(&w.form.searchBox(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(w.filter().hasFocus());
        // The list keeps its designed place; the filter box sits inside its frame.
        QCOMPARE(w.list().geometry(), QRect(8, 329, 520, 121));
        QVERIFY(w.list().rect().contains(w.filter().geometry()));
    }
};

QTEST_MAIN(TestResultsPanel)
#include "tst_resultspanel.moc"
