// Fuzz target for the query language: whatever is typed, the parser either reads it or says
// why and where, its reading reads back to itself, and the match of the rows it gives agrees
// with the prefilter on the dump's bytes.
#include "core/DumpParser.h"
#include "query/QueryParser.h"
#include "query/SearchQuery.h"
#include "query/TagVocabulary.h"
#include "support/FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace tagsifter;

namespace {

std::shared_ptr<const TagVocabulary> vocabulary()
{
    static const std::shared_ptr<const TagVocabulary> names = [] {
        auto built = std::make_shared<TagVocabulary>();
        built->add(QStringLiteral("Model"), QStringLiteral("Camera Model Name"));
        built->add(QStringLiteral("Make"), QStringLiteral("Make"));
        built->add(QStringLiteral("DateTimeOriginal"), QStringLiteral("Date/Time Original"));
        built->add(QStringLiteral("ISO"), QStringLiteral("ISO"));
        built->add(QStringLiteral("FocalLength"), QStringLiteral("Focal Length"));
        built->add(QStringLiteral("GPSLatitude"), QStringLiteral("GPS Latitude"));
        return std::shared_ptr<const TagVocabulary>(std::move(built));
    }();
    return names;
}

const QByteArray kDump =
    QByteArrayLiteral("ExifTool Version Number         : 12.57\n"
                      "File Name                       : a b.jpg\n"
                      "Make                            : NIKON\n"
                      "Camera Model Name               : NIKON D70\n"
                      "ISO                             : 200\n"
                      "Date/Time Original              : 2008:03:15 09:52:01\n"
                      "Focal Length                    : 1/250 mm\n"
                      "GPS Latitude                    : 0 deg 22' S\n"
                      "Comment                         : -1.5 (x) \"q\" \\/\n");

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    std::variant<SearchQuery, QueryError> read = SearchQuery::parse(text, vocabulary());
    if (const QueryError* error = std::get_if<QueryError>(&read)) {
        check(!error->reason.isEmpty());
        check(error->column >= 1 && error->column <= text.size() + 1);
        return 0;
    }
    const SearchQuery& query = std::get<SearchQuery>(read);
    // The reading is itself a query that reads the same.
    const QString reading = query.explain();
    std::variant<SearchQuery, QueryError> again = SearchQuery::parse(reading, vocabulary());
    check(std::holds_alternative<SearchQuery>(again));
    check(std::get<SearchQuery>(again).explain() == reading);
    // Rows come from the dump, and a dump with rows is never ruled out on its bytes.
    const QList<TagValue> rows = query.matchingRows(kDump);
    check(rows == query.matchingRows(decodeDump(kDump)));
    if (!rows.isEmpty())
        check(query.mayMatch(kDump));
    for (const TagValue& row : rows)
        check(decodeDump(kDump).contains(row.value));
    return 0;
}
