#include "filelist/FileAdder.h"
#include "filelist/FileDrop.h"
#include "filelist/FileListEditor.h"
#include "platform/widgets/ListView.h"
#include "support/FakeServices.h"

#include <QApplication>
#include <QMimeData>
#include <QTest>

using namespace tagsifter;
using namespace tagsifter::test;

namespace {

ListView* newFileList()
{
    auto* list = new ListView;
    list->addColumn(QStringLiteral("Image(s)"));
    return list;
}

} // namespace

class TestFileList : public QObject
{
    Q_OBJECT
private slots:
    void addFilesFromTheDialog()
    {
        FakeServices fake;
        FakePointer pointer;
        std::unique_ptr<ListView> list(newFileList());
        FileAdder adder(fake.window(), *list->listModel(), pointer);

        fake.dialogs.nextOpen = {QString(), {QStringLiteral("/photos//one.jpg")}};
        adder.PushButton3_Click();
        QCOMPARE(fake.dialogs.openTitles.constLast(),
                 QStringLiteral("Add File(s) - Use Ctrl & Shift to select multiple files"));
        // The designed filter first; a second entry offers the other photo and video types.
        const QStringList filter = fake.dialogs.openFilters.constLast().split('|');
        QCOMPARE(filter.mid(0, 2), QStringList({"Image Files (*.jpg;*.jpeg)", "*.jpg;*.jpeg"}));
        QVERIFY(filter.at(2).startsWith("Photos and Videos (*.jpg;*.jpeg;"));
        for (const char* type : {"*.heic", "*.cr3", "*.nef", "*.dng", "*.png", "*.mov"})
            QVERIFY2(filter.at(3).split(';').contains(type), type);
        QCOMPARE(filter.size(), 5);
        fake.dialogs.nextOpen = {QStringLiteral("/"),
                                 {QStringLiteral("b.JPG"), QStringLiteral("a.jpg")}};
        adder.PushButton3_Click();
        fake.dialogs.nextOpen = {};
        adder.PushButton3_Click();
        // Full paths typed from several folders: each keeps its own.
        fake.dialogs.nextOpen = {QString(), {"/x/c.jpg", "/y/d.jpg"}};
        adder.PushButton3_Click();
        // One file as returned; several joined and cleaned, in the dialog's order.
        QCOMPARE(list->texts(),
                 QStringList({"/photos//one.jpg", "/b.JPG", "/a.jpg", "/x/c.jpg", "/y/d.jpg"}));
        QVERIFY(fake.messages.shown.isEmpty());
    }

    void tooManyFilesForTheDialogBuffer()
    {
        FakeServices fake;
        FakePointer pointer;
        std::unique_ptr<ListView> list(newFileList());
        FileAdder adder(fake.window(), *list->listModel(), pointer);
        // Folder (9) + NUL, 2999 names of 9 + NUL, closing NUL: 30000 exactly still fits.
        OpenFilesAnswer fits{QStringLiteral("/photos/"), {}};
        for (int i = 0; i < 2999; ++i)
            fits.names.append(
                QStringLiteral("IMG%1.jpg").arg(i % 10, 2, 10, QLatin1Char('0')).left(9));
        QCOMPARE(FileAdder::dialogBufferLength(fits), 30000);
        fake.dialogs.nextOpen = fits;
        adder.PushButton3_Click();
        QCOMPARE(list->count(), 2999);
        fits.names.append(QStringLiteral("x"));
        fake.dialogs.nextOpen = fits;
        adder.PushButton3_Click();
        QCOMPARE(list->count(), 2999);
        QCOMPARE(fake.messages.texts(),
                 QStringList({"You've selected too many files to add.\r\rPlease try adding via the "
                              "\"Add All\" button."}));
        QCOMPARE(fake.messages.shown[0].flags, MessageFlags::Ok);
    }

