#include "query/SearchQuery.h"

#include "query/PatternMatcher.h"
#include "query/QueryMatcher.h"
#include "query/TagVocabulary.h"
#include "query/TextPrefilter.h"

namespace tagsifter {

SearchQuery::SearchQuery() : m_prefilter(std::make_shared<const TextPrefilter>(QString())) {}

SearchQuery SearchQuery::containing(const QString& text)
{
    SearchQuery query;
    query.m_text = text;
    query.m_prefilter = std::make_shared<const TextPrefilter>(text);
    return query;
}

std::variant<SearchQuery, QueryError>
SearchQuery::parse(const QString& text, std::shared_ptr<const TagVocabulary> vocabulary)
{
    static const TagVocabulary none;
    std::variant<QueryNode, QueryError> read = parseQuery(text, vocabulary ? *vocabulary : none);
    if (QueryError* error = std::get_if<QueryError>(&read))
        return *error;
    SearchQuery query;
    query.m_text = text;
    query.m_matcher = std::make_shared<const QueryMatcher>(std::get<QueryNode>(std::move(read)),
                                                           std::move(vocabulary));
    return query;
}

SearchQuery SearchQuery::matching(std::shared_ptr<const PatternMatcher> patterns)
{
    SearchQuery query;
    query.m_patterns = std::move(patterns);
    return query;
}

QString SearchQuery::explain() const
{
    return m_matcher ? explainQuery(m_matcher->root()) : quoteQueryText(m_text);
}

bool SearchQuery::isBlank() const
{
    // An empty text among the terminal's patterns matches every row, as grep's does.
    return !m_patterns && !m_matcher && trimSpaces(m_text).isEmpty();
}

bool SearchQuery::mayMatch(const QByteArray& utf8) const
{
    if (m_matcher)
        return m_matcher->mayMatch(utf8);
    return m_patterns ? m_patterns->mayMatch(utf8) : m_prefilter->mayContain(utf8);
}

bool SearchQuery::mayMatchTimes() const
{
    if (m_matcher)
        return m_matcher->mayMatchTimes();
    return m_patterns ? m_patterns->mayMatchTimes() : m_prefilter->mayMatchTimes();
}

QList<TagValue> SearchQuery::matchingRows(const QString& dump) const
{
    if (m_matcher)
        return m_matcher->matchingRows(dump.toUtf8());
    return m_patterns ? m_patterns->matchingRows(dump) : matchingEntries(dump, m_text);
}

QList<TagValue> SearchQuery::matchingRows(const QString& dump, const QString& sidecar,
                                          QList<TagValue>& sidecarHits) const
{
    if (!m_matcher) {
        sidecarHits = matchingRows(sidecar);
        return matchingRows(dump);
    }
    const QByteArray image = dump.toUtf8() + '\n';
    return m_matcher->matchingRows(image + sidecar.toUtf8(), image.size(), &sidecarHits);
}

QList<TagValue> SearchQuery::matchingRows(const QByteArray& utf8) const
{
    if (m_matcher)
        return m_matcher->matchingRows(utf8);
    return m_patterns ? m_patterns->matchingRows(QString::fromUtf8(utf8))
                      : m_prefilter->matchingEntries(utf8);
}

} // namespace tagsifter
