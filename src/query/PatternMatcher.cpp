#include "query/PatternMatcher.h"

#include "query/QueryValues.h"

#include "query/TextPrefilter.h"

#include <algorithm>

namespace tagsifter {

namespace {

// A whole word has neither a letter, a digit nor an underscore right before or after it.
const QString kWordBefore = QStringLiteral("(?<!\\w)(?:");
const QString kWordAfter = QStringLiteral(")(?!\\w)");

} // namespace

PatternMatcher::~PatternMatcher() = default;

std::variant<std::shared_ptr<const PatternMatcher>, PatternError>
PatternMatcher::make(const PatternOptions& options)
{
    std::shared_ptr<PatternMatcher> matcher(new PatternMatcher);
    matcher->m_case = options.caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    matcher->m_expressions = options.regex || options.word;
    QRegularExpression::PatternOptions flags = QRegularExpression::UseUnicodePropertiesOption;
    if (!options.caseSensitive)
        flags |= QRegularExpression::CaseInsensitiveOption;
    for (const QString& pattern : options.patterns) {
        Text text{pattern, pattern.toUtf8(), {}, nullptr};
        if (options.regex) {
            // Read alone first, so that a column names a place in what the user wrote.
            const QRegularExpression alone(pattern, flags);
            if (!alone.isValid())
                return PatternError{pattern, int(alone.patternErrorOffset()) + 1,
                                    alone.errorString()};
        }
        if (matcher->m_expressions) {
            const QString body = options.regex ? pattern : QRegularExpression::escape(pattern);
            text.expression =
                QRegularExpression(options.word ? kWordBefore + body + kWordAfter : body, flags);
            text.expression.optimize();
        }
        if (!options.regex && !options.caseSensitive)
            text.prefilter = std::make_shared<const TextPrefilter>(pattern);
        matcher->m_texts.push_back(std::move(text));
    }
    for (const QString& tag : options.tags)
        matcher->m_tagKeys.append(compactTag(tag));
    return std::shared_ptr<const PatternMatcher>(std::move(matcher));
}

bool PatternMatcher::valueMatches(const QString& value) const
{
    return std::any_of(m_texts.begin(), m_texts.end(), [&](const Text& text) {
        return m_expressions ? text.expression.match(value).hasMatch()
                             : value.contains(text.text, m_case);
    });
}

bool PatternMatcher::matches(const QString& tag, const QString& value) const
{
    if (!m_tagKeys.isEmpty() && !m_tagKeys.contains(compactTag(tag)))
        return false;
    return valueMatches(value);
}

std::vector<std::pair<qsizetype, qsizetype>> PatternMatcher::spans(const QString& value) const
{
    std::vector<std::pair<qsizetype, qsizetype>> found;
    for (const Text& text : m_texts) {
        if (m_expressions) {
            QRegularExpressionMatchIterator it = text.expression.globalMatch(value);
            while (it.hasNext()) {
                const QRegularExpressionMatch match = it.next();
                if (match.capturedLength() > 0)
                    found.emplace_back(match.capturedStart(), match.capturedLength());
            }
        } else if (!text.text.isEmpty()) {
            for (qsizetype at = value.indexOf(text.text, 0, m_case); at >= 0;
                 at = value.indexOf(text.text, at + text.text.size(), m_case))
                found.emplace_back(at, text.text.size());
        }
    }
    // Spans of several texts merge where they touch or overlap.
    std::sort(found.begin(), found.end());
    std::vector<std::pair<qsizetype, qsizetype>> merged;
    for (const auto& [start, length] : found) {
        if (!merged.empty() && start <= merged.back().first + merged.back().second) {
            const qsizetype end =
                std::max(merged.back().first + merged.back().second, start + length);
            merged.back().second = end - merged.back().first;
        } else {
            merged.emplace_back(start, length);
        }
    }
    return merged;
}

bool PatternMatcher::mayMatch(const QByteArray& utf8) const
{
    return std::any_of(m_texts.begin(), m_texts.end(), [&](const Text& text) {
        if (text.prefilter)
            return text.prefilter->mayContain(utf8);
        // An expression can match anything; a text whose case counts is its own bytes.
        return m_expressions || utf8.contains(text.utf8);
    });
}

bool PatternMatcher::mayMatchTimes() const
{
    return std::any_of(m_texts.begin(), m_texts.end(), [](const Text& text) {
        return !text.prefilter || text.text.isEmpty() || text.prefilter->mayMatchTimes();
    });
}

QList<TagValue> PatternMatcher::matchingRows(const QString& dump) const
{
    QList<TagValue> rows;
    for (const QString& line : dumpLines(dump)) {
        std::optional<TagValue> row = parseDumpLine(line);
        if (row && matches(row->tag, row->value))
            rows.append(std::move(*row));
    }
    return rows;
}

} // namespace tagsifter
