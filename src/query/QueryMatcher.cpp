#include "query/QueryMatcher.h"

#include "query/TagVocabulary.h"
#include "query/TextPrefilter.h"

#include <atomic>
#include <cstring>
#include <limits>

namespace tagsifter {

namespace {

const QStringList kFileTimes{
    QStringLiteral("filemodifydate"),      QStringLiteral("fileaccessdate"),
    QStringLiteral("fileinodechangedate"), QStringLiteral("filemodificationdate/time"),
    QStringLiteral("fileaccessdate/time"), QStringLiteral("fileinodechangedate/time"),
};

/// The tag names a group stands for, and the tags the results list shows for them (which
/// serve when exiftool's list of names is not at hand).
const QStringList& groupTags(TagScope::Group group)
{
    static const QStringList camera{QStringLiteral("make"), QStringLiteral("model"),
                                    QStringLiteral("cameramodelname")};
    static const QStringList lens{QStringLiteral("lensmodel"), QStringLiteral("lensid"),
                                  QStringLiteral("lens"), QStringLiteral("lenstype")};
    static const QStringList gps{QStringLiteral("gpslatitude"), QStringLiteral("gpslongitude"),
                                 QStringLiteral("gpsposition")};
    static const QStringList none;
    switch (group) {
    case TagScope::Group::Camera:
        return camera;
    case TagScope::Group::Lens:
        return lens;
    case TagScope::Group::Gps:
        return gps;
    default:
        return none;
    }
}

const QString kDateTimeOriginal = QStringLiteral("datetimeoriginal");
const QString kDateTimeOriginalShown = QStringLiteral("date/timeoriginal");
const QString kCreateDate = QStringLiteral("createdate");

} // namespace

/// What may hold a match, on a dump's bytes.
struct QueryMatcher::Prefilter
{
    enum class Kind { Any, Text, All, OneOf };
    Kind kind = Kind::Any;
    std::shared_ptr<const TextPrefilter> text;
    std::vector<Prefilter> children;

    bool mayMatch(const QByteArray& utf8) const
    {
        switch (kind) {
        case Kind::Any:
            return true;
        case Kind::Text:
            return text->mayContain(utf8);
        case Kind::All:
            return std::all_of(children.begin(), children.end(),
                               [&](const Prefilter& child) { return child.mayMatch(utf8); });
        case Kind::OneOf:
            return std::any_of(children.begin(), children.end(),
                               [&](const Prefilter& child) { return child.mayMatch(utf8); });
        }
        return true;
    }
};

/// What a tag answers to, worked out once for each tag a thread meets.
struct QueryMatcher::TagFacts
{
    QString tag;
    QString compact;
    QStringList names;
    /// For each scope of the query: 1 covers the tag, 0 does not, -1 not worked out yet.
    mutable std::vector<signed char> covers;
};

namespace {

struct ThreadFacts
{
    quint64 serial = 0;
    QHash<QByteArray, QueryMatcher::TagFacts*> byTag;
    std::vector<std::unique_ptr<QueryMatcher::TagFacts>> kept;
};

thread_local ThreadFacts t_facts;
std::atomic<quint64> s_serials{0};

QByteArrayView trimmedSpaces(QByteArrayView bytes)
{
    qsizetype first = 0;
    qsizetype last = bytes.size();
    while (first < last && bytes.at(first) == ' ')
        ++first;
    while (last > first && bytes.at(last - 1) == ' ')
        --last;
    return bytes.sliced(first, last - first);
}

} // namespace

/// One image's lines as bytes, with what the terms ask of them worked out once.
struct QueryMatcher::Image
{
    /// A line: its tag and value as bytes (untrimmed until a term reads them), what its tag
    /// answers to, and where its decoded value is once a term asked for it.
    struct Row
    {
        QByteArrayView line;
        QByteArrayView tag;
        QByteArrayView value;
        bool trimmed = false;
        /// 1 when the line gives no row after all, 0 when it does, -1 not looked at yet.
        signed char passed = -1;
        const TagFacts* facts = nullptr;
        int decoded = -1;
    };
    /// A value decoded, with its date or number once a comparison asked.
    struct Value
    {
        QString text;
        bool read = false;
        std::optional<DateKey> date;
        std::optional<double> number;
    };

