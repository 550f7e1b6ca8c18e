#include "core/Failure.h"
#include "platform/calc/CalcSpreadsheet.h"
#include "platform/widgets/ListView.h"
#include "platform/widgets/QtWindowServices.h"
#include "results/SpreadsheetExport.h"
#include "support/FakeServices.h"
#include "support/WidgetSupport.h"

#include <QtTest>

#include <com/sun/star/awt/XWindow2.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/text/XText.hpp>

#include <csignal>
#include <cstdlib>

using namespace tagsifter;
using namespace tagsifter::test;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace {

/// Pids of the processes whose command line contains `text`.
QList<int> processesWith(const QString& text)
{
    QList<int> pids;
    const QByteArray needle = text.toUtf8();
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const int pid = entry.toInt(&number);
        if (!number)
            continue;
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(needle))
            pids.append(pid);
    }
    return pids;
}

/// The offices this test killed: each leaves its temp folder ("lu" PID ...) behind.
QList<int>& killedOffices()
{
    static QList<int> pids;
    return pids;
}

QString exportPipes()
{
    return QStringLiteral("tagsifter_export_%1_").arg(QCoreApplication::applicationPid());
}

/// The real Calc, with each document kept after the export lets go of it, to be read back.
class KeepingCalc : public SpreadsheetService
{
public:
    class Forward : public SpreadsheetDocument
    {
    public:
        Forward(KeepingCalc& owner, std::shared_ptr<CalcDocument> document)
            : m_owner(owner), m_document(std::move(document))
        {
        }
        void setCellText(int row, int column, const QString& text) override
        {
            if (++m_owner.cells == m_owner.killAfterCells) {
                for (int pid : processesWith(exportPipes())) {
                    ::kill(pid, SIGKILL);
                    killedOffices().append(pid);
                }
                // The next cell goes to an office that is gone.
                QDeadlineTimer limit(10000);
                while (!processesWith(exportPipes()).isEmpty() && !limit.hasExpired())
                    QTest::qWait(20);
            }
            m_document->setCellText(row, column, text);
        }
        void fitColumns() override { m_document->fitColumns(); }
        void show() override { m_document->show(); }

    private:
        KeepingCalc& m_owner;
        std::shared_ptr<CalcDocument> m_document;
    };

    bool probe() override { return calc.probe(); }
    std::unique_ptr<SpreadsheetDocument> newDocument() override
    {
        std::unique_ptr<SpreadsheetDocument> made = calc.newDocument();
        last.reset(dynamic_cast<CalcDocument*>(made.release()));
        return std::make_unique<Forward>(*this, last);
    }

    CalcSpreadsheet calc;
    std::shared_ptr<CalcDocument> last;
    int cells = 0;
    int killAfterCells = -1;
};

/// One export of `list` into the real Calc, with messages and pointer recorded.
struct Export
{
    explicit Export(ListView& list, int killAfterCells = -1)
    {
        calc.killAfterCells = killAfterCells;
        WindowServices services = fake.window();
        services.desktop.spreadsheet = &calc;
        SpreadsheetExport(services, *list.listModel(), pointer).PushButton14_Click();
    }
    FakeServices fake;
    KeepingCalc calc;
    FakePointer pointer;
};

struct Cell
{
    QString text;
    bool isText = false;
};

/// Row `row` of the sheet, columns A to D, as texts with their kind.
QList<Cell> sheetRow(const CalcDocument& document, int row)
{
    QList<Cell> cells;
    for (int column = 0; column < 4; ++column) {
        const Reference<css::table::XCell> cell =
            document.sheet()->getCellByPosition(column, row - 1);
        const Reference<css::text::XText> text(cell, UNO_QUERY_THROW);
        cells.append(
            {fromUno(text->getString()), cell->getType() == css::table::CellContentType_TEXT});
    }
    return cells;
}

QStringList texts(const QList<Cell>& cells)
{
    QStringList all;
    for (const Cell& cell : cells)
        all.append(cell.text);
    return all;
}

int columnWidth(const CalcDocument& document, int column)
{
    const Reference<css::table::XColumnRowRange> ranges(document.sheet(), UNO_QUERY_THROW);
    const Reference<css::beans::XPropertySet> properties(ranges->getColumns()->getByIndex(column),
                                                         UNO_QUERY_THROW);
    sal_Int32 width = 0;
    properties->getPropertyValue("Width") >>= width;
    return width;
}

