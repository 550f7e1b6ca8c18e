#include "core/Failure.h"
#include "platform/widgets/ListView.h"

#include <QAbstractItemModelTester>
#include <QTest>

using namespace tagsifter;

class TestListView : public QObject
{
    Q_OBJECT
private slots:
    void rowsReadBackExactly()
    {
        ListView list;
        QAbstractItemModelTester tester(list.listModel(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        list.addColumn(QStringLiteral("Image"));
        list.addColumn(QStringLiteral("Metadata Tag"));
        list.addColumn(QStringLiteral("Value"));
        QCOMPARE(list.addItem(QStringLiteral("/a b/ü.jpg"),
                              {QStringLiteral("Make"), QStringLiteral("  Kodak ")}),
                 1);
        QCOMPARE(list.addItem(QStringLiteral("/b.jpg"), {QStringLiteral("Tag"), QString()}), 2);
        QCOMPARE(list.count(), 2);
        QCOMPARE(list.text(1), QStringLiteral("/a b/ü.jpg"));
        QCOMPARE(list.subItem(1, 2), QStringLiteral("  Kodak "));
        QCOMPARE(list.cell(1, 1), QStringLiteral("/a b/ü.jpg"));
        QCOMPARE(list.cell(2, 3), QString());
        QCOMPARE(list.headerText(2), QStringLiteral("Metadata Tag"));
        list.setHeaderText(1, QStringLiteral("File(s)"));
        QCOMPARE(list.listModel()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("File(s)"));
    }

    void removalShiftsLaterRowsUp()
    {
        ListView list;
        QAbstractItemModelTester tester(list.listModel(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        list.addColumn(QStringLiteral("Image(s)"));
        for (int i = 1; i <= 6; ++i)
            list.addItem(QString::number(i));
        list.remove(2);
        QCOMPARE(list.text(2), QStringLiteral("3"));
        list.removeRange(3, 2); // rows "4" and "5"
        QCOMPARE(list.count(), 3);
        QCOMPARE(list.text(3), QStringLiteral("6"));
        QVERIFY_THROWS_EXCEPTION(Failure, list.text(4));
        QVERIFY_THROWS_EXCEPTION(Failure, list.remove(0));
        list.clear();
        QCOMPARE(list.count(), 0);
    }

    void currentRowAndHitTest()
    {
        ListView list;
        list.addColumn(QStringLiteral("Image(s)"));
        list.resize(300, 200);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        list.addItem(QStringLiteral("one"));
        list.addItem(QStringLiteral("two"));
        QCOMPARE(list.selectedIndex(), 0);
        // Reading the current row when there is none is a failure for the caller to report.
        QVERIFY_THROWS_EXCEPTION(Failure, list.selectedText());
        list.select(2);
        QCOMPARE(list.selectedText(), QStringLiteral("two"));
        const QRect second = list.visualRect(list.listModel()->index(1, 0));
        QCOMPARE(list.hitTest(second.center()), 2);
        QCOMPARE(list.hitTest(QPoint(5, list.viewport()->height() - 2)), 0);
    }

    void listPointer()
    {
        ListView list;
        QPixmap picture(16, 16);
        picture.fill(Qt::red);
        list.setListPointer(Pointer::Custom, QCursor(picture));
        QCOMPARE(list.viewport()->cursor().shape(), Qt::BitmapCursor);
        list.setWindowBusy(true);
        QCOMPARE(list.viewport()->cursor().shape(), Qt::WaitCursor);
        list.setWindowBusy(false);
        list.setListPointer(Pointer::Arrow);
        QCOMPARE(list.viewport()->cursor().shape(), Qt::ArrowCursor);
        list.setListPointer(Pointer::Custom); // no picture: the default pointer
        QCOMPARE(list.viewport()->cursor().shape(), Qt::ArrowCursor);
    }

    void holdsManyRows()
    {
        ListView list;
        list.addColumn(QStringLiteral("Image(s)"));
        for (int i = 0; i < 20000; ++i)
            list.addItem(QStringLiteral("/photos/%1.jpg").arg(i));
        QCOMPARE(list.count(), 20000);
        QCOMPARE(list.text(20000), QStringLiteral("/photos/19999.jpg"));
    }

    void aHugeValueIsCutOnScreenOnly()
    {
        ListView list;
        list.addColumn(QStringLiteral("Image"));
        list.addColumn(QStringLiteral("Value"));
        const QString huge(1 << 20, QLatin1Char('v'));
        list.addItem(QStringLiteral("/a.jpg"), {huge});
        list.addItem(QString(1000, QLatin1Char('p')), {QStringLiteral("short")});
        const QString shown = list.listModel()->index(0, 1).data().toString();
        QCOMPARE(shown.size(), 1001);
        QCOMPARE(shown, huge.left(1000) + QChar(0x2026));
        // Exactly 1,000 characters are shown whole; what the list holds is whole.
        QCOMPARE(list.listModel()->index(1, 0).data().toString().size(), 1000);
        QCOMPARE(list.cell(1, 2), huge);
        QCOMPARE(list.subItem(1, 1), huge);
    }
};

QTEST_MAIN(TestListView)
#include "tst_listview.moc"
