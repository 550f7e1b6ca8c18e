#include "core/ClipboardTable.h"
#include "core/RowSelection.h"
#include "platform/ChosenRow.h"
#include "platform/widgets/ListView.h"
#include "platform/widgets/QtWindowServices.h"
#include "results/ClipboardCopy.h"
#include "results/OpenFiles.h"
#include "results/ResultsList.h"
#include "results/SearchForValue.h"
#include "results/SpreadsheetExport.h"
#include "results/TextExport.h"
#include "results/Totals.h"
#include "support/FakeServices.h"
#include "support/WidgetSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <csignal>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tagsifter;
using namespace tagsifter::test;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

/// An event loop whose yields run `onYield` instead.
class ScriptedEvents : public EventLoopService
{
public:
    explicit ScriptedEvents(std::function<void()> onYield) : m_onYield(std::move(onYield)) {}
    void yield() override { m_onYield(); }
    void yieldSometimes() override { m_onYield(); }
    void wait(int) override {}

private:
    std::function<void()> m_onYield;
};

/// Saves the rows /1, /2 and /3 to `target` through "Save Results As Text File", answering
/// Yes to the overwrite question; what the user was told besides the question.
QStringList saveThreeRows(const QString& target)
{
    auto rows = resultsWith({{"/1"}, {"/2"}, {"/3"}});
    FakeServices fake;
    FakePointer pointer;
    fake.dialogs.nextSave = target;
    TextExport(fake.window(), *rows->listModel(), pointer).PushButton2_Click();
    QStringList told = fake.messages.texts();
    told.removeAll(TextExport::overwriteQuestion(target));
    return told;
}

} // namespace

class TestResults : public QObject
{
    Q_OBJECT
private slots:
    void searchForValue_data()
    {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("query");
        QTest::newRow("plain") << "Make"
                               << "Canon"
                               << "Make=\"Canon\"";
        QTest::newRow("quote and backslash") << "Comment"
                                             << "a \"b\" c:\\d"
                                             << "Comment=\"a \\\"b\\\" c:\\\\d\"";
        QTest::newRow("a tag with a space") << "Focal Length"
                                            << "10 mm"
                                            << "\"Focal Length\"=\"10 mm\"";
        QTest::newRow("a tag with a quote") << "A\"B"
                                            << ""
                                            << "\"A\\\"B\"=\"\"";
        QTest::newRow("letters of any script") << "Schärfe2"
                                               << "x"
                                               << "Schärfe2=\"x\"";
        QTest::newRow("an empty tag") << ""
                                      << "v"
                                      << "\"\"=\"v\"";
    }
    void searchForValue()
    {
        QFETCH(QString, tag);
        QFETCH(QString, value);
        QFETCH(QString, query);
        QCOMPARE(searchForValueText(tag, value, true), query);
        QCOMPARE(searchForValueText(tag, value, false), value);
    }

    void totals_data()
    {
        QTest::addColumn<QList<int>>("counts"); // rows shown, rows, images shown, searched
        QTest::addColumn<bool>("filtered");
        QTest::addColumn<QString>("line");
        QTest::newRow("nothing yet") << QList<int>{0, 0, 0, -1} << false << QString();
        QTest::newRow("nothing found")
            << QList<int>{0, 0, 0, 12} << false << "0 rows from 0 of 12 images";
        QTest::newRow("thousands")
            << QList<int>{1234, 1234, 56, 432} << false << "1,234 rows from 56 of 432 images";
        QTest::newRow("one of one") << QList<int>{1, 1, 1, 1} << false << "1 row from 1 of 1 image";
        QTest::newRow("during a run") << QList<int>{7, 7, 2, -1} << false << "7 rows from 2 images";
        QTest::newRow("filtered") << QList<int>{3, 1234, 1, 432} << true
                                  << "3 of 1,234 rows shown, from 1 of 432 images";
    }
    void totals()
    {
        QFETCH(QList<int>, counts);
        QFETCH(bool, filtered);
        QFETCH(QString, line);
        Totals::Counts c;
        c.rowsShown = counts[0];
        c.rows = counts[1];
        c.imagesShown = counts[2];
        c.imagesSearched = counts[3];
        c.filtered = filtered;
        QCOMPARE(Totals::text(c), line);
        QCOMPARE(Totals::note(c).contains("use the rows shown"), filtered);
    }

