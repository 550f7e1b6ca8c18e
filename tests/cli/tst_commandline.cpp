#include "cli/CommandLine.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace tagsifter;

Q_DECLARE_METATYPE(CommandLine::Action)

class TestCommandLine : public QObject
{
    Q_OBJECT
private slots:
    void whatTheWordsAskFor_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<CommandLine::Action>("action");
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<QString>("error");
        using A = CommandLine::Action;
        QTest::newRow("no words: the window")
            << QStringList{} << A::Window << QStringList{} << QString();
        QTest::newRow("paths for the window")
            << QStringList{"a.jpg", "dir"} << A::Window << QStringList{"a.jpg", "dir"} << QString();
        QTest::newRow("-- makes -v a file") << QStringList{"--", "-v", "--help"} << A::Window
                                            << QStringList{"-v", "--help"} << QString();
        QTest::newRow("- is a path")
            << QStringList{"-"} << A::Window << QStringList{"-"} << QString();
        QTest::newRow("help") << QStringList{"x.jpg", "-h"} << A::Help << QStringList{"x.jpg"}
                              << QString();
        QTest::newRow("version") << QStringList{"--version"} << A::Version << QStringList{}
                                 << QString();
        QTest::newRow("unknown named as written")
            << QStringList{"-w.jpg"} << A::Error << QStringList{} << "unknown option '-w.jpg'";
        QTest::newRow("unknown long")
            << QStringList{"--bogus"} << A::Error << QStringList{} << "unknown option '--bogus'";
        QTest::newRow("find help")
            << QStringList{"find", "--help"} << A::FindHelp << QStringList{} << QString();
        QTest::newRow("find -h among others")
            << QStringList{"find", "-lh"} << A::FindHelp << QStringList{} << QString();
        QTest::newRow("find unknown as written")
            << QStringList{"find", "-w.jpg", "x", "dir"} << A::Error << QStringList{}
            << "unknown option '-w.jpg'";
        QTest::newRow("find without text")
            << QStringList{"find"} << A::Error << QStringList{} << "a search text is needed";
        QTest::newRow("find without path") << QStringList{"find", "x"} << A::Error << QStringList{}
                                           << "at least one path is needed (or --files-from)";
        QTest::newRow("find extension without value")
            << QStringList{"find", "x", "d", "--extension"} << A::Error << QStringList{}
            << "option '--extension' needs a value";
        QTest::newRow("find two outputs")
            << QStringList{"find", "-l", "--json", "x", "d"} << A::Error << QStringList{}
            << "--table, --files-with-matches, --count and --json cannot be combined";
        QTest::newRow("find null alone")
            << QStringList{"find", "-0", "x", "d"} << A::Error << QStringList{}
            << "--null goes with --files-with-matches";
    }

    void whatTheWordsAskFor()
    {
        QFETCH(QStringList, words);
        QFETCH(CommandLine::Action, action);
        QFETCH(QStringList, paths);
        QFETCH(QString, error);
        const CommandLine line = CommandLine::parse(QStringList{"tagsifter"} + words);
        QCOMPARE(line.action, action);
        QCOMPARE(line.error, error);
        if (action == CommandLine::Action::Window || action == CommandLine::Action::Help)
            QCOMPARE(line.paths, paths);
    }

    void findOptions()
    {
        const CommandLine line = CommandLine::parse(
            {"tagsifter", "find", "--extension", "jpg", "--extension=.JPEG", "--extension",
             "cr2, .heic;nef", "-l0", "--files-from=list.txt", "--", "-text-", "--table", "b"});
        QCOMPARE(line.action, CommandLine::Action::Find);
        const FindOptions& find = line.find;
        QCOMPARE(find.extensions, QStringList({"jpg", "JPEG", "cr2", "heic", "nef"}));
        QVERIFY(find.filesWithMatches && find.null && !find.count && !find.table && !find.json);
        QCOMPARE(find.filesFrom, QString("list.txt"));
        // After "--" everything is text and paths, even what looks like an option.
        QCOMPARE(find.text, QString("-text-"));
        QCOMPARE(find.paths, QStringList({"--table", "b"}));
        // Options may follow the text and paths, as grep takes them; jpg when none is named.
        const FindOptions late = CommandLine::parse({"tagsifter", "find", "x", "d", "-c"}).find;
        QVERIFY(late.count);
        QCOMPARE(late.extensions, QStringList({"jpg"}));
        QCOMPARE(late.paths, QStringList({"d"}));
    }

    void theManualPageNamesWhatTheHelpNames()
    {
        // The manual page is written by hand: every option of either help is in it, and its
        // escapes print as the program writes them.
        QFile page(TAGSIFTER_SOURCE_DIR "/resources/man/tagsifter.1");
        QVERIFY(page.open(QIODevice::ReadOnly));
        QString manual = QString::fromUtf8(page.readAll());
        QVERIFY(manual.contains("written as \\et, \\er, \\en or \\e\\e;"));
        manual.replace("\\-", "-");
        const QRegularExpression option("(?:^|[ ,])(--?[a-z0-9][a-z-]*)");
        for (const QString& help : {CommandLine::help(), CommandLine::findHelp()}) {
            for (const QString& line : help.split('\n')) {
                if (!line.startsWith("  "))
                    continue;
                auto it = option.globalMatch(
                    line.section("  ", 1, 1).trimmed().isEmpty() ? line : line.left(26));
                while (it.hasNext()) {
                    const QString name = it.next().captured(1);
                    QVERIFY2(manual.contains(name), qPrintable(name));
                }
            }
        }
        for (const char* section : {".SH ENVIRONMENT", ".SH FILES", "XDG_CACHE_HOME",
                                    "XDG_CONFIG_HOME", "TMPDIR", "dumps.sqlite"})
            QVERIFY2(manual.contains(QLatin1String(section)), section);
    }

    void helpNamesEveryOption()
    {
        // Every option the parser takes is in the help, so that neither gets ahead of the other.
        const QString help = CommandLine::findHelp();
        for (const char* option :
             {"--extension", "--files-from", "--table", "-l,", "--files-with-matches", "-c,",
              "--count", "--json", "-0,", "--null", "-h,", "--help", "--"})
            QVERIFY2(help.contains(QLatin1String(option)), option);
        QVERIFY(CommandLine::help().startsWith(CommandLine::usage()));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