    Image(const QueryMatcher& matcher, const QByteArray& utf8) : matcher(matcher)
    {
        const QByteArrayView all(utf8);
        rows.reserve(static_cast<size_t>(all.size() / 40 + 1));
        qsizetype start = 0;
        const char* const bytes = all.data();
        while (start < all.size()) {
            const void* lineEnd =
                std::memchr(bytes + start, '\n', static_cast<size_t>(all.size() - start));
            const qsizetype end = lineEnd ? static_cast<const char*>(lineEnd) - bytes : all.size();
            QByteArrayView line = all.sliced(start, end - start);
            start = end + 1;
            if (line.endsWith('\r'))
                line.chop(1);
            const qsizetype colon = line.indexOf(':');
            if (colon < 0)
                continue;
            Row& row = rows.emplace_back();
            row.line = line;
            row.tag = line.first(colon);
            row.value = line.sliced(colon + 1);
        }
    }

    int count() const { return static_cast<int>(rows.size()); }

    /// Row `i` with its tag and value trimmed of the spaces around them.
    const Row& trimmedRow(int i)
    {
        Row& row = rows[static_cast<size_t>(i)];
        if (!row.trimmed) {
            row.tag = trimmedSpaces(row.tag);
            row.value = trimmedSpaces(row.value);
            row.trimmed = true;
        }
        return row;
    }

    /// True when line `i` gives no row: it holds either text (as parseDumpLine has it). Looked
    /// at only for the lines a term reaches, not in the whole dump.
    bool passedOver(int i)
    {
        Row& row = rows[static_cast<size_t>(i)];
        if (row.passed < 0)
            row.passed = static_cast<signed char>(
                row.line.contains(QByteArrayView("ExifTool Version Number")) ||
                row.line.contains(QByteArrayView("Directory")));
        return row.passed > 0;
    }

    /// The first byte of row `i`'s tag.
    unsigned char leadByte(int i) const
    {
        const QByteArrayView tag = rows[static_cast<size_t>(i)].tag;
        qsizetype at = 0;
        while (at < tag.size() && (tag.at(at) == ' ' || (tag.at(at) >= '\t' && tag.at(at) <= '\r')))
            ++at;
        return at < tag.size() ? static_cast<unsigned char>(tag.at(at)) : 0;
    }

    const TagFacts& tagOf(int i)
    {
        Row& row = rows[static_cast<size_t>(i)];
        if (!row.facts)
            row.facts = &matcher.factsOf(trimmedRow(i).tag);
        return *row.facts;
    }

    Value& decodedOf(int i)
    {
        Row& row = rows[static_cast<size_t>(i)];
        if (row.decoded < 0) {
            row.decoded = static_cast<int>(values.size());
            values.push_back(
                {QString::fromUtf8(trimmedRow(i).value), false, std::nullopt, std::nullopt});
        }
        return values[static_cast<size_t>(row.decoded)];
    }

    const QString& textOf(int i) { return decodedOf(i).text; }

    Value& valueOf(int i)
    {
        Value& value = decodedOf(i);
        if (!value.read) {
            value.read = true;
            value.date = dateOfValue(value.text);
            if (!value.date)
                value.number = firstNumber(value.text);
        }
        return value;
    }

    bool named(int i, const QString& name)
    {
        const TagFacts& facts = tagOf(i);
        return facts.compact == name || facts.names.contains(name);
    }

    /// The name `taken` stands for in this image: DateTimeOriginal when it has one.
    const QString& takenName()
    {
        if (taken.isEmpty()) {
            taken = kCreateDate;
            for (int i = 0; i < count(); ++i) {
                if (passedOver(i))
                    continue;
                if (named(i, kDateTimeOriginal) || tagOf(i).compact == kDateTimeOriginalShown) {
                    taken = kDateTimeOriginal;
                    break;
                }
            }
        }
        return taken;
    }

