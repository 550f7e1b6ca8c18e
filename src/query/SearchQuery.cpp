#include "query/SearchQuery.h"

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

bool SearchQuery::isBlank() const
{
    return trimSpaces(m_text).isEmpty();
}

bool SearchQuery::mayMatch(const QByteArray& utf8) const
{
    return m_prefilter->mayContain(utf8);
}

bool SearchQuery::mayMatchTimes() const
{
    return m_prefilter->mayMatchTimes();
}

QList<TagValue> SearchQuery::matchingRows(const QString& dump) const
{
    return matchingEntries(dump, m_text);
}

QList<TagValue> SearchQuery::matchingRows(const QByteArray& utf8) const
{
    return m_prefilter->matchingEntries(utf8);
}

} // namespace tagsifter