    void filters_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("containing");
        QTest::addColumn<QStringList>("left");
        const QStringList all{"/a/1.jpg", "/b/2.JPG", "/b/3.jpg", "/a/4.png", "/c d/5.jpg"};
        QTest::newRow("JPG in capitals") << "JPG" << true << QStringList({"/a/4.png"});
        QTest::newRow("not containing") << "/b/" << false << QStringList({"/b/2.JPG", "/b/3.jpg"});
        QTest::newRow("only in tags or values: containing") << "Make" << true << all;
        QTest::newRow("only in tags or values: not containing") << "Make" << false << QStringList();
        QTest::newRow("untrimmed answer") << "c " << true << QStringList(all.mid(0, 4));
        QTest::newRow("nothing matches") << "zzz" << false << QStringList();
    }
    void filters()
    {
        QFETCH(QString, answer);
        QFETCH(bool, containing);
        QFETCH(QStringList, left);
        auto list = resultsWith({{"/a/1.jpg", "Make", "x"},
                                 {"/b/2.JPG", "Make", "x"},
                                 {"/b/3.jpg", "Make", "x"},
                                 {"/a/4.png", "Make", "x"},
                                 {"/c d/5.jpg", "Make", "x"}});
        FakeServices fake;
        FakePointer pointer;
        ResultsList buttons(fake.window(), *list->shownRows(), list->chosenRow(), pointer);
        fake.input.answers = {answer};
        if (containing)
            buttons.PushButton17_Click();
        else
            buttons.PushButton11_Click();
        QCOMPARE(list->texts(), left);
        QCOMPARE(fake.input.prompts.constFirst(),
                 containing ? QStringLiteral("Remove entries containing: ")
                            : QStringLiteral("Remove entries not containing: "));
        QCOMPARE(fake.input.defaults.constFirst(), QString());
        QCOMPARE(pointer.history, QList<Pointer>({Pointer::Hourglass, Pointer::Default}));
        QVERIFY(fake.messages.shown.isEmpty());
    }

    void removalGoesFromTheLastRowToTheFirst()
    {
        QCOMPARE(rowsMatching({"a", "x", "x", "b", "x"}, QStringLiteral("X"), true),
                 QList<int>({2, 3, 5}));
        auto list = resultsWith({{"/1"}, {"/x2"}, {"/x3"}, {"/4"}, {"/x5"}});
        QStringList removedOrder;
        QObject::connect(list->listModel(), &QAbstractItemModel::rowsAboutToBeRemoved,
                         [&](const QModelIndex&, int first, int last) {
                             removedOrder.append(
                                 QStringLiteral("%1-%2").arg(first + 1).arg(last + 1));
                         });
        RemoveRowsContaining(*list->listModel(), QStringLiteral("x"));
        QCOMPARE(removedOrder, QStringList({"5-5", "2-3"}));
        QCOMPARE(list->texts(), QStringList({"/1", "/4"}));
    }

    void theChosenRowNeedsNoView()
    {
        // The results' subsystems on a model and its selection alone, as the window hands them
        // over: the chosen row stays chosen when the highlight goes, follows its row when rows
        // above it go, and a row that only became current was never chosen.
        ListModel model;
        for (const char* header : {"Image", "Metadata Tag", "Value"})
            model.addColumn(QString::fromLatin1(header));
        for (const char* path : {"/1", "/2", "/3"})
            model.addItem(QString::fromLatin1(path), {"Make", "x"});
        ShownRows shown(model);
        QItemSelectionModel selection(&shown);
        ChosenRow chosen(shown, selection);
        selection.setCurrentIndex(shown.index(0, 0), QItemSelectionModel::NoUpdate);
        QCOMPARE(chosen.index(), 0);
        chosen.choose(3);
        selection.clearSelection();
        QCOMPARE(chosen.text(), QStringLiteral("/3"));
        FakeServices fake;
        FakePointer pointer;
        ResultsList buttons(fake.window(), shown, chosen, pointer);
        model.remove(1);
        QCOMPARE(chosen.index(), 2);
        buttons.ListView2_DblClick();
        QCOMPARE(model.texts(), QStringList({"/2"}));
        QCOMPARE(chosen.index(), 0);
        QVERIFY_THROWS_EXCEPTION(Failure, chosen.text());
    }

    void cancelAndClear()
    {
        auto list = resultsWith({{"/1"}, {"/2"}});
        FakeServices fake;
        FakePointer pointer;
        ResultsList buttons(fake.window(), *list->shownRows(), list->chosenRow(), pointer);
        buttons.PushButton17_Click(); // cancel gives the empty text
        QCOMPARE(list->count(), 2);
        QVERIFY(pointer.history.isEmpty());
        // A double-click removes the selected row, not while the window is busy.
        list->select(1);
        pointer.mode = Pointer::Hourglass;
        buttons.ListView2_DblClick();
        QCOMPARE(list->count(), 2);
        pointer.mode = Pointer::Default;
        buttons.ListView2_DblClick();
        QCOMPARE(list->texts(), QStringList({"/2"}));
        buttons.PushButton6_Click();
        QCOMPARE(list->count(), 0);
        buttons.PushButton6_Click();
        QVERIFY(fake.messages.shown.isEmpty());
    }

    void textFile()
    {
        QTemporaryDir dir;
        const QString target = dir.path() + QStringLiteral("/out.txt");
        FakeServices fake;
        FakePointer pointer;
        auto empty = resultsWith({});
        fake.dialogs.nextSave = target;
        TextExport(fake.window(), *empty->listModel(), pointer).PushButton2_Click();
        QCOMPARE(readAll(target), QByteArray());
        QCOMPARE(fake.dialogs.saveTitles.constLast(), QStringLiteral("Save"));
        QCOMPARE(fake.dialogs.saveFilters.constLast(),
                 QStringLiteral("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"));
        QCOMPARE(fake.messages.texts(), QStringList({"Done."}));

        QList<QStringList> rows;
        for (int i = 0; i < 10; ++i)
            rows.append(
                {i < 6 ? QStringLiteral("/a/ü 1.jpg") : QStringLiteral("/b/2.jpg"), "t", "v"});
        auto ten = resultsWith(rows);
        // An existing file: asked first; No leaves it, Yes replaces it.
        fake.messages.answers = {MessageAnswer::No};
        TextExport(fake.window(), *ten->listModel(), pointer).PushButton2_Click();
        QCOMPARE(fake.messages.texts().constLast(),
                 QStringLiteral("Are you sure you wish to overwrite ") + target +
                     QStringLiteral(" ?"));
        QCOMPARE(fake.messages.shown.constLast().flags, MessageFlags::YesNo);
        QCOMPARE(readAll(target), QByteArray());
        TextExport(fake.window(), *ten->listModel(), pointer).PushButton2_Click();
        QCOMPARE(readAll(target), QString::fromUtf8("/a/ü 1.jpg\n").repeated(6).toUtf8() +
                                      QByteArray("/b/2.jpg\n").repeated(4));
        QCOMPARE(fake.messages.texts().constLast(), QStringLiteral("Done."));
        fake.dialogs.nextSave.clear();
        const int shown = fake.messages.shown.size();
        TextExport(fake.window(), *ten->listModel(), pointer).PushButton2_Click();
        QCOMPARE(fake.messages.shown.size(), shown);
    }

    void unwritableTargetKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString target = dir.path() + QStringLiteral("/locked/out.txt");
        writeFile(target, "old content\n");
        FakeServices fake;
        FakePointer pointer;
        auto rows = resultsWith({{"/1"}, {"/2"}, {"/3"}});
        // A folder in the way of the file fails for everyone, root too.
        fake.dialogs.nextSave = dir.path() + QStringLiteral("/locked");
        TextExport(fake.window(), *rows->listModel(), pointer).PushButton2_Click();
        QCOMPARE(readAll(target), QByteArray("old content\n"));
        QCOMPARE(fake.messages.shown.size(), 2); // the question, then one report
        QCOMPARE(fake.messages.shown[1].title, QStringLiteral("Application Error"));
        QVERIFY(fake.messages.shown[1].text.contains(
            QStringLiteral("Form1.PushButton2_Click at line")));
        QVERIFY(!fake.messages.texts().contains(QStringLiteral("Done.")));
        QCOMPARE(pointer.mode, Pointer::Default);
    }

    void clipboardTableFormat()
    {
        // Widths 10, 4 and 6: the value's one filling space is trimmed.
        auto list = resultsWith(
            {{"0123456789", "Make", "Kodak"}, {"/a", "ab", "123456"}, {"/b", "Tag", ""}});
        const auto cell = [&](int r, int c) { return list->cell(r, c); };
        QCOMPARE(clipboardTable(list->count(), 3, cell, QStringLiteral("\n")),
                 QStringLiteral("0123456789\tMake\tKodak\n"
                                "/a        \tab  \t123456\n"
                                "/b        \tTag \t\n"));
        QCOMPARE(clipboardTable(0, 3, cell, QStringLiteral("\n")), QString());
        // A value's own spaces: kept inside the table, trimmed at a line's end; one column; CR LF.
        auto spaced = resultsWith({{"/a ", "Tag  ", "v  "}, {"/bb", "T", "   "}});
        const auto spacedCell = [&](int r, int c) { return spaced->cell(r, c); };
        QCOMPARE(clipboardTable(2, 3, spacedCell, QStringLiteral("\r\n")),
                 QStringLiteral("/a \tTag  \tv\r\n/bb\tT    \t\r\n"));
        QCOMPARE(clipboardTable(2, 1, spacedCell, QStringLiteral("\n")),
                 QStringLiteral("/a\n/bb\n"));

        FakeServices fake;
        fake.clipboard.failuresLeft = 999 + 999;
        copyResultsToClipboard(fake.window(), *list->listModel());
        QCOMPARE(fake.clipboard.text, clipboardTable(3, 3, cell, QStringLiteral("\n")));
        QCOMPARE(
            fake.messages.texts(),
            QStringList({"Results have been copied to the clipboard.\r\rClick a text area where "
                         "you normally type and press Ctrl+V to paste the clipboard."}));

        FakeServices failing;
        failing.clipboard.failuresLeft = 1000000;
        copyResultsToClipboard(failing.window(), *list->listModel());
        QCOMPARE(failing.clipboard.setCalls, 1000);
        QCOMPARE(failing.messages.texts(), QStringList({copyFailedMessage()}));

        // An empty list leaves the clipboard alone and still says it was copied.
        FakeServices untouched;
        auto empty = resultsWith({});
        copyResultsToClipboard(untouched.window(), *empty->listModel());
        QCOMPARE(untouched.clipboard.text, QStringLiteral("before"));
        QCOMPARE(untouched.clipboard.clearCalls, 0);
        QCOMPARE(untouched.messages.texts(), QStringList({copiedMessage()}));
    }

    void realClipboardReadByAnotherProgram()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X server; the test runs again under xvfb-run");
        auto list = resultsWith({{"/photos/a.jpg", "Make", "Kodak"}});
        QtClipboard clipboard;
        FakeServices fake;
        WindowServices services = fake.window();
        services.desktop.clipboard = &clipboard;
        QVERIFY(CopyListToClipboard(services, *list->listModel()));
        QProcess xclip;
        xclip.start(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"),
                                              QStringLiteral("clipboard")});
        // The clipboard is served by this process: keep the event loop running meanwhile.
        QTRY_VERIFY_WITH_TIMEOUT(xclip.state() == QProcess::NotRunning, 10000);
        QCOMPARE(QString::fromUtf8(xclip.readAllStandardOutput()),
                 QStringLiteral("/photos/a.jpg\tMake\tKodak\n"));
    }

    void openFiles()
    {
        QTemporaryDir dir;
        const QString a = dir.path() + QStringLiteral("/a.jpg");
        const QString b = dir.path() + QStringLiteral("/B.jpg");
        const QString bLower = dir.path() + QStringLiteral("/b.jpg");
        const QString gone = dir.path() + QStringLiteral("/gone.jpg");
        for (const QString& p : {a, b, bLower})
            writeFile(p);
        auto list =
            resultsWith({{b}, {a}, {b}, {gone}, {a}, {bLower}, {QString()}, {a}, {b}, {gone}});
        FakeServices fake;
        FakePointer pointer;
        OpenFiles buttons(fake.window(), *list->shownRows(), list->chosenRow(), pointer);
        buttons.PushButton16_Click();
        QCOMPARE(fake.shell.opened, (QList<QUrl>{QUrl::fromLocalFile(b), QUrl::fromLocalFile(a),
                                                 QUrl::fromLocalFile(bLower)}));
        QCOMPARE(fake.messages.texts(),
                 QStringList({"Can not open this file. It does not exist."}));
        QCOMPARE(pointer.history, QList<Pointer>({Pointer::Hourglass, Pointer::Default}));
        QCOMPARE(distinctPaths({"x", "y", "x", "", "Y", "y"}), QStringList({"x", "y", "Y"}));

        // No current row: one message, nothing opened.
        fake.shell.opened.clear();
        fake.messages.shown.clear();
        buttons.PushButton15_Click();
        QCOMPARE(fake.messages.texts(), QStringList({"No files selected in list."}));
        list->select(2);
        buttons.PushButton15_Click();
        QCOMPARE(fake.shell.opened, QList<QUrl>{QUrl::fromLocalFile(a)});
        list->select(4);
        buttons.PushButton15_Click();
        QCOMPARE(fake.messages.texts().constLast(),
                 QStringLiteral("Can not open this file. It does not exist."));

        auto empty = resultsWith({});
        OpenFiles none(fake.window(), *empty->shownRows(), empty->chosenRow(), pointer);
        none.PushButton15_Click();
        none.PushButton16_Click();
        QCOMPARE(fake.messages.texts().mid(fake.messages.shown.size() - 2),
                 QStringList({"No files selected in list.", "No file selected in Results list."}));
    }

    void spreadsheetLayout()
    {
        auto list = resultsWith(
            {{"/p=1.jpg", "=Tag", ""}, {"/p.jpg", "Make", "=="}, {"/q.jpg", "", "v=1"}});
        FakeServices fake;
        FakePointer pointer;
        SpreadsheetExport(fake.window(), *list->listModel(), pointer).PushButton14_Click();
        QCOMPARE(
            fake.spreadsheet.log.calls,
            QStringList({"probe", "new", "cell 1,1=Image", "cell 1,2=Metadata Tag",
                         "cell 2,1=/p=1.jpg", "cell 2,2=Tag", "cell 3,1=/p.jpg", "cell 3,2=Make",
                         "cell 3,3=", "cell 4,1=/q.jpg", "cell 4,2=v1", "fit", "show"}));
        QVERIFY(fake.messages.shown.isEmpty());
        QCOMPARE(pointer.history, QList<Pointer>({Pointer::Hourglass, Pointer::Default}));
    }

    void spreadsheetMissingOrLost()
    {
        auto list = resultsWith({{"/a", "t", "v"}, {"/b", "t", "v"}});
        FakeServices fake;
        FakePointer pointer;
        fake.spreadsheet.available = false;
        SpreadsheetExport(fake.window(), *list->listModel(), pointer).PushButton14_Click();
        QCOMPARE(fake.messages.texts(), QStringList({SpreadsheetExport::probeMessage(),
                                                     SpreadsheetExport::notInstalledMessage()}));
        QVERIFY(pointer.history.isEmpty());

        FakeServices lost;
        lost.spreadsheet.log.failAfterCells = 4;
        SpreadsheetExport(lost.window(), *list->listModel(), pointer).PushButton14_Click();
        QCOMPARE(lost.messages.shown.size(), 1);
        QCOMPARE(lost.messages.shown[0].title, QStringLiteral("Application Error"));
        QVERIFY(!lost.spreadsheet.log.calls.contains(QStringLiteral("show")));
        QCOMPARE(pointer.mode, Pointer::Default);

        // Every cell arrived, but the connection is found lost when the columns are fitted.
        FakeServices lostLate;
        lostLate.spreadsheet.log.failAfterCells = 9;
        SpreadsheetExport(lostLate.window(), *list->listModel(), pointer).PushButton14_Click();
        QCOMPARE(lostLate.spreadsheet.log.cells, 9);
        QCOMPARE(lostLate.messages.shown.size(), 1);
        QVERIFY(!lostLate.spreadsheet.log.calls.contains(QStringLiteral("show")));

        auto empty = resultsWith({});
        FakeServices idle;
        SpreadsheetExport(idle.window(), *empty->listModel(), pointer).PushButton14_Click();
        QVERIFY(idle.spreadsheet.log.calls.isEmpty());
    }

    void readOnlyFolderIsWrittenInPlace()
    {
        QTemporaryDir dir(QStringLiteral("/tmp/tagsifter-ro-XXXXXX"));
        const QString target = dir.path() + QStringLiteral("/out.txt");
        writeFile(target, "old content, longer than the new\n");
        const QFileDevice::Permissions readOnly = QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                                  QFileDevice::ReadGroup | QFileDevice::ExeGroup |
                                                  QFileDevice::ReadOther | QFileDevice::ExeOther;
        if (::geteuid() == 0) {
            // Root writes anywhere: the save runs as another user, who owns only the file.
            if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
                QSKIP("setpriv is not available");
            QVERIFY(::chown(QFile::encodeName(target).constData(), 65534, 65534) == 0);
            QFile::setPermissions(dir.path(), readOnly | QFileDevice::WriteOwner);
            QProcess child;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            child.setProcessEnvironment(environment);
            child.start(QStringLiteral("setpriv"),
                        {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                         QStringLiteral("--clear-groups"), QCoreApplication::applicationFilePath(),
                         QStringLiteral("-save"), target});
            QVERIFY(child.waitForFinished(30000));
            QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()), QStringLiteral("Done.\n"));
        } else {
            QFile::setPermissions(dir.path(), readOnly);
            QCOMPARE(saveThreeRows(target), QStringList({"Done."}));
        }
        QFile::setPermissions(dir.path(), readOnly | QFileDevice::WriteOwner);
        QCOMPARE(readAll(target), QByteArray("/1\n/2\n/3\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"out.txt"}));
    }

    void aFailedSaveSaysWhyAndKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("readOnlyFolder");
        QTest::addColumn<QByteArray>("old");
        QTest::addColumn<int>("sizeLimit");
        QTest::addColumn<QString>("reason");
        // The rows take 9 bytes; a limit of 6 bytes is a disk that fills part-way through them.
        QTest::newRow("a full disk")
            << "out.txt" << false << QByteArray("old\n") << 6 << "File too large";
        QTest::newRow("a full disk, a new file")
            << "out.txt" << false << QByteArray() << 6 << "File too large";
        QTest::newRow("a full disk, written in place in a read-only folder")
            << "out.txt" << true << QByteArray("old\n") << 6 << "File too large";
        QTest::newRow("a new file in a read-only folder")
            << "out.txt" << true << QByteArray() << 0 << "Permission denied";
        QTest::newRow("/dev/full")
            << "/dev/full" << false << QByteArray() << 0 << "No space left on device";
    }
    void aFailedSaveSaysWhyAndKeepsTheOldFile()
    {
        QFETCH(QString, target);
        QFETCH(bool, readOnlyFolder);
        QFETCH(QByteArray, old);
        QFETCH(int, sizeLimit);
        QFETCH(QString, reason);
        // Root writes anywhere (and could replace a device): the save runs as another user.
        const bool asNobody = ::geteuid() == 0;
        if (asNobody && QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            QSKIP("setpriv is not available");
        QTemporaryDir dir(QStringLiteral("/tmp/tagsifter-save-XXXXXX"));
        QCOMPARE(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
        const QString folder = dir.path() + QStringLiteral("/out");
        QVERIFY(QDir().mkpath(folder));
        if (!target.startsWith('/'))
            target = folder + '/' + target;
        if (!old.isEmpty())
            writeFile(target, old);
        for (const QString& path : {folder, target}) {
            if (asNobody && QFileInfo::exists(path) && path.startsWith(folder))
                QCOMPARE(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
        }
        if (readOnlyFolder)
            QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
        QStringList arguments{QCoreApplication::applicationFilePath(), "-save", target};
        if (sizeLimit > 0)
            arguments.append(QString::number(sizeLimit));
        if (asNobody)
            arguments =
                QStringList({"--reuid=65534", "--regid=65534", "--clear-groups"}) + arguments;
        QProcess child;
        child.start(asNobody ? QStringLiteral("setpriv") : arguments.takeFirst(), arguments);
        QVERIFY(child.waitForFinished(30000));
        const QString told = QString::fromLocal8Bit(child.readAllStandardOutput());
        // One report, at the line that writes, with the reason and the path; no "Done.".
        QVERIFY2(told.contains("PushButton2_Click at line 106"), qPrintable(told));
        QVERIFY2(told.startsWith(reason + ": " + target), qPrintable(told));
        QCOMPARE(told.count("at line "), 1);
        QVERIFY(!told.contains("Done."));
        ::chmod(QFile::encodeName(folder).constData(), 0755);
        if (target.startsWith(folder)) {
            QCOMPARE(readAll(target), old.isEmpty() ? QByteArray("<missing>") : old);
            QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
                     old.isEmpty() ? QStringList() : QStringList({"out.txt"}));
        } else {
            struct stat info
            {
            };
            QVERIFY(::stat(QFile::encodeName(target).constData(), &info) == 0 &&
                    S_ISCHR(info.st_mode));
        }
    }

    void rowsRemovedDuringTheSave()
    {
        QTemporaryDir dir;
        const QString target = dir.path() + QStringLiteral("/out.txt");
        auto list = resultsWith({{"/a"}, {"/b"}, {"/c"}, {"/d"}, {"/e"}});
        // The user removes two rows while the save yields before its third row.
        int yields = 0;
        ScriptedEvents events([&] {
            if (++yields == 3)
                list->removeRange(3, 2);
        });
        FakeServices fake;
        WindowServices services = fake.window();
        services.system.events = &events;
        FakePointer pointer;
        fake.dialogs.nextSave = target;
        TextExport(services, *list->listModel(), pointer).PushButton2_Click();
        QCOMPARE(readAll(target), QByteArray("/a\n/b\n/e\n"));
        QCOMPARE(fake.messages.shown.size(), 2);
        QVERIFY(fake.messages.shown[0].text.contains("PushButton2_Click at line 106"));
        QCOMPARE(fake.messages.shown[1].text, QStringLiteral("Done."));
    }

    void aFailingCellStillShowsTheSheet()
    {
        auto list = resultsWith({{"/a", "t", "v"}, {"/b", "t", "v"}, {"/c", "t", "v"}});
        FakeServices fake;
        FakePointer pointer;
        fake.spreadsheet.log.failOnCell = 6;
        SpreadsheetExport(fake.window(), *list->listModel(), pointer).PushButton14_Click();
        // The header and two cells of the first row arrived, then a cell failed: the sheet is
        // still fitted and shown, and the failure reported once, after that.
        const QStringList calls = fake.spreadsheet.log.calls;
        QCOMPARE(calls.filter(QStringLiteral("cell ")).size(), 5);
        QCOMPARE(calls.mid(calls.size() - 2), QStringList({"fit", "show"}));
        QCOMPARE(fake.messages.shown.size(), 1);
        QVERIFY(fake.messages.shown[0].text.contains("PushButton14_Click at line 104"));
        QCOMPARE(pointer.mode, Pointer::Default);
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Child mode: save three rows to the path given, as whoever runs this, and print what the
    // user was told.
    // A size limit given after the path stands in for a full disk.
    if ((argc == 3 || argc == 4) && QByteArray(argv[1]) == "-save") {
        if (argc == 4) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlim_t bytes = std::strtoul(argv[3], nullptr, 10);
            const struct rlimit limit = {bytes, bytes};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        const QStringList told = saveThreeRows(QString::fromLocal8Bit(argv[2]));
        for (const QString& text : told)
            printf("%s\n", qPrintable(text));
        return 0;
    }
    TestResults test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_results.moc"
