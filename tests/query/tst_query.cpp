#include "core/DumpParser.h"
#include "query/QueryParser.h"
#include "query/QueryValues.h"
#include "query/SearchQuery.h"
#include "query/TagVocabulary.h"

#include <QFile>
#include <QTest>

using namespace tagsifter;

namespace {

QByteArray recorded(const QString& name)
{
    QFile file(QStringLiteral(TAGSIFTER_SOURCE_DIR "/tests/data/dumps/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    return file.readAll();
}

/// exiftool's tag names for the tags of the recorded dumps, as `exiftool -listx` gives them.
std::shared_ptr<const TagVocabulary> vocabulary()
{
    static const std::shared_ptr<const TagVocabulary> names = std::make_shared<const TagVocabulary>(
        *TagVocabulary::fromSerialized(recorded(QStringLiteral("tagnames.txt"))));
    return names;
}

/// The rows each recorded image lists for `text`, as "IMAGE|tag|value"; C is the Canon 40D,
/// K the Kodak CX7530 (geotagged), N the Nikon D70.
QStringList rowsFor(const QString& text, bool fromBytes = false)
{
    std::variant<SearchQuery, QueryError> read = SearchQuery::parse(text, vocabulary());
    if (const QueryError* error = std::get_if<QueryError>(&read))
        qFatal("%s: column %d: %s", qPrintable(text), error->column, qPrintable(error->reason));
    const SearchQuery& query = std::get<SearchQuery>(read);
    QStringList rows;
    for (const char* image : {"C", "K", "N"}) {
        const QString file = QString::fromLatin1(image) == QLatin1String("C")   ? "Canon_40D.txt"
                             : QString::fromLatin1(image) == QLatin1String("K") ? "Kodak_CX7530.txt"
                                                                                : "Nikon_D70.txt";
        const QByteArray dump = recorded(file);
        QList<TagValue> hits;
        if (!fromBytes)
            hits = query.matchingRows(decodeDump(dump));
        else if (query.mayMatch(dump))
            hits = query.matchingRows(dump);
        for (const TagValue& hit : hits)
            rows.append(QString::fromLatin1(image) + '|' + hit.tag + '|' + hit.value);
    }
    return rows;
}

} // namespace

class TestQuery : public QObject
{
    Q_OBJECT
private slots:
    void rowsOfEachForm_data();
    void rowsOfEachForm();
    void errorsSayWhyAndWhere_data();
    void errorsSayWhyAndWhere();
    void readingsAreFullyParenthesised_data();
    void readingsAreFullyParenthesised();
    void numbersAndDatesOfValues_data();
    void numbersAndDatesOfValues();
    void aPlainTextIsNoQuery();
    void aFreeTermGivesThePlainRows_data();
    void aFreeTermGivesThePlainRows();
    void linesThatGiveNoRowAnswerNoTerm_data();
    void linesThatGiveNoRowAnswerNoTerm();
    void theVocabularyOfTheTagList();
};

void TestQuery::rowsOfEachForm_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("rows");
    const auto add = [](const char* query, QStringList rows) {
        QTest::newRow(query) << QString::fromUtf8(query) << rows;
    };
    add("model:\"eos 40d\"", {"C|Camera Model Name|Canon EOS 40D"});
    add("CameraModelName:d70", {"N|Camera Model Name|NIKON D70"});
    add("\"Camera Model Name\"=\"nikon d70\"", {"N|Camera Model Name|NIKON D70"});
    add("model=nikon", {});
    add("make=canon", {"C|Make|Canon"});
    add("camera:nikon", {"N|Make|NIKON CORPORATION", "N|Camera Model Name|NIKON D70"});
    add("camera:nikon -model:d70", {});
    add("taken:2008-05..2008-06", {"C|Date/Time Original|2008:05:30 15:56:01",
                                   "C|Date/Time Original|2008:05:30 15:56:01.00"});
    add("taken:2005", {"K|Date/Time Original|2005:08:13 09:47:23"});
    add("taken<2008", {"K|Date/Time Original|2005:08:13 09:47:23"});
    add("taken>2008-03-15T09:52", {"C|Date/Time Original|2008:05:30 15:56:01",
                                   "C|Date/Time Original|2008:05:30 15:56:01.00"});
    add("taken>=2008-03-15T09:52",
        {"C|Date/Time Original|2008:05:30 15:56:01", "C|Date/Time Original|2008:05:30 15:56:01.00",
         "N|Date/Time Original|2008:03:15 09:52:01"});
    // The zone is not applied: dates compare as they are written.
    add("createdate:2008-03-15T09:52:01", {"N|Create Date|2008:03:15 09:52:01-04:00"});
    add("iso>=200", {"N|ISO|200"});
    add("iso<2008", {"C|ISO|100", "N|ISO|200"});
    add("iso:100..2008", {"C|ISO|100", "N|ISO|200"});
    add("iso:150..", {"N|ISO|200"});
    add("fnumber<5", {"K|F Number|4.6"});
    add("ExposureTime<1/200", {"K|Exposure Time|1/250"});
    add("ExposureTime<=1/200", {"K|Exposure Time|1/250", "N|Exposure Time|1/200"});
    add("exposurecompensation<0", {"N|Exposure Compensation|-1"});
    add("focallength:70..200",
        {"C|Focal Length|135.0 mm", "C|Focal Length|135.0 mm (35 mm equivalent: 218.5 mm)",
         "N|Focal Length|100.0 mm", "N|Focal Length|100.0 mm (35 mm equivalent: 150.0 mm)"});
    add("lens:/f\\/2\\.8/", {"N|Lens|100.0 mm f/2.8", "N|Lens ID|100.0mm f/2.8"});
    add("has:gps", {"K|GPS Latitude|0 deg 22' 16.68\" S", "K|GPS Longitude|36 deg 3' 23.10\" E",
                    "K|GPS Position|0 deg 22' 16.68\" S, 36 deg 3' 23.10\" E"});
    add("missing:gps", {"C|File Name|Canon_40D.jpg", "N|File Name|Nikon_D70.jpg"});
    add("NOT canon", {"K|File Name|Kodak_CX7530.jpg", "N|File Name|Nikon_D70.jpg"});
    add("-canon -kodak missing:gps", {"N|File Name|Nikon_D70.jpg"});
    add("kodak -has:gps", {});
    add("gps*:\"36 deg\"", {"K|GPS Longitude|36 deg 3' 23.10\" E",
                            "K|GPS Position|0 deg 22' 16.68\" S, 36 deg 3' 23.10\" E"});
    // Plain text where the word before a colon is no tag.
    add("2008:05:30 -/\\.00$/", {});
    add("12:30", {});
    add("/^canon eos/", {"C|Camera Model Name|Canon EOS 40D"});
    // OR binds more loosely than AND; each row once, in exiftool's order.
    add("eastman OR nikon iso>=200",
        {"K|Make|EASTMAN KODAK COMPANY", "N|File Name|Nikon_D70.jpg", "N|Make|NIKON CORPORATION",
         "N|Camera Model Name|NIKON D70", "N|ISO|200"});
    add("(eastman OR nikon) iso>=200", {"N|File Name|Nikon_D70.jpg", "N|Make|NIKON CORPORATION",
                                        "N|Camera Model Name|NIKON D70", "N|ISO|200"});
    add("make:nikon make:corporation", {"N|Make|NIKON CORPORATION"});
    add("make:nikon AND NOT make:canon OR make:canon",
        {"C|Make|Canon", "N|Make|NIKON CORPORATION"});
    // A tag no image holds matches nothing; groups work with their tags' descriptions.
    add("keywords:beach", {});
    add("missing:keywords model:kodak", {"K|Camera Model Name|KODAK CX7530 ZOOM DIGITAL CAMERA"});
}

void TestQuery::rowsOfEachForm()
{
    QFETCH(QString, query);
    QFETCH(QStringList, rows);
    QCOMPARE(rowsFor(query), rows);
    // The cache's pass on a dump's bytes rules out no image that has rows.
    QCOMPARE(rowsFor(query, true), rows);
}

void TestQuery::errorsSayWhyAndWhere_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("reason");
    const auto add = [](const char* query, int column, const char* reason) {
        QTest::newRow(query) << QString::fromUtf8(query) << column << QString::fromUtf8(reason);
    };
    add("model:\"eos 40d", 7, "the quote is not closed");
    add("canon (nikon OR kodak", 7, "the parenthesis is not closed");
    add("canon)", 6, "this parenthesis closes nothing");
    add("canon OR", 7, "OR needs a term on each side");
    add("AND canon", 1, "AND needs a term on each side");
    add("canon AND OR kodak", 7, "AND needs a term on each side");
    add("canon NOT", 7, "NOT needs a term after it");
    add("  ", 3, "the query holds no term");
    add("()", 1, "the parentheses hold no term");
    add("model:/eos", 7, "the regular expression is not closed");
    add("iso>abc", 5, "a comparison needs a number or a date, not \"abc\"");
    add("iso:100..x", 10, "a range needs a number or a date, not \"x\"");
    add("taken:2008-01..100", 7, "a range cannot go from a date to a number");
    add("iso:..", 5, "a range needs at least one end");
    add("canon model:", 7, "nothing follows \"model:\"");
    add("has:", 1, "nothing follows \"has:\"");
}

