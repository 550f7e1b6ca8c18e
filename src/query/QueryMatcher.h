#pragma once

#include "core/DumpParser.h"
#include "query/QueryParser.h"

#include <QByteArray>
#include <QList>

#include <bitset>
#include <memory>
#include <unordered_map>

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
    /// The rows an image lists, of its dump as UTF-8 bytes (lines as parseDumpLine splits
    /// them, in exiftool's order): none when it does not match; its "File Name" row when it
    /// matches only through NOT, `-` and missing:. Lines are decoded only where a term needs
    /// their text.
    /// With `second`, the rows of lines from byte `split` on (a second dump after the first)
    /// go there: the two are matched as one image.
    QList<TagValue> matchingRows(const QByteArray& utf8, qsizetype split = -1,
                                 QList<TagValue>* second = nullptr) const;
    /// False only when a dump's UTF-8 bytes cannot match.
    bool mayMatch(const QByteArray& utf8) const;
    /// True when the rows of the file's own times could decide a match or be listed.
    bool mayMatchTimes() const;

    /// What is known of a tag the matcher met (public for the threads' caches only).
    struct TagFacts;

private:
    struct Prefilter;
    struct Image;
    /// What is known of the tag `tag` (its bytes): worked out once a thread and matcher.
    const TagFacts& factsOf(QByteArrayView tag) const;
    static void numberScopes(QueryNode& node, int& next);
    void collectLeadBytes(const QueryNode& node);
    void collectNeedles(const QueryNode& node);
    static Prefilter prefilterOf(const QueryNode& node);
    bool evaluate(const QueryNode& node, Image& image, std::vector<char>& listed) const;
    bool term(const QueryNode& node, Image& image, std::vector<char>& listed) const;
    static bool rowMatches(const QueryNode& node, Image& image, int row);
    static bool timesMatter(const QueryNode& node);

    QueryNode m_root;
    std::shared_ptr<const TagVocabulary> m_vocabulary;
    std::unique_ptr<Prefilter> m_prefilter;
    bool m_timesMatter = true;
    int m_scopes = 0;
    /// Tells this matcher's tables from another's in a thread's cache.
    quint64 m_serial = 0;
    /// For each scope: the first bytes a tag it may cover can begin with.
    std::vector<std::bitset<256>> m_leadBytes;
    /// The byte prefilter of each free Contains term, by node.
    std::unordered_map<const QueryNode*, std::shared_ptr<const TextPrefilter>> m_needles;
};

} // namespace tagsifter
