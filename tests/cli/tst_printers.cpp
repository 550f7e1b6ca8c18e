#include "cli/Printer.h"
#include "cli/TagName.h"
#include "core/OutputFormat.h"
#include "query/PatternMatcher.h"
#include "search/SearchEngine.h"

#include <QTest>

#include <cstdio>

using namespace tagsifter;

namespace {

/// What a printer writes, caught in memory.
class Caught
{
public:
    Caught() : m_file(open_memstream(&m_buffer, &m_size)), m_output(m_file, stderr, false) {}
    ~Caught()
    {
        std::fclose(m_file);
        std::free(m_buffer);
    }
    Output& output() { return m_output; }
    QByteArray bytes()
    {
        m_output.flush();
        return QByteArray(m_buffer, qsizetype(m_size));
    }

private:
    char* m_buffer = nullptr;
    size_t m_size = 0;
    std::FILE* m_file;
    Output m_output;
};

FindOptions mode(OutputMode mode, bool null = false)
{
    FindOptions options;
    options.mode = mode;
    options.null = null;
    return options;
}

/// Two images with hits and one without, as the terminal's sink hands them on: the hits as
/// rows, or packed as the cache file's pass gives them.
QByteArray printed(const FindOptions& options, Marking marking = {}, bool packed = false)
{
    Caught caught;
    const auto printer = makePrinter(options, caught.output(), std::move(marking));
    const auto hits = [&](const QString& path, const QList<TagValue>& rows) {
        if (packed)
            printer->packedHits(path, packEntries(rows));
        else
            printer->hits(path, rows);
    };
    printer->start();
    hits("a,b.jpg", {{"Make", "Canon"}, {"Comment", "say \"hi\",\tnow\\"}});
    printer->noHits("none.jpg");
    hits("c.jpg", {{"Make", "Canon"}});
    SearchOutcome outcome;
    outcome.imagesSearched = 3;
    outcome.imagesWithHits = 2;
    outcome.hits = 3;
    printer->end(outcome, stderr);
    return caught.bytes();
}

} // namespace

Q_DECLARE_METATYPE(FindOptions)

class TestPrinters : public QObject
{
    Q_OBJECT
private slots:
    void eachModeItsPrinter_data()
    {
        QTest::addColumn<FindOptions>("options");
        QTest::addColumn<QByteArray>("out");
        QTest::newRow("lines") << mode(OutputMode::Lines)
                               << QByteArray("a,b.jpg\tMake\tCanon\n"
                                             "a,b.jpg\tComment\tsay \"hi\",\\tnow\\\\\n"
                                             "c.jpg\tMake\tCanon\n");
        QTest::newRow("csv") << mode(OutputMode::Csv)
                             << QByteArray("path,tag,value\r\n"
                                           "\"a,b.jpg\",Make,Canon\r\n"
                                           "\"a,b.jpg\",Comment,\"say \"\"hi\"\",\tnow\\\"\r\n"
                                           "c.jpg,Make,Canon\r\n");
        QTest::newRow("table") << mode(OutputMode::Table)
                               << QByteArray("a,b.jpg\tMake   \tCanon\n"
                                             "a,b.jpg\tComment\tsay \"hi\",\tnow\\\n"
                                             "c.jpg  \tMake   \tCanon\n");
        QTest::newRow("files with matches")
            << mode(OutputMode::FilesWithMatches) << QByteArray("a,b.jpg\nc.jpg\n");
        QTest::newRow("files without match")
            << mode(OutputMode::FilesWithoutMatch) << QByteArray("none.jpg\n");
        QTest::newRow("files without match, NUL")
            << mode(OutputMode::FilesWithoutMatch, true) << QByteArray("none.jpg\0", 9);
        QTest::newRow("count") << mode(OutputMode::Count)
                               << QByteArray("3 images searched, 2 with hits, 3 hits\n");
        QTest::newRow("json") << mode(OutputMode::Json)
                              << QByteArray(
                                     "{\"path\":\"a,b.jpg\",\"tag\":\"Make\",\"value\":\"Canon\"}\n"
                                     "{\"path\":\"a,b.jpg\",\"tag\":\"Comment\",\"value\":"
                                     "\"say \\\"hi\\\",\\tnow\\\\\"}\n"
                                     "{\"path\":\"c.jpg\",\"tag\":\"Make\",\"value\":\"Canon\"}\n");
        FindOptions quiet = mode(OutputMode::Lines);
        quiet.quiet = true;
        QTest::newRow("quiet") << quiet << QByteArray();
        FindOptions tags;
        tags.listTags = true;
        QTest::newRow("tags, most common first")
            << tags << QByteArray("2\tMake\tMake\n1\tComment\tComment\n");
    }

