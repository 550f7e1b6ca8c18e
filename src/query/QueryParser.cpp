#include "query/QueryParser.h"

#include "query/TagVocabulary.h"

namespace tagsifter {

namespace {

/// Thrown inside the parser, caught at its door.
struct ParseFailure
{
    QueryError error;
};

[[noreturn]] void fail(const QString& reason, qsizetype at)
{
    throw ParseFailure{{reason, static_cast<int>(at) + 1}};
}

bool isOperatorChar(QChar c)
{
    return c == QLatin1Char(':') || c == QLatin1Char('=') || c == QLatin1Char('<') ||
           c == QLatin1Char('>');
}

bool endsToken(QChar c)
{
    return c.isSpace() || c == QLatin1Char('(') || c == QLatin1Char(')');
}

TagScope::Group groupNamed(const QString& compact)
{
    static const QHash<QString, TagScope::Group> groups{
        {QStringLiteral("date"), TagScope::Group::Date},
        {QStringLiteral("taken"), TagScope::Group::Taken},
        {QStringLiteral("camera"), TagScope::Group::Camera},
        {QStringLiteral("lens"), TagScope::Group::Lens},
        {QStringLiteral("gps"), TagScope::Group::Gps},
    };
    return groups.value(compact, TagScope::Group::None);
}

TagScope scopeOf(const QString& written)
{
    TagScope scope;
    scope.written = written;
    scope.compact = compactTag(written);
    scope.group = groupNamed(scope.compact);
    if (scope.compact.contains(QLatin1Char('*'))) {
        QString pattern;
        for (const QString& part : scope.compact.split(QLatin1Char('*')))
            pattern += QRegularExpression::escape(part) + QStringLiteral(".*");
        pattern.chop(2);
        scope.wildcard = QRegularExpression(QRegularExpression::anchoredPattern(pattern));
    }
    return scope;
}

class Parser
{
public:
    Parser(const QString& text, const TagVocabulary& vocabulary)
        : m_text(text), m_vocabulary(vocabulary)
    {
    }

    QueryNode parse()
    {
        skipSpaces();
        if (m_pos >= m_text.size())
            fail(QStringLiteral("the query holds no term"), m_pos);
        QueryNode root = parseOr();
        skipSpaces();
        if (m_pos < m_text.size())
            fail(QStringLiteral("this parenthesis closes nothing"), m_pos);
        return root;
    }

private:
    QueryNode parseOr()
    {
        QueryNode left = parseAnd();
        while (atKeyword(QStringLiteral("OR"))) {
            const qsizetype at = m_pos;
            m_pos += 2;
            if (!startsOperand())
                fail(QStringLiteral("OR needs a term on each side"), at);
            left = combine(QueryNode::Kind::Or, std::move(left), parseAnd());
        }
        return left;
    }

    QueryNode parseAnd()
    {
        if (atKeyword(QStringLiteral("AND")) || atKeyword(QStringLiteral("OR")))
            fail(QStringLiteral("%1 needs a term on each side").arg(keywordHere()), m_pos);
        QueryNode left = parseUnary();
        for (;;) {
            if (atKeyword(QStringLiteral("AND"))) {
                const qsizetype at = m_pos;
                m_pos += 3;
                if (!startsOperand())
                    fail(QStringLiteral("AND needs a term on each side"), at);
            } else if (!startsOperand()) {
                return left;
            }
            left = combine(QueryNode::Kind::And, std::move(left), parseUnary());
        }
    }

    QueryNode parseUnary()
    {
        skipSpaces();
        const qsizetype at = m_pos;
        const bool notWord = atKeyword(QStringLiteral("NOT"));
        const bool minus =
            !notWord && m_pos + 1 < m_text.size() && m_text.at(m_pos) == QLatin1Char('-') &&
            !m_text.at(m_pos + 1).isSpace() && m_text.at(m_pos + 1) != QLatin1Char(')');
        if (!notWord && !minus)
            return parsePrimary();
        m_pos += notWord ? 3 : 1;
        if (!startsOperand())
            fail(notWord ? QStringLiteral("NOT needs a term after it")
                         : QStringLiteral("- needs a term after it"),
                 at);
        QueryNode node;
        node.kind = QueryNode::Kind::Not;
        node.column = static_cast<int>(at) + 1;
        node.children.push_back(parseUnary());
        return node;
    }