void TestQuery::errorsSayWhyAndWhere()
{
    QFETCH(QString, query);
    QFETCH(int, column);
    QFETCH(QString, reason);
    std::variant<SearchQuery, QueryError> read = SearchQuery::parse(query, vocabulary());
    QVERIFY(std::holds_alternative<QueryError>(read));
    QCOMPARE(std::get<QueryError>(read).reason, reason);
    QCOMPARE(std::get<QueryError>(read).column, column);
}

void TestQuery::readingsAreFullyParenthesised_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("reading");
    const auto add = [](const char* query, const char* reading) {
        QTest::newRow(query) << QString::fromUtf8(query) << QString::fromUtf8(reading);
    };
    add("a b OR c", "((\"a\" AND \"b\") OR \"c\")");
    add("a OR b c", "(\"a\" OR (\"b\" AND \"c\"))");
    add("camera:nikon -model:d70", "(camera:\"nikon\" AND (NOT model:\"d70\"))");
    add("NOT (a OR -b)", "(NOT (\"a\" OR (NOT \"b\")))");
    add("\"Camera Model Name\"=\"a \\\"b\\\"\"", "\"Camera Model Name\"=\"a \\\"b\\\"\"");
    add("iso>=800 focallength:70.. /a\\/b/", "(iso>=800 AND focallength:70.. AND /a\\/b/)");
    add("has:GPS* missing:gps 12:30 -5",
        "(has:GPS* AND missing:gps AND \"12:30\" AND (NOT \"5\"))");
    add("FOO:bar nosuchtag<3", "(\"FOO:bar\" AND \"nosuchtag<3\")");
    add("ANDROID ORCHID NOTE", "(\"ANDROID\" AND \"ORCHID\" AND \"NOTE\")");
}

