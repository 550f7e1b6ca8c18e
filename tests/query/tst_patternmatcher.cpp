#include "query/PatternMatcher.h"

#include <QTest>

using namespace tagsifter;

namespace {

std::shared_ptr<const PatternMatcher> made(const PatternOptions& options)
{
    auto made = PatternMatcher::make(options);
    if (auto* error = std::get_if<PatternError>(&made))
        qFatal("cannot read %s", qPrintable(error->reason));
    return std::get<std::shared_ptr<const PatternMatcher>>(made);
}

PatternOptions texts(const QStringList& patterns, bool word = false, bool caseSensitive = false,
                     bool regex = false)
{
    return {patterns, word, caseSensitive, regex, {}};
}

using Spans = std::vector<std::pair<qsizetype, qsizetype>>;

} // namespace

Q_DECLARE_METATYPE(PatternOptions)

class TestPatternMatcher : public QObject
{
    Q_OBJECT
private slots:
    void whichValuesMatchAndWhere_data()
    {
        QTest::addColumn<PatternOptions>("options");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("matches");
        QTest::addColumn<QString>("marked");
        QTest::newRow("any of two texts")
            << texts({"nikon", "canon"}) << "Canon EOS 40D" << true << "[Canon] EOS 40D";
        QTest::newRow("case folded beyond ASCII")
            << texts({"ÉTÉ"}) << "Photo d'été, été" << true << "Photo d'[été], [été]";
        QTest::newRow("case counts") << texts({"canon"}, false, true) << "Canon" << false << "";
        QTest::newRow("whole word")
            << texts({"eos"}, true) << "EOS-1D, Geos" << true << "[EOS]-1D, Geos";
        QTest::newRow("part of a word only")
            << texts({"eos"}, true) << "Geos Peoso eos_1" << false << "";
        QTest::newRow("whole word beyond ASCII")
            << texts({"ete"}, true) << "étés ete" << true << "étés [ete]";
        QTest::newRow("regex ignoring case")
            << texts({"^eos \\d+d$"}, false, false, true) << "EOS 40D" << true << "[EOS 40D]";
        QTest::newRow("regex, case counts")
            << texts({"eos"}, false, true, true) << "EOS" << false << "";
        QTest::newRow("regex as whole word")
            << texts({"4\\d"}, true, false, true) << "40D 45 x41" << true << "40D [45] x41";
        QTest::newRow("overlapping texts merge")
            << texts({"kodak", "dak e"}) << "KODAK EASYSHARE" << true << "[KODAK E]ASYSHARE";
        QTest::newRow("a text's special characters are plain")
            << texts({"f/2.8 (max)"}, true) << "at f/2.8 (max)" << true << "at [f/2.8 (max)]";
        QTest::newRow("empty text: every value, nothing marked")
            << texts({""}) << "anything" << true << "anything";
        QTest::newRow("empty text matches an empty value") << texts({""}) << "" << true << "";
    }

    void whichValuesMatchAndWhere()
    {
        QFETCH(PatternOptions, options);
        QFETCH(QString, value);
        QFETCH(bool, matches);
        QFETCH(QString, marked);
        const auto matcher = made(options);
        QCOMPARE(matcher->matches("Tag", value), matches);
        if (!matches)
            return;
        QString shown;
        qsizetype at = 0;
        for (const auto& [start, length] : matcher->spans(value)) {
            shown += value.mid(at, start - at) + '[' + value.mid(start, length) + ']';
            at = start + length;
        }
        QCOMPARE(shown + value.mid(at), marked);
    }

    void onlyTheTagsNamed()
    {
        PatternOptions options = texts({""});
        options.tags = {"ExposureTime", "camera model name"};
        const auto matcher = made(options);
        QVERIFY(matcher->matches("Exposure Time", "1/60"));
        QVERIFY(matcher->matches("Camera Model Name", "EOS"));
        QVERIFY(!matcher->matches("Exposure Program", "Manual"));
        QVERIFY(!matcher->matches("Camera Model", "EOS"));
    }

    void anExpressionThatCannotBeReadNamesItsColumn_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("column");
        QTest::newRow("unclosed group") << "ab(cd" << 6;
        QTest::newRow("nothing to repeat") << "*x" << 1;
        QTest::newRow("unclosed class") << "a[b" << 4;
    }

    void anExpressionThatCannotBeReadNamesItsColumn()
    {
        QFETCH(QString, pattern);
        QFETCH(int, column);
        // The error is the user's text, even as a whole word, whose wrapping it never names.
        auto made = PatternMatcher::make(texts({"fine", pattern}, true, false, true));
        const PatternError* error = std::get_if<PatternError>(&made);
        QVERIFY(error != nullptr);
        QCOMPARE(error->pattern, pattern);
        QCOMPARE(error->column, column);
        QVERIFY(!error->reason.isEmpty());
    }

    void theBytesOfADumpNeverRuleOutAHit()
    {
        const QByteArray dump = "Make                            : Canon\n"
                                "Camera Model Name               : Canon EOS 40D\n"
                                "Create Date                     : 2008:05:30 15:56:01\n";
        const QString text = QString::fromUtf8(dump);
        const QList<PatternOptions> all = {
            texts({"canon"}),      texts({"EOS"}, false, true),
            texts({"eos"}, true),  texts({"e.s"}, false, false, true),
            texts({"zzz", "40D"}), texts({""}),
            texts({"2008:05"})};
        for (const PatternOptions& options : all) {
            const auto matcher = made(options);
            QVERIFY(!matcher->matchingRows(text).isEmpty());
            QVERIFY2(matcher->mayMatch(dump), qPrintable(options.patterns.join('|')));
        }
        QVERIFY(!made(texts({"nikon"}))->mayMatch(dump));
        QVERIFY(!made(texts({"canon"}, false, true))->mayMatch(dump));
        // A time the file's lines are written anew with can match digits, never letters.
        QVERIFY(made(texts({"2008:05"}))->mayMatchTimes());
        QVERIFY(!made(texts({"canon"}))->mayMatchTimes());
        QVERIFY(made(texts({"x", "\\d"}, false, false, true))->mayMatchTimes());
    }

    void theRowsOfADumpInOrder()
    {
        const QString dump = "ExifTool Version Number         : 12.57\n"
                             "Make                            : Canon\n"
                             "Exposure Time                   : 1/60\n"
                             "Camera Model Name               : Canon EOS 40D\n";
        PatternOptions options = texts({"canon", "1/60"});
        QCOMPARE(made(options)->matchingRows(dump),
                 QList<TagValue>({{"Make", "Canon"},
                                  {"Exposure Time", "1/60"},
                                  {"Camera Model Name", "Canon EOS 40D"}}));
        options.tags = {"make"};
        QCOMPARE(made(options)->matchingRows(dump), QList<TagValue>({{"Make", "Canon"}}));
    }
};

QTEST_GUILESS_MAIN(TestPatternMatcher)
#include "tst_patternmatcher.moc"