    void addFolderWithTheStoredSettings()
    {
        QTemporaryDir dir;
        writeFile(dir.path() + QStringLiteral("/a.jpg"));
        writeFile(dir.path() + QStringLiteral("/b.txt"));
        FakeServices fake;
        FakePointer pointer;
        std::unique_ptr<ListView> list(newFileList());
        FileAdder adder(fake.window(), *list->listModel(), pointer);

        // First run: the prompt offers "jpg" and the browser opens without a folder.
        fake.input.answers = {QStringLiteral("*")};
        fake.dialogs.nextFolder.clear();
        adder.PushButton4_Click();
        QCOMPARE(fake.input.prompts.constLast(),
                 QStringLiteral("Enter file extension to load:\r\r(* for all files, txt for all "
                                "txt files, doc for all doc files, etc.)"));
        QCOMPARE(fake.input.defaults.constLast(), QStringLiteral("jpg"));
        QCOMPARE(fake.input.titles.constLast(), applicationTitle());
        QCOMPARE(fake.dialogs.browseTitles.constLast(), QStringLiteral("Please select folder:"));
        QCOMPARE(fake.dialogs.browseStarts.constLast(), QString());
        // Cancelling the browser keeps the new extension, stores no folder, adds nothing.
        QCOMPARE(fake.settings.read(QStringLiteral("Extension"), QString()), QStringLiteral("*"));
        QCOMPARE(fake.settings.read(QStringLiteral("LastFolder"), QStringLiteral("none")),
                 QStringLiteral("none"));
        QCOMPARE(list->count(), 0);
        QVERIFY(pointer.history.isEmpty());

        fake.input.answers = {QStringLiteral("*")};
        fake.dialogs.nextFolder = dir.path();
        adder.PushButton4_Click();
        QCOMPARE(fake.input.defaults.constLast(), QStringLiteral("*"));
        QCOMPARE(list->texts(), QStringList({dir.path() + "/a.jpg", dir.path() + "/b.txt"}));
        QCOMPARE(fake.settings.read(QStringLiteral("LastFolder"), QString()), dir.path());
        QCOMPARE(pointer.history, QList<Pointer>({Pointer::Hourglass, Pointer::Default}));

        // The next browser opens at the last folder; no duplicate check.
        fake.input.answers = {QStringLiteral("txt")};
        adder.PushButton4_Click();
        QCOMPARE(fake.dialogs.browseStarts.constLast(), dir.path());
        QCOMPARE(list->count(), 3);

        // An empty answer (or cancel) ends before the browser and stores nothing.
        const int browsed = fake.dialogs.browseTitles.size();
        fake.input.answers = {QString()};
        adder.PushButton4_Click();
        QCOMPARE(fake.dialogs.browseTitles.size(), browsed);
        QCOMPARE(fake.settings.read(QStringLiteral("Extension"), QString()), QStringLiteral("txt"));
    }

    void severalExtensionsAtOnce()
    {
        // Each extension as one is used (letter case aside), a file two of them match listed
        // once, the answer stored as typed.
        QTemporaryDir dir;
        for (const char* name : {"a.jpg", "b.CR2", "c.txt", "sub/d.jpeg", "sub/e.png"})
            writeFile(dir.path() + "/" + name);
        FakeServices fake;
        FakePointer pointer;
        std::unique_ptr<ListView> list(newFileList());
        FileAdder adder(fake.window(), *list->listModel(), pointer);
        fake.input.answers = {QStringLiteral("jpg, cr2;jpeg JPG")};
        fake.dialogs.nextFolder = dir.path();
        adder.PushButton4_Click();
        QCOMPARE(list->texts(), QStringList({dir.path() + "/a.jpg", dir.path() + "/b.CR2",
                                             dir.path() + "/sub/d.jpeg"}));
        QCOMPARE(fake.settings.read(QStringLiteral("Extension"), QString()),
                 QStringLiteral("jpg, cr2;jpeg JPG"));
        QVERIFY(fake.messages.shown.isEmpty());
    }

