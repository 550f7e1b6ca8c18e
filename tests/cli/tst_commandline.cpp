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
        QTest::newRow("find extension without value")
            << QStringList{"find", "x", "d", "--extension"} << A::Error << QStringList{}
            << "option '--extension' needs a value";
        QTest::newRow("find -l with --csv")
            << QStringList{"find", "-l", "--csv", "x", "d"} << A::Error << QStringList{}
            << "--files-with-matches and --csv cannot be combined";
        QTest::newRow("find -c with -L")
            << QStringList{"find", "-cL", "x", "d"} << A::Error << QStringList{}
            << "--count and --files-without-match cannot be combined";
        QTest::newRow("find the same mode twice")
            << QStringList{"find", "-l", "--files-with-matches", "x"} << A::Find << QStringList{}
            << QString();
        QTest::newRow("find null alone")
            << QStringList{"find", "-0", "x", "d"} << A::Error << QStringList{}
            << "--null goes with --files-with-matches or --files-without-match";
        QTest::newRow("find null with -L")
            << QStringList{"find", "-L0", "x", "d"} << A::Find << QStringList{} << QString();
        QTest::newRow("find -j 0")
            << QStringList{"find", "-j", "0", "x"} << A::Error << QStringList{}
            << "--jobs needs a number of exiftool processes above 0, not '0'";
        QTest::newRow("find -j-2")
            << QStringList{"find", "-j-2", "x"} << A::Error << QStringList{}
            << "--jobs needs a number of exiftool processes above 0, not '-2'";
        QTest::newRow("find --jobs=many")
            << QStringList{"find", "--jobs=many", "x"} << A::Error << QStringList{}
            << "--jobs needs a number of exiftool processes above 0, not 'many'";
        QTest::newRow("find --color=sometimes")
            << QStringList{"find", "--color=sometimes", "x"} << A::Error << QStringList{}
            << "--color takes auto, always or never, not 'sometimes'";
        QTest::newRow("find a value given to a switch")
            << QStringList{"find", "--csv=yes", "x"} << A::Error << QStringList{}
            << "option '--csv' takes no value";
        QTest::newRow("find -e without value") << QStringList{"find", "-e"} << A::Error
                                               << QStringList{} << "option '-e' needs a value";
        QTest::newRow("find --tag empty") << QStringList{"find", "--tag=", "x"} << A::Error
                                          << QStringList{} << "--tag needs a tag name";
        QTest::newRow("find version")
            << QStringList{"find", "--version"} << A::Version << QStringList{} << QString();
        QTest::newRow("find -v is not the version")
            << QStringList{"find", "-v", "x"} << A::Error << QStringList{} << "unknown option '-v'";
        QTest::newRow("tags") << QStringList{"tags", "--json", "-j2", "d"} << A::Tags
                              << QStringList{} << QString();
        QTest::newRow("tags help")
            << QStringList{"tags", "-h"} << A::TagsHelp << QStringList{} << QString();
        QTest::newRow("tags takes no -l")
            << QStringList{"tags", "-l"} << A::Error << QStringList{} << "unknown option '-l'";
        QTest::newRow("tags takes no --csv") << QStringList{"tags", "--csv"} << A::Error
                                             << QStringList{} << "unknown option '--csv'";
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
        QCOMPARE(find.mode, OutputMode::FilesWithMatches);
        QVERIFY(find.null);
        QCOMPARE(find.filesFrom, QString("list.txt"));
        // After "--" everything is text and paths, even what looks like an option.
        QCOMPARE(find.text, QString("-text-"));
        QCOMPARE(find.paths, QStringList({"--table", "b"}));
        QVERIFY(!find.currentFolder);
        // Options may follow the text and paths, as grep takes them; jpg when none is named.
        const FindOptions late = CommandLine::parse({"tagsifter", "find", "x", "d", "-c"}).find;
        QCOMPARE(late.mode, OutputMode::Count);
        QCOMPARE(late.extensions, QStringList({"jpg"}));
        QCOMPARE(late.paths, QStringList({"d"}));
    }

    void grepsWaysOfAsking()
    {
        // With -e every word is a path; a value may stick to its letter or follow "=".
        const FindOptions find =
            CommandLine::parse({"tagsifter", "find", "-e", "canon", "-eNIKON",
                                "--regexp=", "-wsEqj3", "--tag", "Model", "--tag=Make", "--color",
                                "never", "a.jpg", "dir"})
                .find;
        QCOMPARE(find.texts(), QStringList({"canon", "NIKON", ""}));
        QVERIFY(find.word && find.caseSensitive && find.regex && find.quiet);
        QCOMPARE(find.jobs, 3);
        QCOMPARE(find.tags, QStringList({"Model", "Make"}));
        QCOMPARE(find.color, ColorChoice::Never);
        QCOMPARE(find.paths, QStringList({"a.jpg", "dir"}));
        // No PATH and no --files-from: the current folder.
        const FindOptions here = CommandLine::parse({"tagsifter", "find", "-e", "x"}).find;
        QVERIFY(here.currentFolder);
        QCOMPARE(here.paths, QStringList({"."}));
        const FindOptions listed =
            CommandLine::parse({"tagsifter", "find", "x", "--files-from", "-"}).find;
        QVERIFY(!listed.currentFolder);
        QVERIFY(listed.paths.isEmpty());
        const FindOptions tags = CommandLine::parse({"tagsifter", "tags"}).find;
        QVERIFY(tags.listTags && tags.currentFolder);
        QCOMPARE(tags.texts(), QStringList({""}));
    }

    void theManualPageNamesWhatTheHelpNames()
    {
        // The build fills the manual page's options from the option table: every option of each
        // help is in it, no placeholder is left, and its escapes print as the program writes.
        QFile page(TAGSIFTER_BINARY_DIR "/docs/tagsifter.1");
        QVERIFY(page.open(QIODevice::ReadOnly));
        QString manual = QString::fromUtf8(page.readAll());
        QVERIFY(manual.contains("written as \\et, \\er, \\en or \\e\\e;"));
        QVERIFY(!manual.contains('@'));
        QVERIFY(manual.contains(".TP\n\\fB\\-e\\fR, \\fB\\-\\-regexp\\fR \\fITEXT\\fR\nSearch for "
                                "TEXT."));
        manual.replace("\\-", "-");
        const QRegularExpression option("(?:^|[ ,])(--?[a-z0-9][a-z-]*)");
        for (const QString& help :
             {CommandLine::help(), CommandLine::findHelp(), CommandLine::tagsHelp()}) {
            for (const QString& line : help.split('\n')) {
                if (!line.startsWith("  "))
                    continue;
                auto it = option.globalMatch(line.left(26));
                while (it.hasNext()) {
                    const QString name = it.next().captured(1);
                    QVERIFY2(manual.contains(name), qPrintable(name));
                }
            }
        }
        for (const char* section :
             {".SH ENVIRONMENT", ".SH FILES", "XDG_CACHE_HOME", "XDG_CONFIG_HOME", "TMPDIR",
              "dumps.sqlite", "NO_COLOR", ".SS tagsifter tags"})
            QVERIFY2(manual.contains(QLatin1String(section)), section);
    }

    void helpNamesEveryOption()
    {
        // The help of each command lists the options its parser takes, laid out in a column.
        const QString help = CommandLine::findHelp();
        for (const char* option :
             {"  -e, --regexp TEXT       search for TEXT",
              "  -w, --word ",
              "  -s, --case-sensitive ",
              "  -E, --regex ",
              "  --tag NAME ",
              "  --extension EXT ",
              "  --files-from FILE ",
              "  -j, --jobs N ",
              "  --table ",
              "  -l, --files-with-matches\n                          print each image",
              "  -L, --files-without-match\n",
              "  -c, --count ",
              "  --json ",
              "  --csv ",
              "  -0, --null ",
              "  -q, --quiet ",
              "  --color WHEN ",
              "  -h, --help ",
              "  --version ",
              "  --    "})
            QVERIFY2(help.contains(QLatin1String(option)), option);
        QVERIFY(!help.contains("-v, --version"));
        QVERIFY(CommandLine::help().startsWith(CommandLine::usage()));
        QVERIFY(CommandLine::help().contains("  -v, --version           show the version\n"));
        const QString tags = CommandLine::tagsHelp();
        QVERIFY(tags.contains("  --json ") && tags.contains("  -j, --jobs N "));
        QVERIFY(!tags.contains("--csv") && !tags.contains("--regexp"));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
