#include "core/ErrorReport.h"
#include "core/Failure.h"
#include "core/FolderScan.h"
#include "support/FakeServices.h"

#include <QTest>

using namespace tagsifter;
using namespace tagsifter::test;

class TestErrorReport : public QObject
{
    Q_OBJECT
private slots:
    void reportTextIsExact()
    {
        QCOMPARE(
            ErrorReport::text(QStringLiteral("Subscript out of range"),
                              QStringLiteral("Tagsift2021/08/31.Form1.PushButton1_Click"), 122),
            QStringLiteral("Subscript out of range\r\nin Tagsift2021/08/31.Form1.PushButton1_Click "
                           "at line 122\r\rPlease email screenshot of this message to "
                           "support@brimvale.example"));
    }

    void firstLineFailureReports100()
    {
        FakeMessages messages;
        ErrorReport report(messages,
                           ErrorReport::formLocation(QStringLiteral("PushButton7_Click")));
        report.line(100, [] { throw Failure(QStringLiteral("Boom")); });
        QCOMPARE(messages.shown.size(), 1);
        QCOMPARE(messages.shown[0].flags, MessageFlags::Exclamation);
        QCOMPARE(messages.shown[0].title, QStringLiteral("Application Error"));
        QVERIFY(messages.shown[0].text.startsWith(QStringLiteral(
            "Boom\r\nin Tagsift2021/08/31.Form1.PushButton7_Click at line 100\r\r")));
    }

    void twoFailuresTwoReportsAndTheProcedureRunsOn()
    {
        FakeMessages messages;
        ErrorReport report(messages, QStringLiteral("here"));
        QStringList ran;
        report.line(100, [&] { ran << "100"; });
        report.line(102, [&] { throw Failure(QStringLiteral("first")); });
        report.line(104, [&] { ran << "104"; });
        report.line(106, [&] { throw std::runtime_error("second"); });
        report.line(108, [&] { ran << "108"; });
        QCOMPARE(ran, QStringList({"100", "104", "108"}));
        QCOMPARE(messages.shown.size(), 2);
        QVERIFY(messages.shown[0].text.contains(QStringLiteral("first\r\nin here at line 102")));
        QVERIFY(messages.shown[1].text.contains(QStringLiteral("second\r\nin here at line 106")));
        QCOMPARE(report.reportCount(), 2);
    }

    void failingConditionEntersTheDecision()
    {
        FakeMessages messages;
        ErrorReport report(messages, QStringLiteral("here"));
        bool entered = false;
        if (report.condition(110, []() -> bool { throw Failure(QStringLiteral("bad test")); }))
            entered = true;
        QVERIFY(entered);
        QVERIFY(!report.condition(112, [] { return false; }));
        QCOMPARE(report.value(
                     114, []() -> int { throw Failure(QStringLiteral("x")); }, 7),
                 7);
        QCOMPARE(messages.shown.size(), 2);
    }

    void folderScanLocation()
    {
        QCOMPARE(FolderScan::scanLocation(),
                 QStringLiteral("OstrivaneTitle2021/08/31.AddFolder.GetSubDirectories2016"));
    }
};

QTEST_GUILESS_MAIN(TestErrorReport)
#include "tst_errorreport.moc"
