#include "query/SearchQuery.h"

#include "query/PatternMatcher.h"
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

SearchQuery SearchQuery::matching(std::shared_ptr<const PatternMatcher> patterns)
{
    SearchQuery query;
    query.m_patterns = std::move(patterns);
    return query;
}

bool SearchQuery::isBlank() const
{
    // An empty text among the terminal's patterns matches every row, as grep's does.
    return !m_patterns && trimSpaces(m_text).isEmpty();
}

bool SearchQuery::mayMatch(const QByteArray& utf8) const
{
    return m_patterns ? m_patterns->mayMatch(utf8) : m_prefilter->mayContain(utf8);
}

bool SearchQuery::mayMatchTimes() const
{
    return m_patterns ? m_patterns->mayMatchTimes() : m_prefilter->mayMatchTimes();
}

QList<TagValue> SearchQuery::matchingRows(const QString& dump) const
{
    return m_patterns ? m_patterns->matchingRows(dump) : matchingEntries(dump, m_text);
}

QList<TagValue> SearchQuery::matchingRows(const QByteArray& utf8) const
{
    return m_patterns ? m_patterns->matchingRows(QString::fromUtf8(utf8))
                      : m_prefilter->matchingEntries(utf8);
}

} // namespace tagsifter