    void dropFilesAndFolders()
    {
        QTemporaryDir dir;
        writeFile(dir.path() + QStringLiteral("/tree/x.txt"));
        writeFile(dir.path() + QStringLiteral("/tree/sub/y.jpg"));
        writeFile(dir.path() + QStringLiteral("/tree/~skip.jpg"));
        writeFile(dir.path() + QStringLiteral("/other/z.png"));
        writeFile(dir.path() + QStringLiteral("/note.txt"));
        FakeServices fake;
        std::unique_ptr<ListView> list(newFileList());
        FileDrop drop(fake.window(), *list->listModel());

        QMimeData text;
        text.setText(QStringLiteral("just text"));
        QVERIFY(!drop.canAccept(&text));
        QMimeData web;
        web.setUrls({QUrl(QStringLiteral("https://example.org/a.jpg"))});
        QVERIFY(!drop.canAccept(&web));

        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(dir.path() + QStringLiteral("/note.txt")),
                       QUrl::fromLocalFile(dir.path() + QStringLiteral("/tree/")),
                       QUrl::fromLocalFile(dir.path() + QStringLiteral("/vanished.jpg")),
                       QUrl::fromLocalFile(dir.path() + QStringLiteral("/other"))});
        QVERIFY(drop.canAccept(&files));
        drop.drop(&files);
        QTRY_COMPARE(list->count(), 5);
        QCOMPARE(list->texts(),
                 QStringList({dir.path() + "/note.txt", dir.path() + "/tree/x.txt",
                              dir.path() + "/tree/sub/y.jpg", dir.path() + "/vanished.jpg",
                              dir.path() + "/other/z.png"}));
    }

    void realDropEventsOnTheList()
    {
        QTemporaryDir dir;
        writeFile(dir.path() + QStringLiteral("/a.jpg"));
        FakeServices fake;
        std::unique_ptr<ListView> list(newFileList());
        FileDrop drop(fake.window(), *list->listModel());
        list->setDropHandler(&drop);
        list->resize(300, 200);
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list.get()));
        const QPoint at(20, 20);

        QMimeData text;
        text.setText(QStringLiteral("words"));
        QDragEnterEvent refused(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &refused);
        QVERIFY(!refused.isAccepted());

        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(dir.path() + QStringLiteral("/a.jpg"))});
        QDragEnterEvent enter(at, Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &dropped);
        QTRY_COMPARE(list->count(), 1);
        QCOMPARE(list->text(1), dir.path() + QStringLiteral("/a.jpg"));
    }

    void removeAndClearRespectTheBusyPointer()
    {
        FakeServices fake;
        FakePointer pointer;
        std::unique_ptr<ListView> list(newFileList());
        FileListEditor editor(fake.window(), *list, pointer, QString());
        // Nothing happens on an empty list.
        editor.ListView1_KeyDown(Qt::Key_Delete);
        editor.PushButton7_Click();
        for (const char* p : {"/1", "/2", "/3"})
            list->addItem(QString::fromLatin1(p));
        editor.removeSelected(); // no current row
        QCOMPARE(list->count(), 3);
        list->select(2);
        pointer.mode = Pointer::Hourglass;
        editor.ListView1_KeyDown(Qt::Key_Delete);
        editor.removeSelected();
        editor.PushButton7_Click();
        QCOMPARE(list->count(), 3);
        pointer.mode = Pointer::Default;
        QTest::keyClick(list.get(), Qt::Key_Delete, Qt::ShiftModifier);
        QCOMPARE(list->texts(), QStringList({"/1", "/3"}));
        list->select(1);
        emit list->doubleClicked();
        QCOMPARE(list->texts(), QStringList({"/3"}));
        editor.PushButton7_Click();
        QCOMPARE(list->count(), 0);
        QVERIFY(fake.messages.shown.isEmpty());
    }

    void dragRowsWithTheMouse()
    {
        FakeServices fake;
        FakePointer pointer;
        std::unique_ptr<ListView> list(newFileList());
        FileListEditor editor(fake.window(), *list, pointer,
                              QStringLiteral(TAGSIFTER_SOURCE_DIR "/resources"));
        for (const char* p : {"/1", "/2", "/3", "/4"})
            list->addItem(QString::fromLatin1(p));
        list->resize(300, 300);
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list.get()));
        const auto centre = [&](int row) {
            return list->visualRect(list->listModel()->index(row - 1, 0)).center();
        };
        QWidget* viewport = list->viewport();
        QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, centre(1));
        QCOMPARE(list->listPointer(), Pointer::Custom);
        QCOMPARE(viewport->cursor().shape(), Qt::BitmapCursor);
        QTest::mouseMove(viewport, centre(2));
        QTest::mouseMove(viewport, centre(3));
        QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, centre(3));
        QCOMPARE(list->texts(), QStringList({"/2", "/3", "/1", "/4"}));
        QCOMPARE(list->selectedIndex(), 3);
        QCOMPARE(list->listPointer(), Pointer::Arrow);
        QVERIFY(!editor.isDragging());
        // A fast move exchanges just the two rows.
        QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, centre(1));
        QTest::mouseMove(viewport, centre(4));
        QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, centre(4));
        QCOMPARE(list->texts(), QStringList({"/4", "/3", "/1", "/2"}));
    }

    void dragEdgeCases()
    {
        FakeServices fake;
        FakePointer pointer;
        std::unique_ptr<ListView> list(newFileList());
        // No drag.ico in this folder: the list still drags, with the arrow.
        FileListEditor editor(fake.window(), *list, pointer, QStringLiteral("/nonexistent"));
        for (const char* p : {"/same", "/same", "/other"})
            list->addItem(QString::fromLatin1(p));
        list->resize(300, 300);
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list.get()));
        const auto centre = [&](int row) {
            return list->visualRect(list->listModel()->index(row - 1, 0)).center();
        };
        list->select(1);
        editor.ListView1_ItemClick(1);
        QCOMPARE(list->viewport()->cursor().shape(), Qt::ArrowCursor);
        editor.ListView1_MouseDown();
        // Twins never exchange.
        editor.ListView1_MouseMove(centre(2), QPoint(0, 330));
        QCOMPARE(list->texts(), QStringList({"/same", "/same", "/other"}));
        // The dragged row removed meanwhile: moving on over rows changes nothing, and no crash.
        list->remove(1);
        editor.ListView1_MouseMove(centre(2), QPoint(0, 330));
        QCOMPARE(list->texts(), QStringList({"/same", "/other"}));
        editor.ListView1_MouseUp();
        // The move resets the window pointer, unless it is the hourglass.
        pointer.mode = Pointer::Custom;
        editor.ListView1_MouseMove(centre(1), QPoint());
        QCOMPARE(pointer.mode, Pointer::Default);
        pointer.mode = Pointer::Hourglass;
        editor.ListView1_MouseMove(centre(1), QPoint());
        QCOMPARE(pointer.mode, Pointer::Hourglass);
    }

    void dragScrollsNearTheScreenEdges()
    {
        FakeServices fake;
        FakePointer pointer;
        std::unique_ptr<ListView> list(newFileList());
        FileListEditor editor(fake.window(), *list, pointer, QString());
        for (int i = 1; i <= 100; ++i)
            list->addItem(QStringLiteral("/%1").arg(i));
        list->resize(300, 120);
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list.get()));
        const auto centre = [&](int row) {
            return list->visualRect(list->listModel()->index(row - 1, 0)).center();
        };
        const auto visible = [&](int row) {
            return list->viewport()->rect().contains(centre(row));
        };
        list->select(1);
        editor.ListView1_ItemClick(1);
        editor.ListView1_MouseDown();
        int last = 1;
        while (visible(last + 1))
            ++last;
        QVERIFY(!visible(last + 1));
        // From 305 to 364 nothing scrolls.
        editor.ListView1_MouseMove(centre(last), QPoint(0, 364));
        QVERIFY(!visible(last + 1));
        // At 365 the row below the hovered one comes into view.
        list->select(last);
        editor.ListView1_MouseMove(centre(last - 1), QPoint(0, 365));
        editor.ListView1_MouseMove(centre(last), QPoint(0, 365));
        QVERIFY(visible(last + 1));
    }
};

QTEST_MAIN(TestFileList)
#include "tst_filelist.moc"
