#include "core/DumpParser.h"
#include "query/TextPrefilter.h"

#include <QRandomGenerator>
#include <QTest>

using namespace tagsifter;

class TestTextPrefilter : public QObject
{
    Q_OBJECT
private slots:
    void decidesOnBytes_data()
    {
        QTest::addColumn<QString>("dump");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("may");
        QTest::newRow("ASCII, other case") << "Make : KODAK\n"
                                           << "kodak" << true;
        QTest::newRow("ASCII, absent") << "Make : Canon\nModel : EOS\n"
                                       << "kodak" << false;
        QTest::newRow("Kelvin sign folds to k")
            << QString::fromUtf8("Comment : \xe2\x84\xaaODAK\n") << "kodak" << true;
        QTest::newRow("long s folds to s")
            << QString::fromUtf8("Comment : \xc5\xbftrand\n") << "STRAND" << true;
        QTest::newRow("text outside ASCII, other case")
            << QString::fromUtf8("Comment : CAF\xc3\x89 noir\n") << QString::fromUtf8("caf\xc3\xa9")
            << true;
        QTest::newRow("text outside ASCII, absent") << "Comment : tea\n"
                                                    << QString::fromUtf8("caf\xc3\xa9") << false;
        QTest::newRow("no ASCII in the text") << "Comment : tea\n"
                                              << QString::fromUtf8("\xce\xa3\xce\xa3") << true;
        QTest::newRow("a Latin-1 line, as the cache keeps it")
            << decodeDump("Artist : Jos\xe9 Mu\xf1oz\n") << QString::fromUtf8("JOS\xc3\x89")
            << true;
        QTest::newRow("text across a line end") << "Make : Kodak\nModel : Z1\n"
                                                << "kodak model" << false;
        QTest::newRow("text up to a line end") << "Make : Kodak\nModel : Z1\n"
                                               << "dak" << true;
    }

    void decidesOnBytes()
    {
        QFETCH(QString, dump);
        QFETCH(QString, text);
        QFETCH(bool, may);
        QCOMPARE(TextPrefilter(text).mayContain(dump.toUtf8()), may);
        // Never a dump ruled out that gives a row.
        if (!may)
            QVERIFY(matchingEntries(dump, text).isEmpty());
    }

    void neverRulesOutARow()
    {
        // Dumps of lines in many scripts and cases against texts cut from them, changed in case:
        // wherever the search finds a row, the filter let the dump through.
        const QStringList pieces{"Kodak",
                                 "KODAK",
                                 "caf\u00e9",
                                 "CAF\u00c9",
                                 "\u03a3\u03c3\u03c2",
                                 "\u212aelvin",
                                 "\u017ftrand",
                                 "Stra\u00dfe",
                                 "\u0130stanbul",
                                 "\u0131zmir",
                                 "2021:08:31 10:00:00+02:00",
                                 "\U00010400\U00010428",
                                 "\ufb01le",
                                 "\u00b5s",
                                 "\u00c5ngstr\u00f6m",
                                 "\u212b"};
        QRandomGenerator random(20261209);
        int rows = 0;
        for (int round = 0; round < 3000; ++round) {
            QString dump;
            for (int line = 0; line < 4; ++line) {
                dump += QStringLiteral("Tag %1 : ").arg(line);
                for (int k = 0; k < 3; ++k)
                    dump += pieces.at(random.bounded(pieces.size())) + QLatin1Char(' ');
                dump += QLatin1Char('\n');
            }
            QString text = dump.mid(random.bounded(dump.size()), 1 + random.bounded(8));
            if (random.bounded(2))
                text = text.toUpper();
            if (random.bounded(3) == 0)
                text = text.toLower();
            const QList<TagValue> expected = matchingEntries(dump, text);
            const bool found = !expected.isEmpty();
            rows += found;
            const TextPrefilter filter(text);
            if (found)
                QVERIFY2(filter.mayContain(dump.toUtf8()), qPrintable(text + " in " + dump));
            // The rows found on bytes are the rows found on the decoded text.
            QVERIFY2(filter.matchingEntries(dump.toUtf8()) == expected,
                     qPrintable(text + " in " + dump));
            // And a library's hits, held packed until they become rows, come back the same.
            QVERIFY(unpackEntries(packEntries(expected)) == expected);
        }
        QVERIFY(rows > 1000);
        // Lines ended by CR LF, an empty value, and the lines that are never rows.
        const QString dump = "ExifTool Version Number : 12.57\r\nDirectory : /kodak\r\n"
                             "Make : Kodak\r\nModel :\r\nComment : kodak: yes\r\n";
        QVERIFY(TextPrefilter("KODAK").matchingEntries(dump.toUtf8()) ==
                matchingEntries(dump, "KODAK"));
        QCOMPARE(TextPrefilter("KODAK").matchingEntries(dump.toUtf8()).size(), 2);
        // Colons in a value, an empty value, a replacement character.
        const QList<TagValue> odd{
            {"Comment", "kodak: yes: 10:00"}, {"Model", ""}, {"Caf\u00e9 Name", "\ufffd\u00e9"}};
        QVERIFY(unpackEntries(packEntries(odd)) == odd);
    }
};

QTEST_GUILESS_MAIN(TestTextPrefilter)
#include "tst_textprefilter.moc"
