#include "query/QueryMatcher.h"

#include "query/TagVocabulary.h"
#include "query/TextPrefilter.h"

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

/// One image's rows, with what the terms ask of them worked out once.
struct QueryMatcher::Image
{
    struct Row
    {
        bool known = false;
        QString compact;
        QStringList names;
        bool valueRead = false;
        std::optional<DateKey> date;
        std::optional<double> number;
    };

    Image(const QList<TagValue>& rows, const TagVocabulary* vocabulary)
        : rows(rows), vocabulary(vocabulary), facts(static_cast<size_t>(rows.size()))
    {
    }

    Row& tagOf(int i)
    {
        Row& row = facts[static_cast<size_t>(i)];
        if (!row.known) {
            row.known = true;
            const QString& tag = rows.at(i).tag;
            row.compact = compactTag(tag);
            if (vocabulary)
                row.names = vocabulary->namesOf(tag);
            if (row.names.isEmpty())
                row.names.append(row.compact);
        }
        return row;
    }

    Row& valueOf(int i)
    {
        Row& row = facts[static_cast<size_t>(i)];
        if (!row.valueRead) {
            row.valueRead = true;
            const QString& value = rows.at(i).value;
            row.date = dateOfValue(value);
            if (!row.date)
                row.number = firstNumber(value);
        }
        return row;
    }

    bool named(int i, const QString& name)
    {
        const Row& row = tagOf(i);
        return row.compact == name || row.names.contains(name);
    }

    /// The name `taken` stands for in this image: DateTimeOriginal when it has one.
    const QString& takenName()
    {
        if (taken.isEmpty()) {
            taken = kCreateDate;
            for (int i = 0; i < rows.size(); ++i) {
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
            return valueOf(i).date && !kFileTimes.contains(tagOf(i).compact);
        case TagScope::Group::Taken: {
            const QString& name = takenName();
            return named(i, name) ||
                   (name == kDateTimeOriginal && tagOf(i).compact == kDateTimeOriginalShown);
        }
        case TagScope::Group::None:
            break;
        default:
            for (const QString& name : groupTags(scope.group)) {
                if (named(i, name))
                    return true;
            }
            return false;
        }
        const Row& row = tagOf(i);
        if (scope.isWildcard()) {
            if (scope.wildcard.match(row.compact).hasMatch())
                return true;
            return std::any_of(row.names.begin(), row.names.end(), [&](const QString& name) {
                return scope.wildcard.match(name).hasMatch();
            });
        }
        return row.compact == scope.compact || row.names.contains(scope.compact);
    }

    const QList<TagValue>& rows;
    const TagVocabulary* vocabulary;
    std::vector<Row> facts;
    QString taken;
};

QueryMatcher::QueryMatcher(QueryNode root, std::shared_ptr<const TagVocabulary> vocabulary)
    : m_root(std::move(root)), m_vocabulary(std::move(vocabulary)),
      m_prefilter(std::make_unique<Prefilter>(prefilterOf(m_root))),
      m_timesMatter(timesMatter(m_root))
{
}

QueryMatcher::~QueryMatcher() = default;

QList<TagValue> QueryMatcher::matchingRows(const QList<TagValue>& rows) const
{
    Image image(rows, m_vocabulary.get());
    std::vector<char> listed(static_cast<size_t>(rows.size()), 0);
    if (!evaluate(m_root, image, listed))
        return {};
    QList<TagValue> hits;
    for (int i = 0; i < rows.size(); ++i) {
        if (listed[static_cast<size_t>(i)])
            hits.append(rows.at(i));
    }
    if (hits.isEmpty()) {
        // Matched through negation alone: the image is named by its file name.
        for (const TagValue& row : rows) {
            if (row.tag == QLatin1String("File Name"))
                return {row};
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
        for (int i = 0; i < image.rows.size(); ++i) {
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
    for (int i = 0; i < image.rows.size(); ++i) {
        if (node.scope && !image.covers(*node.scope, i))
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
    const QString& value = image.rows.at(i).value;
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
        const Image::Row& row = image.valueOf(i);
        if (row.date)
            return node.low.date && compared(static_cast<double>(*row.date), node.compare,
                                             static_cast<double>(node.low.date->first),
                                             static_cast<double>(node.low.date->last));
        return node.low.number && row.number &&
               compared(*row.number, node.compare, *node.low.number, *node.low.number);
    }
    case QueryNode::Kind::Range: {
        const Image::Row& row = image.valueOf(i);
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
