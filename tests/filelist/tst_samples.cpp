#include "app/Form1.h"
#include "filelist/Samples.h"
#include "platform/widgets/ListView.h"
#include "support/FakeServices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QSettings>
#include <QTest>

using namespace tagsifter;
using namespace tagsifter::test;

class TestSamples : public QObject
{
    Q_OBJECT
private slots:
    void loadRecordedSamplesOnce()
    {
        QTemporaryDir app;
        for (const char* name : {"c.jpg", "A.jpg", "b.jpg", ".hidden.jpg"})
            writeFile(app.path() + QStringLiteral("/Samples/") + QLatin1String(name));
        FakeServices fake;
        Samples samples(fake.window(), app.path());
        samples.checkSnapshot();
        const QString s = app.path() + QStringLiteral("/Samples/");
        QCOMPARE(UnscrambleText(fake.settings.read(QStringLiteral("Snapshot"), QString()),
                                Samples::scramblingKey()),
                 s + ".hidden.jpg|" + s + "A.jpg|" + s + "b.jpg|" + s + "c.jpg");

        // Changes after the snapshot: a deleted sample is skipped, a new one is not seen.
        QFile::remove(s + QStringLiteral("b.jpg"));
        writeFile(s + QStringLiteral("d.jpg"));
        ListModel list;
        list.addColumn(QStringLiteral("Image(s)"));
        fake.messages.answers = {MessageAnswer::No, MessageAnswer::Yes};
        samples.LoadSampleFiles(list);
        samples.LoadSampleFiles(list);
        QCOMPARE(list.count(), 3);
        QCOMPARE(list.text(1), s + QStringLiteral(".hidden.jpg"));
        QCOMPARE(list.text(3), s + QStringLiteral("c.jpg"));
        QCOMPARE(fake.messages.texts(),
                 QStringList(2, QStringLiteral("Would you like this software to open the folder "
                                               "where these sample files are stored (so that you "
                                               "can view them before working with them)?")));
        QCOMPARE(fake.messages.shown[0].flags, MessageFlags::YesNo);
        // No keeps the folder closed; Yes opens it.
        QCOMPARE(fake.shell.opened,
                 QList<QUrl>{QUrl::fromLocalFile(app.path() + QStringLiteral("/Samples"))});
    }

    void absentSnapshotLoadsNothingButStillAsks()
    {
        QTemporaryDir app;
        writeFile(app.path() + QStringLiteral("/Samples/a.jpg"));
        FakeServices fake;
        Samples samples(fake.window(), app.path());
        ListModel list;
        list.addColumn(QStringLiteral("Image(s)"));
        samples.LoadSampleFiles(list);
        QCOMPARE(list.count(), 0);
        QCOMPARE(fake.messages.shown.size(), 1);
    }

    void theButtonSetsTheSearchText()
    {
        QTemporaryDir app;
        writeFile(app.path() + QStringLiteral("/Samples/a.jpg"));
        FakeServices fake;
        fake.messages.answers = {MessageAnswer::No};
        Form1 form(fake.window(), app.path());
        form.Form_Load();
        form.PushButton13_Click();
        QCOMPARE(form.fileList().count(), 1);
        QCOMPARE(form.searchBox().text(), QStringLiteral("Kodak"));
        QVERIFY(fake.shell.opened.isEmpty());
    }

    void bundledSamplesAreRealCameraLikeImages()
    {
        const QStringList names =
            QDir(samplesFolder()).entryList({QStringLiteral("*.jpg")}, QDir::Files);
        QVERIFY(names.size() >= 5);
        for (const QString& name : names)
            QVERIFY(QFileInfo(samplesFolder() + QLatin1Char('/') + name).size() < 20000);
    }

    void snapshotSurvivesTheRealSettingsFile()
    {
        FakeServices fake;
        const QString path = QString::fromUtf8("/opt/tagsifter/Samples/ünïcødé 写真.jpg|/x/y.jpg");
        fake.settings.write(QStringLiteral("Snapshot"),
                            ScrambleText(path, Samples::scramblingKey()));
        QtSettingsStore reopened(fake.settingsFile);
        QCOMPARE(UnscrambleText(reopened.read(QStringLiteral("Snapshot"), QString()),
                                Samples::scramblingKey()),
                 path);
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
        QCOMPARE(ScrambleText(QStringLiteral("a"), QStringLiteral("qqqqqqqq")),
                 QString(QChar(210)));
        // Over the UTF-8 bytes: "ÿ" is C3 BF; 195 + 113 - 255 = 53, 191 + 113 - 255 = 49.
        QCOMPARE(ScrambleText(QString::fromUtf8("ÿ"), QStringLiteral("qqqqqqqq")),
                 QStringLiteral("51"));
        QCOMPARE(UnscrambleText(QStringLiteral("51"), QStringLiteral("qqqqqqqq")),
                 QString::fromUtf8("ÿ"));
        // The key runs round: the ninth character uses the first key letter again.
        const QString nine = ScrambleText(QStringLiteral("aaaaaaaaa"), QStringLiteral("abcdefgh"));
        QCOMPARE(nine.at(8), nine.at(0));
    }
};

QTEST_MAIN(TestSamples)
#include "tst_samples.moc"
