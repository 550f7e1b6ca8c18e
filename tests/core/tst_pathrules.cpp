#include "core/PathRules.h"
#include "filelist/Samples.h"

#include <QTest>

using namespace tagsifter;

class TestPathRules : public QObject
{
    Q_OBJECT
private slots:
    void collapse_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("cleaned");
        QTest::newRow("empty stays empty") << "" << "";
        QTest::newRow("clean path unchanged") << "/home/a/b.jpg" << "/home/a/b.jpg";
        QTest::newRow("doubled inside") << "/home//a.jpg" << "/home/a.jpg";
        QTest::newRow("three become two") << "/home///a.jpg" << "/home//a.jpg";
        QTest::newRow("four become two") << "/home////a.jpg" << "/home//a.jpg";
        QTest::newRow("leading run becomes one") << "///home//a.jpg" << "/home/a.jpg";
        QTest::newRow("root joined with a name") << "//a.jpg" << "/a.jpg";
        QTest::newRow("relative") << "a//b" << "a/b";
        QTest::newRow("backslashes are ordinary characters") << "/a\\\\b" << "/a\\\\b";
    }
    void collapse()
    {
        QFETCH(QString, path);
        QFETCH(QString, cleaned);
        QCOMPARE(CollapseBackslashes(path), cleaned);
    }

    void oddCharacters_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("odd");
        QTest::newRow("plain") << "Holiday 2021" << false;
        QTest::newRow("non-Latin scripts") << QString::fromUtf8("Фото 写真 ΦΩΤΟ") << false;
        QTest::newRow("question mark is not odd here") << "why?" << false;
        QTest::newRow("tab") << "a\tb" << true;
        QTest::newRow("newline") << "a\nb" << true;
        QTest::newRow("DEL") << QString(QChar(127)) << true;
        QTest::newRow("C1 control") << QString(QChar(0x85)) << true;
        QTest::newRow("just above C1") << QString(QChar(160)) << false;
    }
    void oddCharacters()
    {
        QFETCH(QString, name);
        QFETCH(bool, odd);
        QCOMPARE(HasOddCharacters(name), odd);
    }

    void scrambling_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("printable") << "/opt/tagsifter/Samples/a.jpg|/opt/tagsifter/Samples/b.jpg";
        QTest::newRow("non-Latin") << QString::fromUtf8("/home/ünal/写真/Ωmega.jpg");
        QTest::newRow("bytes near 255") << QString::fromUtf8("ÿþý") + QChar(0x7e);
    }
    void scrambling()
    {
        QFETCH(QString, text);
        const QString key = Samples::scramblingKey();
        QCOMPARE(key.size(), 8);
        const QString scrambled = ScrambleText(text, key);
        QCOMPARE(scrambled.isEmpty(), text.isEmpty());
        for (const QChar c : scrambled)
            QVERIFY(c.unicode() >= 1 && c.unicode() <= 255);
        if (!text.isEmpty())
            QVERIFY(scrambled != text);
        QCOMPARE(UnscrambleText(scrambled, key), text);
    }

    void scramblingRule()
    {
        // 'a' (97) + 'q' (113) = 210; 200 + 'q' = 313 - 255 = 58.
        QCOMPARE(ScrambleText(QStringLiteral("a"), QStringLiteral("qqqqqqqq")), QString(QChar(210)));
        // Over the UTF-8 bytes: "ÿ" is C3 BF; 195 + 113 - 255 = 53, 191 + 113 - 255 = 49.
        QCOMPARE(ScrambleText(QString::fromUtf8("ÿ"), QStringLiteral("qqqqqqqq")), QStringLiteral("51"));
        QCOMPARE(UnscrambleText(QStringLiteral("51"), QStringLiteral("qqqqqqqq")), QString::fromUtf8("ÿ"));
        // The key runs round: the ninth character uses the first key letter again.
        const QString nine = ScrambleText(QStringLiteral("aaaaaaaaa"), QStringLiteral("abcdefgh"));
        QCOMPARE(nine.at(8), nine.at(0));
    }
};

QTEST_GUILESS_MAIN(TestPathRules)
#include "tst_pathrules.moc"
