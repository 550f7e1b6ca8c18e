#include "core/DumpParser.h"

#include <QFile>
#include <QTest>

using namespace tagsifter;

Q_DECLARE_METATYPE(std::optional<TagValue>)

namespace {
QString recorded(const char* name)
{
    QFile file(QStringLiteral(TAGSIFTER_SOURCE_DIR "/tests/data/dumps/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing recorded dump %s", name);
    return QString::fromUtf8(file.readAll());
}
} // namespace

class TestDumpParser : public QObject
{
    Q_OBJECT
private slots:
    void line_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("entry");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("value");
        QTest::newRow("make") << "Make                            : Kodak" << true << "Make"
                              << "Kodak";
        QTest::newRow("date keeps its colons")
            << "Date/Time Original              : 2021:08:31 10:00:00" << true
            << "Date/Time Original"
            << "2021:08:31 10:00:00";
        QTest::newRow("only spaces after the colon")
            << "Comment                         :    " << true << "Comment"
            << "";
        QTest::newRow("trailing colon kept inside") << "Note : a: b :" << true << "Note"
                                                    << "a: b :";
        QTest::newRow("tabs are not trimmed") << "Tag :\tvalue\t" << true << "Tag"
                                              << "\tvalue\t";
        QTest::newRow("no colon") << "Warning without colon" << false << ""
                                  << "";
        QTest::newRow("empty") << "" << false << ""
                               << "";
        QTest::newRow("version line") << "ExifTool Version Number         : 12.57" << false << ""
                                      << "";
        QTest::newRow("folder line") << "Directory                       : /home/a" << false << ""
                                     << "";
        QTest::newRow("Directory inside a value") << "Comment : see Directory X" << false << ""
                                                  << "";
        QTest::newRow("directory in lower case is kept")
            << "Comment : see directory X" << true << "Comment"
            << "see directory X";
    }
    void line()
    {
        QFETCH(QString, line);
        QFETCH(bool, entry);
        QFETCH(QString, tag);
        QFETCH(QString, value);
        const std::optional<TagValue> parsed = parseDumpLine(line);
        QCOMPARE(parsed.has_value(), entry);
        if (entry) {
            QCOMPARE(parsed->tag, tag);
            QCOMPARE(parsed->value, value);
        }
    }

    void letterCaseIsSimpleCaseFolding_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("searched");
        QTest::addColumn<bool>("found");
        QTest::newRow("accented") << QString::fromUtf8("CAF\xc3\x89")
                                  << QString::fromUtf8("caf\xc3\xa9") << true;
        QTest::newRow("ligature letter")
            << QString::fromUtf8("\xc5\x92uvre") << QString::fromUtf8("\xc5\x93UVRE") << true;
        QTest::newRow("final sigma") << QString::fromUtf8("\xce\xa3\xce\xa3")
                                     << QString::fromUtf8("\xcf\x83\xcf\x82") << true;
        QTest::newRow("Deseret, outside the BMP") << QString::fromUtf8("\xf0\x90\x90\x80")
                                                  << QString::fromUtf8("\xf0\x90\x90\xa8") << true;
        QTest::newRow("Turkish dotted I")
            << QString::fromUtf8("\xc4\xb0stanbul") << "istanbul" << false;
        QTest::newRow("Turkish dotless i") << QString::fromUtf8("\xc4\xb1zmir") << "IZMIR" << false;
        QTest::newRow("sharp s is no double s") << QString::fromUtf8("Stra\xc3\x9f"
                                                                     "e")
                                                << "STRASSE" << false;
        QTest::newRow("ligature fi") << QString::fromUtf8("\xef\xac\x81le") << "FILE" << false;
    }

    void letterCaseIsSimpleCaseFolding()
    {
        QFETCH(QString, value);
        QFETCH(QString, searched);
        QFETCH(bool, found);
        const QList<TagValue> hits = matchingEntries("Comment : " + value + "\n", searched);
        QCOMPARE(hits.size(), found ? 1 : 0);
    }

    void linesSplitAtLineFeed()
    {
        QCOMPARE(dumpLines(QStringLiteral("a : 1\r\nb : 2\nc : 3")),
                 QStringList({"a : 1", "b : 2", "c : 3"}));
        // The "empty file" marker has no colon: no entries.
        QVERIFY(matchingEntries(QStringLiteral("empty file"), QStringLiteral("e")).isEmpty());
    }

    void recordedCameraOutput()
    {
        const QString dump = recorded("Kodak_CX7530.txt");
        const QList<TagValue> kodak = matchingEntries(dump, QStringLiteral("kOdAk"));
        QCOMPARE(kodak,
                 (QList<TagValue>{{"File Name", "Kodak_CX7530.jpg"},
                                  {"Make", "EASTMAN KODAK COMPANY"},
                                  {"Camera Model Name", "KODAK CX7530 ZOOM DIGITAL CAMERA"}}));
        // The folder of the file is on the Directory line, which never matches.
        QVERIFY(matchingEntries(dump, QStringLiteral("Pictures")).isEmpty());
        QCOMPARE(matchingEntries(dump, QStringLiteral("2005:08:13 09:47")).constFirst(),
                 (TagValue{"Date/Time Original", "2005:08:13 09:47:23"}));
        // A leading space must be matched too.
        QCOMPARE(matchingEntries(dump, QStringLiteral(" KODAK")).size(), 1);

        const QString canon = recorded("Canon_40D.txt");
        QCOMPARE(matchingEntries(canon, QStringLiteral("canon eos 40d")).constFirst(),
                 (TagValue{"Camera Model Name", "Canon EOS 40D"}));
        QVERIFY(matchingEntries(canon, QStringLiteral("12.57")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDumpParser)
#include "tst_dumpparser.moc"