void TestQuery::readingsAreFullyParenthesised()
{
    QFETCH(QString, query);
    QFETCH(QString, reading);
    std::variant<SearchQuery, QueryError> read = SearchQuery::parse(query, vocabulary());
    QVERIFY(std::holds_alternative<SearchQuery>(read));
    QCOMPARE(std::get<SearchQuery>(read).explain(), reading);
}

void TestQuery::numbersAndDatesOfValues_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<double>("number");
    QTest::addColumn<bool>("hasNumber");
    const auto add = [](const char* value, double number, bool hasNumber = true) {
        QTest::newRow(value) << QString::fromUtf8(value) << number << hasNumber;
    };
    add("2.8", 2.8);
    add("50.0 mm", 50.0);
    add("1/250", 0.004);
    add("-1.5 EV", -1.5);
    add("Canon EOS-1D Mark III", 1);
    add("f/2.8", 2.8);
    add("+0.7", 0.7);
    add("1/0", 1);
    add("Auto, Did not fire", 0, false);
}

void TestQuery::numbersAndDatesOfValues()
{
    QFETCH(QString, value);
    QFETCH(double, number);
    QFETCH(bool, hasNumber);
    const std::optional<double> found = firstNumber(value);
    QCOMPARE(found.has_value(), hasNumber);
    if (hasNumber)
        QCOMPARE(*found, number);
}

