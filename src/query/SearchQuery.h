#pragma once

#include "core/DumpParser.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <variant>

namespace tagsifter {

class QueryMatcher;
class TagVocabulary;
class PatternMatcher;
class TextPrefilter;
struct QueryError;

/// What the user asked for, read once from the search box or the command line and then handed
/// to the engine as it is. It answers the engine's two questions by one folding rule (Qt's
/// simple case folding): can a dump's bytes hold a hit, and which rows of a dump are hits.
class SearchQuery
{
public:
    /// Matches nothing: the query of an empty text.
    SearchQuery();
    /// Rows whose value contains `text`, ignoring case.
    static SearchQuery containing(const QString& text);
    /// `text` read in the query language, with `vocabulary` telling which words are tags; the
    /// reason and place when it cannot be read.
    static std::variant<SearchQuery, QueryError>
    parse(const QString& text, std::shared_ptr<const TagVocabulary> vocabulary);

    /// True when the text was read in the query language.
    bool isQuery() const { return m_matcher != nullptr; }
    /// How a query was read, fully parenthesised; the plain text in quotes otherwise.
    QString explain() const;
    /// Rows that `patterns` matches (the terminal's -e, -w, -s, -E and --tag).
    static SearchQuery matching(std::shared_ptr<const PatternMatcher> patterns);

    /// What the user typed, as typed.
    const QString& text() const { return m_text; }
    /// True when there is nothing to search for (spaces only count as nothing).
    bool isBlank() const;

    /// False only when the dump `utf8` (valid UTF-8, as the cache keeps it) cannot hold a hit.
    bool mayMatch(const QByteArray& utf8) const;
    /// True when a hit could lie in a date and time as exiftool prints one
    /// ("2021:08:31 10:00:00+02:00"), so that such values must be written out to be searched.
    bool mayMatchTimes() const;
    /// The hits of a dump as exiftool printed it, in its order.
    QList<TagValue> matchingRows(const QString& dump) const;
    /// The hits of an image's dump and, in `sidecarHits`, of its sidecar's: a query matches
    /// both together, as one image.
    QList<TagValue> matchingRows(const QString& dump, const QString& sidecar,
                                 QList<TagValue>& sidecarHits) const;
    /// The same for a dump's UTF-8 bytes; lines that cannot hold a hit are never decoded.
    QList<TagValue> matchingRows(const QByteArray& utf8) const;

private:
    QString m_text;
    /// Shared: a query is copied into every job of a search, its prefilter built once.
    std::shared_ptr<const TextPrefilter> m_prefilter;
    /// The query read, when the text is one.
    std::shared_ptr<const QueryMatcher> m_matcher;
    /// The terminal's texts and tags, when they are more than one text ignoring case.
    std::shared_ptr<const PatternMatcher> m_patterns;
};

} // namespace tagsifter