    QueryNode parsePrimary()
    {
        skipSpaces();
        if (m_pos < m_text.size() && m_text.at(m_pos) == QLatin1Char('(')) {
            const qsizetype open = m_pos++;
            if (!startsOperand()) {
                skipSpaces();
                if (m_pos >= m_text.size())
                    fail(QStringLiteral("the parenthesis is not closed"), open);
                fail(QStringLiteral("the parentheses hold no term"), open);
            }
            QueryNode inner = parseOr();
            skipSpaces();
            if (m_pos >= m_text.size() || m_text.at(m_pos) != QLatin1Char(')'))
                fail(QStringLiteral("the parenthesis is not closed"), open);
            ++m_pos;
            return inner;
        }
        if (m_pos < m_text.size() && m_text.at(m_pos) == QLatin1Char(')'))
            fail(QStringLiteral("this parenthesis closes nothing"), m_pos);
        return parseTerm();
    }

    QueryNode parseTerm()
    {
        const qsizetype start = m_pos;
        QueryNode node;
        node.column = static_cast<int>(start) + 1;
        if (m_text.at(m_pos) == QLatin1Char('/')) {
            node.kind = QueryNode::Kind::Regex;
            setRegex(node, readRegex());
            return node;
        }
        const bool quoted = m_text.at(m_pos) == QLatin1Char('"');
        const QString word = quoted ? readQuoted() : readWord();
        if (m_pos < m_text.size() && isOperatorChar(m_text.at(m_pos))) {
            const QString lower = word.toCaseFolded();
            if (!quoted && m_text.at(m_pos) == QLatin1Char(':') &&
                (lower == QLatin1String("has") || lower == QLatin1String("missing"))) {
                ++m_pos;
                node.kind =
                    lower == QLatin1String("has") ? QueryNode::Kind::Has : QueryNode::Kind::Missing;
                const QString tag = readValue(word + QLatin1Char(':'), start);
                node.scope = scopeOf(tag);
                return node;
            }
            if (isScope(word)) {
                node.scope = scopeOf(word);
                parseScoped(node, word, start);
                return node;
            }
            // Not a tag: the whole token is text ("12:30", "2008:05:30").
            m_pos = start;
            node.text = quoted ? readQuoted() + readRaw() : readRaw();
            return node;
        }
        node.text = word;
        return node;
    }

    void parseScoped(QueryNode& node, const QString& tag, qsizetype start)
    {
        const QChar op = m_text.at(m_pos++);
        if (op == QLatin1Char(':')) {
            if (m_pos < m_text.size() && m_text.at(m_pos) == QLatin1Char('/')) {
                node.kind = QueryNode::Kind::Regex;
                setRegex(node, readRegex());
                return;
            }
            const bool quoted = m_pos < m_text.size() && m_text.at(m_pos) == QLatin1Char('"');
            const qsizetype valueAt = m_pos;
            const QString value = readValue(tag + op, start);
            if (!quoted && value.contains(QLatin1String(".."))) {
                parseRange(node, value, valueAt);
                return;
            }
            node.kind = QueryNode::Kind::Contains;
            node.text = value;
            node.textDate = queryDate(value);
            return;
        }
        if (op == QLatin1Char('=')) {
            node.kind = QueryNode::Kind::Equals;
            node.text = readValue(tag + op, start);
            return;
        }
        const bool orEqual = m_pos < m_text.size() && m_text.at(m_pos) == QLatin1Char('=');
        m_pos += orEqual ? 1 : 0;
        const bool less = op == QLatin1Char('<');
        node.kind = QueryNode::Kind::Compare;
        node.compare =
            less ? (orEqual ? QueryNode::Compare::LessOrEqual : QueryNode::Compare::Less)
                 : (orEqual ? QueryNode::Compare::GreaterOrEqual : QueryNode::Compare::Greater);
        const qsizetype valueAt = m_pos;
        node.low = bound(readValue(tag + op + (orEqual ? QStringLiteral("=") : QString()), start),
                         valueAt, QStringLiteral("a comparison"));
    }