bool isShown(const CalcDocument& document)
{
    const Reference<css::awt::XWindow2> window(
        document.model()->getCurrentController()->getFrame()->getContainerWindow(),
        UNO_QUERY_THROW);
    return window->isVisible();
}

} // namespace

/// Runs against the real LibreOffice Calc, on an X server, with the office's profile in the
/// build tree.
class TestCalc : public QObject
{
    Q_OBJECT

private slots:
    void theModuleLoadsOrIsMissed()
    {
        auto found = loadSpreadsheetService({QStringLiteral(TAGSIFTER_BINARY_DIR "/src")});
        QVERIFY(dynamic_cast<CalcSpreadsheet*>(found.get()));
        auto missed = loadSpreadsheetService({QStringLiteral("/nonexistent")});
        QVERIFY(dynamic_cast<UnavailableSpreadsheet*>(missed.get()));
    }

    void probeLeavesNothingRunning()
    {
        CalcSpreadsheet calc;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(calc.probe());
        qInfo("probe took %lld ms", clock.elapsed());
        QVERIFY(processesWith(CalcSpreadsheet::probePipePrefix()).isEmpty());
        QVERIFY(calc.probe());
        QVERIFY(processesWith(CalcSpreadsheet::probePipePrefix()).isEmpty());
    }

    void closingDuringAProbeEndsItsOffice()
    {
        QProcess program;
        program.start(QCoreApplication::applicationFilePath(), {"--quit-during-probe"});
        QVERIFY(program.waitForStarted());
        const QString pipes = QStringLiteral("tagsifter_probe_%1_").arg(program.processId());
        QTRY_VERIFY_WITH_TIMEOUT(!processesWith(pipes).isEmpty(), 5000);
        program.write("quit\n");
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(processesWith(pipes).isEmpty(), 5000);
    }

    void missingLibreOfficeShowsBothMessages()
    {
        CalcSpreadsheet nowhere(QStringLiteral("/nonexistent/program"));
        QVERIFY(!nowhere.probe());
        QVERIFY_THROWS_EXCEPTION(Failure, nowhere.newDocument());

        auto list = resultsWith({{"/a.jpg", "Make", "Kodak"}});
        FakeServices fake;
        WindowServices services = fake.window();
        services.desktop.spreadsheet = &nowhere;
        FakePointer pointer;
        SpreadsheetExport(services, *list->listModel(), pointer).PushButton14_Click();
        QCOMPARE(fake.messages.texts(), QStringList({SpreadsheetExport::probeMessage(),
                                                     SpreadsheetExport::notInstalledMessage()}));
    }

    void exportFillsAVisibleSheet()
    {
        auto list = resultsWith(
            {{"/photos/a=b.jpg", "=Make", "Kodak"},
             {"/photos/a=b.jpg", "Comment", "==="},
             {"/photos/c.jpg", "Date/Time Original", "2005:08:13 09:47:23"},
             {"/photos/c.jpg", "ISO", "0080"},
             {"/photos/d.jpg", "Formula", "=SUM(A1:A2)"},
             {"/photos/e.jpg", "", "v=1"},
             {QString::fromUtf8("/фото/写真.jpg"), "Title", QString::fromUtf8("Straße ✓")}});
        Export done(*list);
        QVERIFY2(done.fake.messages.shown.isEmpty(),
                 qPrintable(done.fake.messages.texts().join('|')));
        QVERIFY(done.calc.last);
        const CalcDocument& sheet = *done.calc.last;
        QCOMPARE(texts(sheetRow(sheet, 1)), QStringList({"Image", "Metadata Tag", "Value", ""}));
        QCOMPARE(texts(sheetRow(sheet, 2)), QStringList({"/photos/a=b.jpg", "Make", "Kodak", ""}));
        // A value of only "=" keeps its column, empty.
        QCOMPARE(texts(sheetRow(sheet, 3)), QStringList({"/photos/a=b.jpg", "Comment", "", ""}));
        QCOMPARE(texts(sheetRow(sheet, 4)),
                 QStringList({"/photos/c.jpg", "Date/Time Original", "2005:08:13 09:47:23", ""}));
        QCOMPARE(texts(sheetRow(sheet, 5)), QStringList({"/photos/c.jpg", "ISO", "0080", ""}));
        QCOMPARE(texts(sheetRow(sheet, 6)),
                 QStringList({"/photos/d.jpg", "Formula", "SUM(A1:A2)", ""}));
        // An empty tag leaves no gap.
        QCOMPARE(texts(sheetRow(sheet, 7)), QStringList({"/photos/e.jpg", "v1", "", ""}));
        QCOMPARE(texts(sheetRow(sheet, 8)),
                 QStringList({QString::fromUtf8("/фото/写真.jpg"), "Title",
                              QString::fromUtf8("Straße ✓"), ""}));
        QCOMPARE(texts(sheetRow(sheet, 9)), QStringList({"", "", "", ""}));
        // Numbers, dates and formulas arrive as the texts they were.
        for (int row : {4, 5, 6})
            QVERIFY(sheetRow(sheet, row)[2].isText);
        QVERIFY(columnWidth(sheet, 0) > columnWidth(sheet, 3));
        QVERIFY(columnWidth(sheet, 1) > columnWidth(sheet, 3));
        QVERIFY(isShown(sheet));
        QCOMPARE(done.pointer.history, QList<Pointer>({Pointer::Hourglass, Pointer::Default}));
        // The export's office stays for the user; the probe's is gone.
        QVERIFY(!processesWith(exportPipes()).isEmpty());
        QVERIFY(processesWith(CalcSpreadsheet::probePipePrefix()).isEmpty());
    }