    bool covers(const TagScope& scope, int i)
    {
        switch (scope.group) {
        case TagScope::Group::Date:
            return !passedOver(i) && valueOf(i).date && !kFileTimes.contains(tagOf(i).compact);
        case TagScope::Group::Taken: {
            if (passedOver(i))
                return false;
            const QString& name = takenName();
            return named(i, name) ||
                   (name == kDateTimeOriginal && tagOf(i).compact == kDateTimeOriginalShown);
        }
        default:
            break;
        }
        // Most tags are ruled out on their first byte, before they are looked up.
        if (!matcher.m_leadBytes[static_cast<size_t>(scope.index)].test(leadByte(i)) ||
            passedOver(i))
            return false;
        const TagFacts& facts = tagOf(i);
        signed char& known = facts.covers[static_cast<size_t>(scope.index)];
        if (known < 0)
            known = static_cast<signed char>(coversTag(scope, facts));
        return known > 0;
    }

    static bool coversTag(const TagScope& scope, const TagFacts& facts)
    {
        if (scope.group != TagScope::Group::None) {
            const QStringList& tags = groupTags(scope.group);
            return std::any_of(tags.begin(), tags.end(), [&](const QString& name) {
                return facts.compact == name || facts.names.contains(name);
            });
        }
        if (scope.isWildcard()) {
            if (scope.wildcard.match(facts.compact).hasMatch())
                return true;
            return std::any_of(facts.names.begin(), facts.names.end(), [&](const QString& name) {
                return scope.wildcard.match(name).hasMatch();
            });
        }
        return facts.compact == scope.compact || facts.names.contains(scope.compact);
    }

    TagValue row(int i) { return {tagOf(i).tag, textOf(i)}; }