    void parseRange(QueryNode& node, const QString& value, qsizetype at)
    {
        node.kind = QueryNode::Kind::Range;
        const qsizetype dots = value.indexOf(QLatin1String(".."));
        const QString low = value.left(dots);
        const QString high = value.mid(dots + 2);
        if (low.isEmpty() && high.isEmpty())
            fail(QStringLiteral("a range needs at least one end"), at);
        node.low = low.isEmpty() ? QueryBound() : bound(low, at, QStringLiteral("a range"));
        node.high =
            high.isEmpty() ? QueryBound() : bound(high, at + dots + 2, QStringLiteral("a range"));
        const bool dates =
            (node.low.isOpen() || node.low.date) && (node.high.isOpen() || node.high.date);
        const bool numbers =
            (node.low.isOpen() || node.low.number) && (node.high.isOpen() || node.high.number);
        if (!dates && !numbers)
            fail(QStringLiteral("a range cannot go from a date to a number"), at);
    }

    static QueryBound bound(const QString& written, qsizetype at, const QString& what)
    {
        QueryBound end;
        end.written = written;
        end.number = queryNumber(written);
        end.date = queryDate(written);
        if (!end.number && !end.date)
            fail(QStringLiteral("%1 needs a number or a date, not \"%2\"").arg(what, written), at);
        return end;
    }

    bool isScope(const QString& word) const
    {
        const QString compact = compactTag(word);
        return !compact.isEmpty() &&
               (compact.contains(QLatin1Char('*')) ||
                groupNamed(compact) != TagScope::Group::None || m_vocabulary.knows(word));
    }

    void setRegex(QueryNode& node, const QString& pattern)
    {
        node.text = pattern;
        node.regex =
            QRegularExpression(pattern, QRegularExpression::CaseInsensitiveOption |
                                            QRegularExpression::UseUnicodePropertiesOption);
        if (!node.regex.isValid()) {
            // The place of the fault inside the pattern, counted from the query's start.
            fail(QStringLiteral("invalid regular expression: %1").arg(node.regex.errorString()),
                 m_regexStart + 1 + node.regex.patternErrorOffset());
        }
    }

    /// The text after TAG and its operator: a quoted text or a word; `what` names them when
    /// nothing follows.
    QString readValue(const QString& what, qsizetype start)
    {
        if (m_pos < m_text.size() && m_text.at(m_pos) == QLatin1Char('"'))
            return readQuoted();
        const QString value = readRaw();
        if (value.isEmpty())
            fail(QStringLiteral("nothing follows \"%1\"").arg(what), start);
        return value;
    }

    QString readRegex()
    {
        m_regexStart = m_pos;
        QString pattern;
        for (qsizetype i = m_pos + 1; i < m_text.size(); ++i) {
            const QChar c = m_text.at(i);
            if (c == QLatin1Char('\\') && i + 1 < m_text.size()) {
                const QChar next = m_text.at(++i);
                if (next != QLatin1Char('/'))
                    pattern += c;
                pattern += next;
            } else if (c == QLatin1Char('/')) {
                m_pos = i + 1;
                return pattern;
            } else {
                pattern += c;
            }
        }
        fail(QStringLiteral("the regular expression is not closed"), m_pos);
    }

    QString readQuoted()
    {
        QString text;
        for (qsizetype i = m_pos + 1; i < m_text.size(); ++i) {
            const QChar c = m_text.at(i);
            if (c == QLatin1Char('\\') && i + 1 < m_text.size() &&
                (m_text.at(i + 1) == QLatin1Char('"') || m_text.at(i + 1) == QLatin1Char('\\'))) {
                text += m_text.at(++i);
            } else if (c == QLatin1Char('"')) {
                m_pos = i + 1;
                return text;
            } else {
                text += c;
            }
        }
        fail(QStringLiteral("the quote is not closed"), m_pos);
    }

    /// A word up to a space, a parenthesis, a quote or an operator.
    QString readWord()
    {
        const qsizetype start = m_pos;
        while (m_pos < m_text.size() && !endsToken(m_text.at(m_pos)) &&
               !isOperatorChar(m_text.at(m_pos)) && m_text.at(m_pos) != QLatin1Char('"'))
            ++m_pos;
        return m_text.mid(start, m_pos - start);
    }

    /// Everything up to a space or a parenthesis.
    QString readRaw()
    {
        const qsizetype start = m_pos;
        while (m_pos < m_text.size() && !endsToken(m_text.at(m_pos)))
            ++m_pos;
        return m_text.mid(start, m_pos - start);
    }

