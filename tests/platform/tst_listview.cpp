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

    void scatteredRowsLeaveAndTheListReadsRightAtEveryStep_data()
    {
        QTest::addColumn<QList<int>>("removed");
        // The runs as the view is told of them: the last run first.
        QTest::addColumn<QStringList>("runs");
        QTest::newRow("none") << QList<int>() << QStringList();
        QTest::newRow("the first") << QList<int>({1}) << QStringList({"1"});
        QTest::newRow("the last") << QList<int>({8}) << QStringList({"8"});
        QTest::newRow("every row")
            << QList<int>({1, 2, 3, 4, 5, 6, 7, 8}) << QStringList({"1,2,3,4,5,6,7,8"});
        QTest::newRow("scattered runs")
            << QList<int>({1, 3, 4, 6, 8}) << QStringList({"8", "6", "3,4", "1"});
        QTest::newRow("a run at each end")
            << QList<int>({1, 2, 7, 8}) << QStringList({"7,8", "1,2"});
        QTest::newRow("one run inside") << QList<int>({3, 4, 5}) << QStringList({"3,4,5"});
    }

    void scatteredRowsLeaveAndTheListReadsRightAtEveryStep()
    {
        QFETCH(QList<int>, removed);
        QFETCH(QStringList, runs);
        ListView list;
        QAbstractItemModelTester tester(list.listModel(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        list.addColumn(QStringLiteral("Image"));
        list.addColumn(QStringLiteral("Value"));
        QStringList expected;
        for (int i = 1; i <= 8; ++i) {
            list.addItem(QString::number(i), {QStringLiteral("v%1").arg(i)});
            expected.append(QString::number(i));
        }
        list.resize(300, 400);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        // The row the user is on stays current when it is kept.
        int kept = 0;
        for (int i = 8; i >= 1 && kept == 0; --i)
            kept = removed.contains(i) ? 0 : i;
        if (kept > 0)
            list.select(kept);
        // What the view reads before and after each step is the list of that moment.
        const auto rowsNow = [&list] {
            QStringList rows;
            for (int row = 1; row <= list.count(); ++row) {
                const QAbstractItemModel* model = list.listModel();
                rows.append(model->index(row - 1, 0).data().toString() + QLatin1Char('/') +
                            model->index(row - 1, 1).data().toString() + QLatin1Char('/') +
                            list.cell(row, 2));
            }
            return rows;
        };
        const auto rowsOf = [](const QStringList& numbers) {
            QStringList rows;
            for (const QString& number : numbers)
                rows.append(number + QStringLiteral("/v") + number + QStringLiteral("/v") + number);
            return rows;
        };
        QStringList steps;
        connect(list.listModel(), &QAbstractItemModel::rowsAboutToBeRemoved,
                [&](const QModelIndex&, int first, int last) {
                    QCOMPARE(rowsNow(), rowsOf(expected));
                    steps.append(expected.mid(first, last - first + 1).join(QLatin1Char(',')));
                    expected.remove(first, last - first + 1);
                });
        connect(list.listModel(), &QAbstractItemModel::rowsRemoved,
                [&] { QCOMPARE(rowsNow(), rowsOf(expected)); });
        list.removeRowsAt(removed);
        QStringList left;
        for (int i = 1; i <= 8; ++i) {
            if (!removed.contains(i))
                left.append(QString::number(i));
        }
        QCOMPARE(list.texts(), left);
        QCOMPARE(rowsNow(), rowsOf(left));
        // A run of neighbours goes in one step, the last run first.
        QCOMPARE(steps, runs);
        if (kept > 0)
            QCOMPARE(list.selectedText(), QString::number(kept));
        QVERIFY_THROWS_EXCEPTION(Failure, list.removeRowsAt({1, list.count() + 1}));
        QCOMPARE(list.texts(), left);
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
