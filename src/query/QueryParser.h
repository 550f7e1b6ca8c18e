#pragma once

#include "query/QueryValues.h"

#include <QRegularExpression>
#include <QString>

#include <variant>
#include <vector>

namespace tagsifter {

class TagVocabulary;

/// The tags a TAG of a query stands for.
struct TagScope
{
    enum class Group { None, Date, Taken, Camera, Lens, Gps };
    /// As the query writes it.
    QString written;
    /// Lower case without spaces.
    QString compact;
    Group group = Group::None;
    /// For a name with `*`: the whole compact name matched against the pattern.
    QRegularExpression wildcard;
    bool isWildcard() const { return wildcard.isValid() && !wildcard.pattern().isEmpty(); }
    /// The scope's place among the query's scopes, for a matcher's tables; -1 until it has one.
    int index = -1;
};

/// One end of a comparison or a range: what it is as a number and as a date (a bare year is
/// both); neither for the open end of a range.
struct QueryBound
{
    QString written;
    std::optional<double> number;
    std::optional<DateSpan> date;
    bool isOpen() const { return written.isEmpty(); }
};

/// A query as read: a term or an operator over terms.
struct QueryNode
{
    enum class Kind { Contains, Equals, Regex, Compare, Range, Has, Missing, And, Or, Not };
    enum class Compare { Less, LessOrEqual, Greater, GreaterOrEqual };

    Kind kind = Kind::Contains;
    /// Where the node begins in the query (1-based, in characters).
    int column = 1;
    /// The TAG of a scoped term; none for a free term.
    std::optional<TagScope> scope;
    /// The text of Contains and Equals, the pattern of Regex as written.
    QString text;
    /// The span of a Contains text that is a query date.
    std::optional<DateSpan> textDate;
    QRegularExpression regex;
    Compare compare = Compare::Less;
    /// The end of a comparison is `low`; a range runs from `low` to `high`.
    QueryBound low;
    QueryBound high;
    std::vector<QueryNode> children;
};

/// Why a query cannot be read, and where (1-based column, in characters).
struct QueryError
{
    QString reason;
    int column = 1;
};

/// Reads `text` in the query language. `vocabulary` tells which words are tags.
std::variant<QueryNode, QueryError> parseQuery(const QString& text,
                                               const TagVocabulary& vocabulary);

/// The query as it was read, fully parenthesised: one scope, operator and text each.
QString explainQuery(const QueryNode& node);

/// `text` in double quotes, `"` and `\` inside it written `\"` and `\\`.
QString quoteQueryText(const QString& text);

} // namespace tagsifter