    void skipSpaces()
    {
        while (m_pos < m_text.size() && m_text.at(m_pos).isSpace())
            ++m_pos;
    }

    /// True when `word` stands at the next token, followed by a space, a parenthesis or the end.
    bool atKeyword(const QString& word)
    {
        skipSpaces();
        const qsizetype end = m_pos + word.size();
        return QStringView(m_text).mid(m_pos).startsWith(word) &&
               (end >= m_text.size() || endsToken(m_text.at(end)));
    }

    QString keywordHere()
    {
        return atKeyword(QStringLiteral("AND")) ? QStringLiteral("AND") : QStringLiteral("OR");
    }

    /// True when a term, a NOT or an opening parenthesis comes next.
    bool startsOperand()
    {
        skipSpaces();
        return m_pos < m_text.size() && m_text.at(m_pos) != QLatin1Char(')') &&
               !atKeyword(QStringLiteral("AND")) && !atKeyword(QStringLiteral("OR"));
    }

    static QueryNode combine(QueryNode::Kind kind, QueryNode left, QueryNode right)
    {
        if (left.kind == kind) {
            left.children.push_back(std::move(right));
            return left;
        }
        QueryNode node;
        node.kind = kind;
        node.column = left.column;
        node.children.push_back(std::move(left));
        node.children.push_back(std::move(right));
        return node;
    }

    const QString& m_text;
    const TagVocabulary& m_vocabulary;
    qsizetype m_pos = 0;
    qsizetype m_regexStart = 0;
};

QString scopeText(const QueryNode& node)
{
    if (!node.scope)
        return QString();
    const QString& written = node.scope->written;
    const bool bare = std::all_of(written.begin(), written.end(), [](QChar c) {
        return c.isLetterOrNumber() || c == QLatin1Char('*') || c == QLatin1Char('_') ||
               c == QLatin1Char('-');
    });
    return bare && !written.isEmpty() ? written : quoteQueryText(written);
}

QString boundText(const QueryBound& bound)
{
    return bound.written;
}

QString termText(const QueryNode& node)
{
    const QString scope = scopeText(node);
    switch (node.kind) {
    case QueryNode::Kind::Contains:
        return node.scope ? scope + QLatin1Char(':') + quoteQueryText(node.text)
                          : quoteQueryText(node.text);
    case QueryNode::Kind::Equals:
        return scope + QLatin1Char('=') + quoteQueryText(node.text);
    case QueryNode::Kind::Regex: {
        QString pattern = node.text;
        pattern.replace(QLatin1Char('/'), QLatin1String("\\/"));
        return (node.scope ? scope + QLatin1Char(':') : QString()) + QLatin1Char('/') + pattern +
               QLatin1Char('/');
    }
    case QueryNode::Kind::Compare: {
        static const char* const ops[] = {"<", "<=", ">", ">="};
        return scope + QLatin1String(ops[static_cast<int>(node.compare)]) + boundText(node.low);
    }
    case QueryNode::Kind::Range:
        return scope + QLatin1Char(':') + boundText(node.low) + QLatin1String("..") +
               boundText(node.high);
    case QueryNode::Kind::Has:
        return QStringLiteral("has:") + scope;
    case QueryNode::Kind::Missing:
        return QStringLiteral("missing:") + scope;
    default:
        return QString();
    }
}

} // namespace

std::variant<QueryNode, QueryError> parseQuery(const QString& text, const TagVocabulary& vocabulary)
{
    try {
        Parser parser(text, vocabulary);
        return parser.parse();
    } catch (const ParseFailure& failure) {
        return failure.error;
    }
}

QString quoteQueryText(const QString& text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    quoted.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString explainQuery(const QueryNode& node)
{
    switch (node.kind) {
    case QueryNode::Kind::And:
    case QueryNode::Kind::Or: {
        QStringList parts;
        for (const QueryNode& child : node.children)
            parts.append(explainQuery(child));
        const QString op =
            node.kind == QueryNode::Kind::And ? QStringLiteral(" AND ") : QStringLiteral(" OR ");
        return QLatin1Char('(') + parts.join(op) + QLatin1Char(')');
    }
    case QueryNode::Kind::Not:
        return QStringLiteral("(NOT ") + explainQuery(node.children.front()) + QLatin1Char(')');
    default:
        return termText(node);
    }
}

} // namespace tagsifter