    void eachModeItsPrinter()
    {
        QFETCH(FindOptions, options);
        QFETCH(QByteArray, out);
        QCOMPARE(printed(options), out);
        QCOMPARE(printed(options, {}, true), out);
    }

    void colorsMarkThePathAndTheMatches()
    {
        PatternOptions patterns;
        patterns.patterns = {"a", "\t"};
        auto made = PatternMatcher::make(patterns);
        const auto matcher = std::get<std::shared_ptr<const PatternMatcher>>(made);
        // An escape inside a match stays whole within its colour.
        QCOMPARE(markedHitLine("p\tq.jpg", "Tag", "Canon\tEOS", matcher.get()),
                 QByteArray("\033[35mp\\tq.jpg\033[0m\tTag\tC\033[1;31ma\033[0mnon"
                            "\033[1;31m\\t\033[0mEOS\n"));
        QCOMPARE(markedHitLine("x.jpg", "Tag", "none here", nullptr),
                 QByteArray("\033[35mx.jpg\033[0m\tTag\tnone here\n"));
        FindOptions options = mode(OutputMode::Lines);
        const QByteArray colored = printed(options, {true, matcher});
        QCOMPARE(printed(options, {true, matcher}, true), colored);
        QVERIFY2(colored.startsWith("\033[35ma,b.jpg\033[0m\tMake\tC\033[1;31ma\033[0mnon\n"
                                    "\033[35ma,b.jpg"),
                 colored);
    }

    void tableWidthsCountCharactersNotBytes()
    {
        // Packed hits are UTF-8: a tag's width is still its characters, an emoji two units as
        // the window's table counts it; the spaces at a value's end go.
        const QList<TagValue> rows = {{"Caf\u00e9 \U0001F600", "x  "}, {"Make", "Canon"}};
        QByteArray unpacked, packed;
        for (const bool asPacked : {false, true}) {
            Caught caught;
            FindOptions options = mode(OutputMode::Table);
            const auto printer = makePrinter(options, caught.output(), {});
            if (asPacked)
                printer->packedHits("a.jpg", packEntries(rows));
            else
                printer->hits("a.jpg", rows);
            printer->end(SearchOutcome(), stderr);
            (asPacked ? packed : unpacked) = caught.bytes();
        }
        QCOMPARE(unpacked, QByteArray("a.jpg\tCaf\xc3\xa9 \xf0\x9f\x98\x80\tx\n"
                                      "a.jpg\tMake   \tCanon\n"));
        QCOMPARE(packed, unpacked);
    }

    void tagsCountImagesNotRows()
    {
        // A tag an image holds twice counts once; as common tags keep the order first met.
        Caught caught;
        FindOptions options;
        options.listTags = true;
        options.mode = OutputMode::Json;
        const auto printer = makePrinter(options, caught.output(), {});
        printer->hits("a.jpg", {{"Image Width", "10"}, {"Make", "x"}, {"Image Width", "20"}});
        printer->hits("b.jpg", {{"Make", "y"}, {"ISO", "100"}});
        printer->hits("c.jpg", {{"ISO", "200"}});
        printer->end(SearchOutcome(), stderr);
        QCOMPARE(caught.bytes(),
                 QByteArray("{\"images\":2,\"name\":\"Make\",\"tag\":\"Make\"}\n"
                            "{\"images\":2,\"name\":\"ISO\",\"tag\":\"ISO\"}\n"
                            "{\"images\":1,\"name\":\"ImageWidth\",\"tag\":\"Image Width\"}\n"));
        QCOMPARE(tagNameOf("File Modification Date/Time"), QString("FileModificationDate/Time"));
    }

    void csvFieldsAsRfc4180Has()
    {
        QCOMPARE(OutputFormat::csvField("plain text"), QByteArray("plain text"));
        QCOMPARE(OutputFormat::csvField(" spaces kept "), QByteArray(" spaces kept "));
        QCOMPARE(OutputFormat::csvField("a\"b"), QByteArray("\"a\"\"b\""));
        QCOMPARE(OutputFormat::csvField("line\nbreak"), QByteArray("\"line\nbreak\""));
        QCOMPARE(OutputFormat::csvField("cr\r"), QByteArray("\"cr\r\""));
        QCOMPARE(OutputFormat::csvField(""), QByteArray(""));
        // A path's stray bytes go out as they are on disk.
        QCOMPARE(OutputFormat::csvLine("caf\xe9.jpg", "Make", "é"),
                 QByteArray("caf\xe9.jpg,Make,\xc3\xa9\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestPrinters)
#include "tst_printers.moc"
