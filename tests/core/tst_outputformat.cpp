#include "core/OutputFormat.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace tagsifter;

class TestOutputFormat : public QObject
{
    Q_OBJECT
private slots:
    void hitLines_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("plain") << QByteArray("/p/a.jpg") << "KODAK"
                               << QByteArray("/p/a.jpg\tMake\tKODAK\n");
        QTest::newRow("every escape") << QByteArray("/p/t\tb\\s.jpg") << "a\rb\nc\\d"
                                      << QByteArray("/p/t\\tb\\\\s.jpg\tMake\ta\\rb\\nc\\\\d\n");
        QTest::newRow("path bytes as they are")
            << QByteArray("/p/caf\xe9.jpg") << QString::fromUtf8("Caf\xc3\xa9")
            << QByteArray("/p/caf\xe9.jpg\tMake\tCaf\xc3\xa9\n");
    }

    void hitLines()
    {
        QFETCH(QByteArray, path);
        QFETCH(QString, value);
        QFETCH(QByteArray, line);
        QCOMPARE(OutputFormat::hitLine(path, "Make", value), line);
    }

    void jsonLines_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("shownPath");
        QTest::addColumn<bool>("base64");
        QTest::newRow("UTF-8 path") << QByteArray("/p/\xc3\xa9t\xc3\xa9.jpg") << "a\"b\\c\x01"
                                    << QString::fromUtf8("/p/\xc3\xa9t\xc3\xa9.jpg") << false;
        QTest::newRow("Latin-1 path") << QByteArray("/p/caf\xe9.jpg") << "line\nbreak"
                                      << QString::fromUtf8("/p/caf\xef\xbf\xbd.jpg") << true;
    }

    void jsonLines()
    {
        QFETCH(QByteArray, path);
        QFETCH(QString, value);
        QFETCH(QString, shownPath);
        QFETCH(bool, base64);
        const QByteArray line = OutputFormat::jsonLine(path, "Tag:x", value);
        QVERIFY(line.endsWith('\n'));
        QCOMPARE(line.count('\n'), 1);
        QJsonParseError error;
        const QJsonObject object = QJsonDocument::fromJson(line, &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(object.value("path").toString(), shownPath);
        QCOMPARE(object.value("tag").toString(), QString("Tag:x"));
        QCOMPARE(object.value("value").toString(), value);
        QCOMPARE(object.contains("path_base64"), base64);
        if (base64)
            QCOMPARE(QByteArray::fromBase64(object.value("path_base64").toString().toLatin1()),
                     path);
    }

    void jsonKeepsCharactersBeyondTheBasicPlane()
    {
        // An emoji is two UTF-16 units: it goes out as its four UTF-8 bytes, in the path too.
        QCOMPARE(OutputFormat::jsonLine("/p/\xf0\x9f\x93\xb7.jpg", "Comment",
                                        QString::fromUtf8("\xf0\x9f\x98\x80 \x7f")),
                 QByteArray("{\"path\":\"/p/\xf0\x9f\x93\xb7.jpg\",\"tag\":\"Comment\","
                            "\"value\":\"\xf0\x9f\x98\x80 \x7f\"}\n"));
    }

    void countLine()
    {
        QCOMPARE(OutputFormat::countLine(441, 12, 3000000000LL),
                 QByteArray("441 images searched, 12 with hits, 3000000000 hits\n"));
    }
};

QTEST_GUILESS_MAIN(TestOutputFormat)
#include "tst_outputformat.moc"