    const QueryMatcher& matcher;
    std::vector<Row> rows;
    std::vector<Value> values;
    QString taken;
};

const QueryMatcher::TagFacts& QueryMatcher::factsOf(QByteArrayView tag) const
{
    ThreadFacts& cache = t_facts;
    if (cache.serial != m_serial) {
        cache.serial = m_serial;
        cache.byTag.clear();
        cache.kept.clear();
    }
    const QByteArray key = QByteArray::fromRawData(tag.data(), tag.size());
    if (TagFacts* known = cache.byTag.value(key))
        return *known;
    auto facts = std::make_unique<TagFacts>();
    facts->tag = QString::fromUtf8(tag);
    facts->compact = compactTag(facts->tag);
    if (m_vocabulary)
        facts->names = m_vocabulary->namesOf(facts->tag);
    if (facts->names.isEmpty())
        facts->names.append(facts->compact);
    facts->covers.assign(static_cast<size_t>(m_scopes), -1);
    TagFacts* kept = facts.get();
    cache.kept.push_back(std::move(facts));
    // The key owns its bytes: the dump it was read from goes.
    cache.byTag.insert(QByteArray(tag.data(), tag.size()), kept);
    return *kept;
}

void QueryMatcher::numberScopes(QueryNode& node, int& next)
{
    if (node.scope)
        node.scope->index = next++;
    for (QueryNode& child : node.children)
        numberScopes(child, next);
}

QueryMatcher::QueryMatcher(QueryNode root, std::shared_ptr<const TagVocabulary> vocabulary)
    : m_root(std::move(root)), m_vocabulary(std::move(vocabulary)),
      m_prefilter(std::make_unique<Prefilter>(prefilterOf(m_root))),
      m_timesMatter(timesMatter(m_root)), m_serial(++s_serials)
{
    numberScopes(m_root, m_scopes);
    m_leadBytes.resize(static_cast<size_t>(m_scopes));
    collectLeadBytes(m_root);
    collectNeedles(m_root);
}

void QueryMatcher::collectLeadBytes(const QueryNode& node)
{
    for (const QueryNode& child : node.children)
        collectLeadBytes(child);
    if (!node.scope)
        return;
    const TagScope& scope = *node.scope;
    std::bitset<256>& lead = m_leadBytes[static_cast<size_t>(scope.index)];
    const QStringList& group = groupTags(scope.group);
    const QStringList names =
        scope.group == TagScope::Group::None ? QStringList{scope.compact} : group;
    // A tag that begins outside ASCII may fold to anything; dates and patterns are worked out
    // row by row.
    if (scope.isWildcard() || (scope.group != TagScope::Group::None && group.isEmpty())) {
        lead.set();
        return;
    }
    for (int byte = 0x80; byte < 0x100; ++byte)
        lead.set(static_cast<size_t>(byte));
    const auto addFirst = [&](const QString& word) {
        if (word.isEmpty())
            return;
        const QChar first = word.front();
        if (first.unicode() >= 0x80) {
            lead.set();
            return;
        }
        lead.set(static_cast<unsigned char>(first.toLower().toLatin1()));
        lead.set(static_cast<unsigned char>(first.toUpper().toLatin1()));
    };
    // A tag is covered by its own compact form or by a name that prints it.
    for (const QString& name : names)
        addFirst(name);
    if (!m_vocabulary)
        return;
    // A tag name holds no spaces: ignoring its case is its compact form.
    for (const auto& [name, description] : m_vocabulary->pairs()) {
        for (const QString& wanted : names) {
            if (name.size() == wanted.size() && name.compare(wanted, Qt::CaseInsensitive) == 0)
                addFirst(description.trimmed());
        }
    }
}

void QueryMatcher::collectNeedles(const QueryNode& node)
{
    if (node.kind == QueryNode::Kind::Contains && !node.textDate)
        m_needles[&node] = std::make_shared<const TextPrefilter>(node.text);
    for (const QueryNode& child : node.children)
        collectNeedles(child);
}

QueryMatcher::~QueryMatcher() = default;

QList<TagValue> QueryMatcher::matchingRows(const QByteArray& utf8, qsizetype split,
                                           QList<TagValue>* second) const
{
    Image image(*this, utf8);
    std::vector<char> listed(image.rows.size(), 0);
    if (!evaluate(m_root, image, listed))
        return {};
    QList<TagValue> hits;
    for (int i = 0; i < image.count(); ++i) {
        if (!listed[static_cast<size_t>(i)])
            continue;
        const bool later =
            second && split >= 0 &&
            image.rows[static_cast<size_t>(i)].tag.data() >= utf8.constData() + split;
        (later ? *second : hits).append(image.row(i));
    }
    if (second && !second->isEmpty())
        return hits;
    if (hits.isEmpty()) {
        // Matched through negation alone: the image is named by its file name.
        for (int i = 0; i < image.count(); ++i) {
            if (!image.passedOver(i) && image.trimmedRow(i).tag == QByteArrayView("File Name"))
                return {image.row(i)};
        }
    }
    return hits;
}

bool QueryMatcher::evaluate(const QueryNode& node, Image& image, std::vector<char>& listed) const
{
    const size_t count = listed.size();
    const auto merge = [&](const std::vector<char>& rows) {
        for (size_t i = 0; i < count; ++i)
            listed[i] = static_cast<char>(listed[i] | rows[i]);
    };
    switch (node.kind) {
    case QueryNode::Kind::And: {
        std::vector<char> rows(count, 0);
        for (const QueryNode& child : node.children) {
            if (!evaluate(child, image, rows))
                return false;
        }
        merge(rows);
        return true;
    }
    case QueryNode::Kind::Or: {
        bool any = false;
        for (const QueryNode& child : node.children) {
            std::vector<char> rows(count, 0);
            if (evaluate(child, image, rows)) {
                any = true;
                merge(rows);
            }
        }
        return any;
    }
    case QueryNode::Kind::Not: {
        std::vector<char> unlisted(count, 0);
        return !evaluate(node.children.front(), image, unlisted);
    }
    case QueryNode::Kind::Missing:
        for (int i = 0; i < image.count(); ++i) {
            if (image.covers(*node.scope, i))
                return false;
        }
        return true;
    default:
        return term(node, image, listed);
    }
}

bool QueryMatcher::term(const QueryNode& node, Image& image, std::vector<char>& listed) const
{
    bool any = false;
    const auto needle = m_needles.find(&node);
    const TextPrefilter* bytes = needle != m_needles.end() ? needle->second.get() : nullptr;
    for (int i = 0; i < image.count(); ++i) {
        // Most rows are ruled out by the first byte of their tag; a value that cannot hold the
        // text is passed over on its bytes.
        if (node.scope && !image.covers(*node.scope, i))
            continue;
        if (bytes) {
            const QByteArrayView value = image.rows[static_cast<size_t>(i)].value;
            if (!bytes->mayContain(QByteArray::fromRawData(value.data(), value.size())))
                continue;
        }
        if (!node.scope && image.passedOver(i))
            continue;
        if (rowMatches(node, image, i)) {
            listed[static_cast<size_t>(i)] = 1;
            any = true;
        }
    }
    return any;
}

namespace {

bool compared(double value, QueryNode::Compare compare, double low, double high)
{
    switch (compare) {
    case QueryNode::Compare::Less:
        return value < low;
    case QueryNode::Compare::LessOrEqual:
        return value <= high;
    case QueryNode::Compare::Greater:
        return value > high;
    case QueryNode::Compare::GreaterOrEqual:
        return value >= low;
    }
    return false;
}

} // namespace

bool QueryMatcher::rowMatches(const QueryNode& node, Image& image, int i)
{
    const QString& value = image.textOf(i);
    switch (node.kind) {
    case QueryNode::Kind::Contains:
        if (node.textDate) {
            if (const std::optional<DateKey> date = image.valueOf(i).date)
                return *date >= node.textDate->first && *date <= node.textDate->last;
        }
        return value.contains(node.text, Qt::CaseInsensitive);
    case QueryNode::Kind::Equals:
        return value.compare(node.text, Qt::CaseInsensitive) == 0;
    case QueryNode::Kind::Regex:
        return node.regex.match(value).hasMatch();
    case QueryNode::Kind::Has:
        return true;
    case QueryNode::Kind::Compare: {
        const Image::Value& row = image.valueOf(i);
        if (row.date)
            return node.low.date && compared(static_cast<double>(*row.date), node.compare,
                                             static_cast<double>(node.low.date->first),
                                             static_cast<double>(node.low.date->last));
        return node.low.number && row.number &&
               compared(*row.number, node.compare, *node.low.number, *node.low.number);
    }
    case QueryNode::Kind::Range: {
        const Image::Value& row = image.valueOf(i);
        constexpr double inf = std::numeric_limits<double>::infinity();
        if (row.date) {
            if ((!node.low.isOpen() && !node.low.date) || (!node.high.isOpen() && !node.high.date))
                return false;
            const double date = static_cast<double>(*row.date);
            return date >= (node.low.isOpen() ? -inf : static_cast<double>(node.low.date->first)) &&
                   date <= (node.high.isOpen() ? inf : static_cast<double>(node.high.date->last));
        }
        if (!row.number || (!node.low.isOpen() && !node.low.number) ||
            (!node.high.isOpen() && !node.high.number))
            return false;
        return *row.number >= (node.low.isOpen() ? -inf : *node.low.number) &&
               *row.number <= (node.high.isOpen() ? inf : *node.high.number);
    }
    default:
        return false;
    }
}

QueryMatcher::Prefilter QueryMatcher::prefilterOf(const QueryNode& node)
{
    Prefilter filter;
    switch (node.kind) {
    case QueryNode::Kind::Contains:
    case QueryNode::Kind::Equals: {
        // A date's span is found only where its year is written.
        const QString needle = node.textDate ? node.text.left(4) : node.text;
        filter.kind = Prefilter::Kind::Text;
        filter.text = std::make_shared<const TextPrefilter>(needle);
        return filter;
    }
    case QueryNode::Kind::And:
    case QueryNode::Kind::Or:
        for (const QueryNode& child : node.children) {
            Prefilter part = prefilterOf(child);
            if (part.kind != Prefilter::Kind::Any)
                filter.children.push_back(std::move(part));
            else if (node.kind == QueryNode::Kind::Or)
                return Prefilter();
        }
        if (!filter.children.empty())
            filter.kind =
                node.kind == QueryNode::Kind::And ? Prefilter::Kind::All : Prefilter::Kind::OneOf;
        return filter;
    default:
        return filter;
    }
}

bool QueryMatcher::timesMatter(const QueryNode& node)
{
    if (!node.children.empty()) {
        return std::any_of(node.children.begin(), node.children.end(),
                           [](const QueryNode& child) { return timesMatter(child); });
    }
    if (!node.scope) {
        return node.kind != QueryNode::Kind::Contains || TextPrefilter(node.text).mayMatchTimes();
    }
    const TagScope& scope = *node.scope;
    if (scope.group != TagScope::Group::None)
        return false;
    return scope.isWildcard() || kFileTimes.contains(scope.compact);
}

bool QueryMatcher::mayMatch(const QByteArray& utf8) const
{
    return m_prefilter->mayMatch(utf8);
}

bool QueryMatcher::mayMatchTimes() const
{
    return m_timesMatter;
}

} // namespace tagsifter
