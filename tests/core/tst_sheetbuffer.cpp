#include "core/SheetBuffer.h"

#include <QtTest>

using namespace tagsifter;

namespace {

/// Writes every block into a plain grid and counts the calls, as a sheet would see them.
struct Sheet
{
    SheetBuffer::Writer writer()
    {
        return
            [this](int firstRow, int firstColumn, const std::vector<std::vector<QString>>& rows) {
                ++calls;
                for (size_t r = 0; r < rows.size(); ++r) {
                    for (size_t c = 0; c < rows[r].size(); ++c)
                        cells[{firstRow + int(r), firstColumn + int(c)}] = rows[r][c];
                }
            };
    }
    QString at(int row, int column) const { return cells.value({row, column}); }
    QMap<QPair<int, int>, QString> cells;
    int calls = 0;
};

} // namespace

class TestSheetBuffer : public QObject
{
    Q_OBJECT

private slots:
    void blocksOfWholeRows()
    {
        Sheet sheet;
        SheetBuffer buffer(sheet.writer(), 3);
        buffer.set(1, 1, "Image");
        buffer.set(1, 2, "Metadata Tag");
        for (int row = 2; row <= 8; ++row) {
            buffer.set(row, 1, QString::number(row));
            if (row % 2 == 0)
                buffer.set(row, 3, "even");
        }
        // Rows 1-3 and 4-6 went out when the next block began; 7-8 wait for the flush.
        QCOMPARE(sheet.calls, 2);
        QCOMPARE(sheet.at(7, 1), QString());
        buffer.flush();
        QCOMPARE(sheet.calls, 3);
        buffer.flush();
        QCOMPARE(sheet.calls, 3);
        QCOMPARE(sheet.at(1, 2), "Metadata Tag");
        QCOMPARE(sheet.at(8, 1), "8");
        QCOMPARE(sheet.at(8, 3), "even");
        QCOMPARE(sheet.at(7, 3), QString());
        QVERIFY(!sheet.cells.contains({7, 4}));
    }

    void earlierRowsAreNotErased()
    {
        Sheet sheet;
        SheetBuffer buffer(sheet.writer(), 10);
        buffer.set(2, 2, "b");
        buffer.set(5, 1, "a");
        buffer.flush();
        // Row 3 lies inside the block that went out: a late cell there goes out alone and
        // the cells written before stay.
        buffer.set(3, 1, "late");
        buffer.set(2, 1, "left of b");
        QCOMPARE(sheet.calls, 3);
        QCOMPARE(sheet.at(2, 2), "b");
        QCOMPARE(sheet.at(3, 1), "late");
        QCOMPARE(sheet.at(2, 1), "left of b");
        QCOMPARE(sheet.at(5, 1), "a");
    }

    void aFailingWriterDropsTheBlock()
    {
        int calls = 0;
        SheetBuffer buffer([&](int, int, const std::vector<std::vector<QString>>&) {
            ++calls;
            throw std::runtime_error("lost");
        });
        buffer.set(1, 1, "x");
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, buffer.flush());
        buffer.flush();
        QCOMPARE(calls, 1);
    }
};

QTEST_GUILESS_MAIN(TestSheetBuffer)
#include "tst_sheetbuffer.moc"
