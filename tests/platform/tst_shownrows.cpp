#include "core/Failure.h"
#include "platform/ListModel.h"
#include "platform/NaturalOrder.h"
#include "platform/ShownRows.h"

#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <numeric>

using namespace tagsifter;

namespace {

using Tester = QAbstractItemModelTester;

// A results list: path, tag, value.
void fill(ListModel& list, const QList<QStringList>& rows)
{
    if (list.columns() == 0) {
        for (const char* header : {"Image", "Metadata Tag", "Value"})
            list.addColumn(QString::fromLatin1(header));
    }
    std::vector<ListModel::Row> added;
    for (const QStringList& row : rows)
        added.push_back({row.value(0), {row.value(1), row.value(2)}});
    list.addItems(std::move(added));
}

QStringList column(const RowTable& rows, int column)
{
    QStringList cells;
    for (int row = 1; row <= rows.count(); ++row)
        cells.append(rows.cell(row, column));
    return cells;
}

} // namespace

class TestShownRows : public QObject
{
    Q_OBJECT
private slots:
    void naturalOrder_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("numbers as numbers") << "9 mm"
                                            << "10 mm";
        QTest::newRow("a decimal fraction") << "1.10"
                                            << "1.9";
        QTest::newRow("a sign") << "-1"
                                << "0.5";
        QTest::newRow("numbers before words") << "250"
                                              << "Auto";
        QTest::newRow("an equal number, then the rest") << "5.6 (f)"
                                                        << "5.6 mm";
        QTest::newRow("case ignored, the rest decides") << "apple"
                                                        << "Banana";
        QTest::newRow("numbers inside a text") << "/p/IMG_9.jpg"
                                               << "/p/IMG_10.jpg";
        QTest::newRow("the empty text first") << ""
                                              << "a";
        QTest::newRow("a huge number") << "1e"
                                       << "99999999999999999999999";
        QTest::newRow("a huge number before a word") << "99999999999999999999999"
                                                     << "e";
    }
    void naturalOrder()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        const NaturalOrder order(QStringLiteral("en_US"));
        QVERIFY(order.compare(before, after) < 0);
        QVERIFY(order.compare(after, before) > 0);
        QCOMPARE(order.compare(before, before), 0);
    }

    void caseIsIgnoredAndTheLocaleDecides()
    {
        QCOMPARE(NaturalOrder(QStringLiteral("en_US")).compare("CANON", "canon"), 0);
        QCOMPARE(NaturalOrder(QStringLiteral("en_US")).compare("0", "-0"), 0);
        // Swedish puts ö after z, German beside o.
        QVERIFY(NaturalOrder(QStringLiteral("sv_SE")).compare("ö", "z") > 0);
        QVERIFY(NaturalOrder(QStringLiteral("de_DE")).compare("ö", "z") < 0);
    }

    void sortsThreeWaysAndKeepsTheOrderFoundForTies()
    {
        ListModel list;
        fill(list, {{"/b", "Focal", "10 mm"},
                    {"/a", "Focal", "9 mm"},
                    {"/c", "Make", "canon"},
                    {"/d", "Make", "Canon"},
                    {"/e", "Model", "200"}});
        ShownRows shown(list);
        Tester tester(&shown, Tester::FailureReportingMode::QtTest);
        shown.sortBy(3, Qt::AscendingOrder);
        QCOMPARE(column(shown, 1), QStringList({"/a", "/b", "/e", "/c", "/d"}));
        shown.sortBy(3, Qt::DescendingOrder);
        QCOMPARE(column(shown, 1), QStringList({"/d", "/c", "/e", "/b", "/a"}));
        shown.sortBy(1, Qt::AscendingOrder);
        QCOMPARE(column(shown, 1), QStringList({"/a", "/b", "/c", "/d", "/e"}));
        shown.sortBy(0);
        QCOMPARE(column(shown, 1), QStringList({"/b", "/a", "/c", "/d", "/e"}));
        QCOMPARE(shown.sourceRow(2), 2);
    }

    void aBigListSortsAsOneComparisonAtATimeWould()
    {
        // Enough rows for the sort to split its work among threads and merge it.
        ListModel list;
        QList<QStringList> rows;
        QRandomGenerator random(7);
        const QStringList words{"Auto", "auto", "Ébène", "zoom", "_x", "", "f/2.8", "-3"};
        for (int i = 0; i < 30000; ++i) {
            const QString value = random.bounded(2) ? QString::number(random.bounded(500) / 10.0)
                                                    : words.at(random.bounded(words.size()));
            rows.append({QStringLiteral("/p/%1.jpg").arg(i), "Tag", value});
        }
        fill(list, rows);
        ShownRows shown(list);
        shown.sortBy(3);
        std::vector<int> expected(30000);
        std::iota(expected.begin(), expected.end(), 1);
        const NaturalOrder order;
        std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) {
            return order.compare(list.cell(a, 3), list.cell(b, 3)) < 0;
        });
        for (int row = 1; row <= 30000; ++row)
            QCOMPARE(shown.sourceRow(row), expected[size_t(row - 1)]);
    }

    void theFilterHidesAndNeverRemoves()
    {
        ListModel list;
        fill(list, {{"/x/Kodak.jpg", "Make", "Eastman"},
                    {"/y/1.jpg", "Make", "KODAK"},
                    {"/y/2.jpg", "Kodak Tag", "1"},
                    {"/y/3.jpg", "Make", "Canon"},
                    {"/y/4.jpg", "Comment", "a*b"}});
        ShownRows shown(list);
        Tester tester(&shown, Tester::FailureReportingMode::QtTest);
        shown.setFilterText("kodak");
        QCOMPARE(column(shown, 1), QStringList({"/x/Kodak.jpg", "/y/1.jpg", "/y/2.jpg"}));
        shown.setFilterText("kodak.");
        QCOMPARE(column(shown, 1), QStringList({"/x/Kodak.jpg"}));
        // Plain text: a star is a star, a dot a dot.
        shown.setFilterText("*");
        QCOMPARE(column(shown, 1), QStringList({"/y/4.jpg"}));
        shown.setFilterText("a.b");
        QCOMPARE(shown.count(), 0);
        QCOMPARE(list.count(), 5);
        shown.setFilterText(QString());
        QCOMPARE(shown.count(), 5);
        // Sorted and filtered at once.
        shown.setFilterText("make");
        shown.sortBy(3, Qt::DescendingOrder);
        QCOMPARE(column(shown, 3), QStringList({"KODAK", "Eastman", "Canon"}));
    }

    void removedRowsComeBackWhereTheyWere()
    {
        ListModel list;
        fill(list, {{"/1", "t", "e"},
                    {"/2", "t", "d"},
                    {"/3", "t", "c"},
                    {"/4", "t", "b"},
                    {"/5", "t", "a"}});
        ShownRows shown(list);
        Tester tester(&shown, Tester::FailureReportingMode::QtTest);
        shown.sortBy(3);
        shown.setFilterText("/");
        // Shown: /5 /4 /3 /2 /1; the second and fourth go.
        ShownRows::Removed removed = shown.removeShown({4, 2});
        QCOMPARE(removed.positions, std::vector<int>({2, 4}));
        QCOMPARE(list.texts(), QStringList({"/1", "/3", "/5"}));
        QCOMPARE(column(shown, 1), QStringList({"/5", "/3", "/1"}));
        fill(list, {{"/6", "t", "c2"}});
        QCOMPARE(column(shown, 1), QStringList({"/5", "/3", "/6", "/1"}));
        shown.restore(std::move(removed));
        QCOMPARE(list.texts(), QStringList({"/1", "/2", "/3", "/4", "/5", "/6"}));
        QCOMPARE(column(shown, 1), QStringList({"/5", "/4", "/3", "/6", "/2", "/1"}));
        ShownRows::Removed all = shown.removeAll();
        QCOMPARE(list.count(), 0);
        shown.restore(std::move(all));
        QCOMPARE(list.count(), 6);
        QVERIFY_THROWS_EXCEPTION(Failure, shown.removeShown({7}));
    }

    void aListMadeAnewShowsInTheOrderFound()
    {
        ListModel list;
        fill(list, {{"/b", "t", "2"}, {"/a", "t", "1"}});
        ShownRows shown(list);
        Tester tester(&shown, Tester::FailureReportingMode::QtTest);
        QList<int> sorted;
        connect(&shown, &ShownRows::sorted, this, [&](int column) { sorted.append(column); });
        shown.sortBy(3);
        QCOMPARE(column(shown, 1), QStringList({"/a", "/b"}));
        list.clear();
        fill(list, {{"/d", "t", "2"}, {"/c", "t", "1"}});
        QCOMPARE(column(shown, 1), QStringList({"/d", "/c"}));
        QCOMPARE(sorted, QList<int>({3, 0}));
    }
};

QTEST_GUILESS_MAIN(TestShownRows)
#include "tst_shownrows.moc"