    void firstRowWithoutValueHasTwoHeaders()
    {
        auto list = resultsWith({{"/a.jpg", "Make", ""}, {"/b.jpg", "Make", "Kodak"}});
        Export done(*list);
        QVERIFY(done.fake.messages.shown.isEmpty());
        const CalcDocument& sheet = *done.calc.last;
        QCOMPARE(texts(sheetRow(sheet, 1)), QStringList({"Image", "Metadata Tag", "", ""}));
        QCOMPARE(texts(sheetRow(sheet, 2)), QStringList({"/a.jpg", "Make", "", ""}));
        QCOMPARE(texts(sheetRow(sheet, 3)), QStringList({"/b.jpg", "Make", "Kodak", ""}));
    }

    void aLostOfficeIsReportedOnce()
    {
        QList<QStringList> rows;
        for (int i = 1; i <= 2500; ++i)
            rows.append({QStringLiteral("/photos/%1.jpg").arg(i), "Make", "Kodak"});
        auto list = resultsWith(rows);
        Export done(*list, 4000);
        const QList<FakeMessages::Shown>& shown = done.fake.messages.shown;
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].title, QStringLiteral("Application Error"));
        QVERIFY(shown[0].text.contains("The connection to LibreOffice Calc was lost."));
        // The export stopped at the first block it could not write, short of the last cell.
        QVERIFY(done.calc.cells < 3 + 2500 * 3);
        QCOMPARE(done.pointer.mode, Pointer::Default);
    }

    void cleanupTestCase()
    {
        // The offices the exports started belong to this test: end them.
        for (int pid : processesWith(exportPipes()))
            ::kill(pid, SIGTERM);
        QTRY_VERIFY_WITH_TIMEOUT(processesWith(exportPipes()).isEmpty(), 15000);
        // An office ended by a signal leaves the socket of its pipe behind; one killed, its
        // temp folder too.
        QDir temp(QDir::tempPath());
        for (const QString& name :
             temp.entryList({QStringLiteral("OSL_PIPE_*_") + exportPipes() + '*'}, QDir::System))
            QVERIFY(temp.remove(name));
        for (int pid : killedOffices()) {
            for (const QString& name :
                 temp.entryList({QStringLiteral("lu%1*.tmp").arg(pid)}, QDir::Dirs | QDir::Hidden))
                QVERIFY(QDir(temp.filePath(name)).removeRecursively());
        }
    }
};

int main(int argc, char** argv)
{
    // The program closed in the middle of a probe: quick_exit, as closing the window does.
    if (argc > 1 && qstrcmp(argv[1], "--quit-during-probe") == 0) {
        QApplication app(argc, argv);
        CalcSpreadsheet calc;
        // The test says when: once it has seen the probe's office running.
        QSocketNotifier quit(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(&quit, &QSocketNotifier::activated, [] { std::quick_exit(0); });
        calc.probe();
        return 1;
    }
    QApplication app(argc, argv);
    TestCalc test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_calc.moc"
