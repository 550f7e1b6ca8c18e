#include "query/SearchQuery.h"

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

QString SearchQuery::explain() const
{
    return m_matcher ? explainQuery(m_matcher->root()) : quoteQueryText(m_text);
}

bool SearchQuery::isBlank() const
{
    return trimSpaces(m_text).isEmpty();
}

bool SearchQuery::mayMatch(const QByteArray& utf8) const
{
    return m_matcher ? m_matcher->mayMatch(utf8) : m_prefilter->mayContain(utf8);
}

bool SearchQuery::mayMatchTimes() const
{
    return m_matcher ? m_matcher->mayMatchTimes() : m_prefilter->mayMatchTimes();
}

QList<TagValue> SearchQuery::matchingRows(const QString& dump) const
{
    return m_matcher ? m_matcher->matchingRows(dump.toUtf8()) : matchingEntries(dump, m_text);
}

QList<TagValue> SearchQuery::matchingRows(const QString& dump, const QString& sidecar,
                                          QList<TagValue>& sidecarHits) const
{
    if (!m_matcher) {
        sidecarHits = matchingEntries(sidecar, m_text);
        return matchingEntries(dump, m_text);
    }
    const QByteArray image = dump.toUtf8() + '\n';
    return m_matcher->matchingRows(image + sidecar.toUtf8(), image.size(), &sidecarHits);
}

QList<TagValue> SearchQuery::matchingRows(const QByteArray& utf8) const
{
    return m_matcher ? m_matcher->matchingRows(utf8) : m_prefilter->matchingEntries(utf8);
}

} // namespace tagsifter
