#include "core/PathRules.h"

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
        QTest::newRow("empty stays empty") << ""
                                           << "";
        QTest::newRow("clean path unchanged") << "/home/a/b.jpg"
                                              << "/home/a/b.jpg";
        QTest::newRow("doubled inside") << "/home//a.jpg"
                                        << "/home/a.jpg";
        QTest::newRow("three become two") << "/home///a.jpg"
                                          << "/home//a.jpg";
        QTest::newRow("four become two") << "/home////a.jpg"
                                         << "/home//a.jpg";
        QTest::newRow("leading run becomes one") << "///home//a.jpg"
                                                 << "/home/a.jpg";
        QTest::newRow("root joined with a name") << "//a.jpg"
                                                 << "/a.jpg";
        QTest::newRow("relative") << "a//b"
                                  << "a/b";
        QTest::newRow("backslashes are ordinary characters") << "/a\\\\b"
                                                             << "/a\\\\b";
    }
    void collapse()
    {
        QFETCH(QString, path);
        QFETCH(QString, cleaned);
        QCOMPARE(CollapseBackslashes(path), cleaned);
    }

    void trailingSlashes_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("folder");
        QTest::newRow("root") << "/"
                              << "/";
        QTest::newRow("root twice") << "//"
                                    << "/";
        QTest::newRow("one") << "/photos/"
                             << "/photos";
        QTest::newRow("several") << "/photos///"
                                 << "/photos";
        QTest::newRow("inside kept") << "/a//b"
                                     << "/a//b";
        QTest::newRow("relative") << "photos/"
                                  << "photos";
        QTest::newRow("empty") << ""
                               << "";
    }
    void trailingSlashes()
    {
        QFETCH(QString, path);
        QFETCH(QString, folder);
        QCOMPARE(withoutTrailingSlashes(path), folder);
    }

    void severalExtensions_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QStringList>("extensions");
        QTest::newRow("one") << "jpg" << QStringList{"jpg"};
        QTest::newRow("spaces") << "jpg  jpeg cr2" << QStringList{"jpg", "jpeg", "cr2"};
        QTest::newRow("commas and semicolons")
            << "jpg,cr2; heic ;" << QStringList{"jpg", "cr2", "heic"};
        QTest::newRow("as typed") << "*.JPG .Nef *" << QStringList{"*.JPG", ".Nef", "*"};
        QTest::newRow("separators only") << " ,; " << QStringList{};
    }
    void severalExtensions()
    {
        QFETCH(QString, answer);
        QFETCH(QStringList, extensions);
        QCOMPARE(splitExtensions(answer), extensions);
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
};

QTEST_GUILESS_MAIN(TestPathRules)
#include "tst_pathrules.moc"
