#pragma once

#include "core/DumpParser.h"
#include "query/QueryParser.h"

#include <QByteArray>
#include <QList>

#include <memory>

namespace tagsifter {

class TagVocabulary;
class TextPrefilter;

/// A query read by parseQuery, matched against the rows of an image's dump.
class QueryMatcher
{
public:
    QueryMatcher(QueryNode root, std::shared_ptr<const TagVocabulary> vocabulary);
    ~QueryMatcher();
    QueryMatcher(const QueryMatcher&) = delete;
    QueryMatcher& operator=(const QueryMatcher&) = delete;

    const QueryNode& root() const { return m_root; }
    /// The rows an image with `rows` (exiftool's order) lists: none when it does not match;
    /// its "File Name" row when it matches only through NOT, `-` and missing:.
    QList<TagValue> matchingRows(const QList<TagValue>& rows) const;
    /// False only when a dump's UTF-8 bytes cannot match.
    bool mayMatch(const QByteArray& utf8) const;
    /// True when the rows of the file's own times could decide a match or be listed.
    bool mayMatchTimes() const;

private:
    struct Prefilter;
    struct Image;
    static Prefilter prefilterOf(const QueryNode& node);
    bool evaluate(const QueryNode& node, Image& image, std::vector<char>& listed) const;
    bool term(const QueryNode& node, Image& image, std::vector<char>& listed) const;
    static bool rowMatches(const QueryNode& node, Image& image, int row);
    static bool timesMatter(const QueryNode& node);

    QueryNode m_root;
    std::shared_ptr<const TagVocabulary> m_vocabulary;
    std::unique_ptr<Prefilter> m_prefilter;
    bool m_timesMatter = true;
};

} // namespace tagsifter