void TestQuery::aPlainTextIsNoQuery()
{
    // Without the query language nothing is an operator: the rows of today's search.
    const SearchQuery plain = SearchQuery::containing(QStringLiteral("-1"));
    QVERIFY(!plain.isQuery());
    const QList<TagValue> hits = plain.matchingRows(decodeDump(recorded("Nikon_D70.txt")));
    QVERIFY(!hits.isEmpty());
    for (const TagValue& hit : hits)
        QVERIFY(hit.value.contains(QStringLiteral("-1")));

    // Query dates span what they name, to the last second.
    QCOMPARE(queryDate("2008-06")->last, Q_INT64_C(20080631235959));
    QCOMPARE(queryDate("2008-05-30")->first, Q_INT64_C(20080530000000));
    QVERIFY(!queryDate("2008-13"));
    QVERIFY(!queryDate("2008:05"));
    QCOMPARE(*dateOfValue("2008:05:30 15:56:01.00+02:00"), Q_INT64_C(20080530155601));
    QVERIFY(!dateOfValue("2008-05-30"));
}

void TestQuery::aFreeTermGivesThePlainRows_data()
{
    QTest::addColumn<QString>("text");
    for (const char* text : {"canon", "2008", "mm", "1/", "directory", "version", "e", "ÄÖ"})
        QTest::newRow(text) << QString::fromUtf8(text);
}

void TestQuery::aFreeTermGivesThePlainRows()
{
    // The query's own line splitting gives the rows the plain search gives, lines that name
    // the folder or the version (anywhere in them) and lines without a colon passed over.
    QFETCH(QString, text);
    QByteArray odd = "ExifTool Version Number         : 12.57\r\n"
                     "Comment                         : see Directory 2008 canon\n"
                     "Title                           :   ÄÖ spaced   \r\n"
                     "no colon here 2008 canon mm\n"
                     "\n"
                     "Lens                            : 1/2 mm: e\n"
                     "Note                            : version 2008 canon e";
    const SearchQuery plain = SearchQuery::containing(text);
    const SearchQuery query =
        std::get<SearchQuery>(SearchQuery::parse(quoteQueryText(text), vocabulary()));
    for (const QByteArray& dump : {recorded("Canon_40D.txt"), recorded("Nikon_D70.txt"), odd}) {
        const QList<TagValue> rows = plain.matchingRows(decodeDump(dump));
        QCOMPARE(query.matchingRows(dump), rows);
        QCOMPARE(query.matchingRows(decodeDump(dump)), rows);
    }
}

void TestQuery::linesThatGiveNoRowAnswerNoTerm_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("scoped") << "comment:canon" << QStringList{};
    QTest::newRow("missing") << "missing:comment make:canon" << QStringList{"Make|Canon"};
    QTest::newRow("has") << "has:directory" << QStringList{};
    QTest::newRow("free") << "canon" << QStringList{"Make|Canon"};
    QTest::newRow("negated") << "-comment:see" << QStringList{"File Name|a.jpg"};
    QTest::newRow("any tag") << "*:photos" << QStringList{};
}

void TestQuery::linesThatGiveNoRowAnswerNoTerm()
{
    // A line naming the folder or the version anywhere gives no row, so no term sees it.
    QFETCH(QString, query);
    QFETCH(QStringList, rows);
    const QByteArray dump = "ExifTool Version Number         : 12.57\n"
                            "File Name                       : a.jpg\n"
                            "Directory                       : /photos/canon\n"
                            "Comment                         : see Directory canon\n"
                            "Make                            : Canon\n";
    const auto read = SearchQuery::parse(query, vocabulary());
    QVERIFY(std::holds_alternative<SearchQuery>(read));
    QStringList found;
    for (const TagValue& row : std::get<SearchQuery>(read).matchingRows(dump))
        found.append(row.tag + '|' + row.value);
    QCOMPARE(found, rows);
}

void TestQuery::theVocabularyOfTheTagList()
{
    const QByteArray xml = "<?xml version='1.0' encoding='UTF-8'?>\n"
                           "<!-- Generated by Image::ExifTool 12.57 -->\n"
                           "<taginfo>\n"
                           "<table name='Exif::Main' g0='EXIF'>\n"
                           " <desc lang='en'>Exif</desc>\n"
                           " <tag id='272' name='Model' type='string'>\n"
                           "  <desc lang='en'>Camera Model Name</desc>\n"
                           "  <desc lang='de'>Kamera</desc>\n"
                           "  <values><key id='1'><val lang='en'>One</val></key></values>\n"
                           " </tag>\n"
                           " <tag id='274' name='Orientation' type='int16u'>\n"
                           "  <values><key id='1'><desc lang='en'>Not mine</desc></key></values>\n"
                           "  <desc lang='en'>Orientation</desc>\n"
                           " </tag>\n"
                           "</table>\n"
                           "<table name='Exif::Other' g0='EXIF'>\n"
                           " <tag id='272' name='Model' type='string'>\n"
                           "  <desc lang='en'>Camera Model Name</desc>\n"
                           " </tag>\n"
                           " <tag id='50709' name='LocalizedCameraModel' type='string'>\n"
                           "  <desc lang='en'>Camera Model Name</desc>\n"
                           " </tag>\n"
                           "</table>\n"
                           "</taginfo>\n";
    const TagVocabulary names = TagVocabulary::fromTagList(xml);
    QCOMPARE(TagVocabulary::versionOfTagList(xml), QStringLiteral("12.57"));
    QVERIFY(names.knows(QStringLiteral("model")));
    QVERIFY(names.knows(QStringLiteral("CAMERA model name")));
    QVERIFY(!names.knows(QStringLiteral("Kamera")));
    QVERIFY(!names.knows(QStringLiteral("Not mine")));
    QCOMPARE(names.namesOf(QStringLiteral("Orientation")), QStringList{"orientation"});
    // A description several names print answers to each, once, in exiftool's order.
    QCOMPARE(names.namesOf(QStringLiteral("Camera Model Name")),
             (QStringList{"model", "localizedcameramodel"}));
    QCOMPARE(names.writtenNamesOf(QStringLiteral("Camera Model Name")),
             (QStringList{"Model", "LocalizedCameraModel"}));
    QCOMPARE(names.pairs().size(), 3);
    QVERIFY(names.namesOf(QStringLiteral("camera model name")).isEmpty());
    // Kept and read back as it was; other bytes are not taken for it.
    const std::optional<TagVocabulary> kept = TagVocabulary::fromSerialized(names.serialized());
    QVERIFY(kept);
    QCOMPARE(kept->pairs(), names.pairs());
    QVERIFY(!TagVocabulary::fromSerialized("Model\tCamera Model Name\n"));
    QVERIFY(!TagVocabulary::fromSerialized(names.serialized().chopped(1)));
}

QTEST_GUILESS_MAIN(TestQuery)
#include "tst_query.moc"
