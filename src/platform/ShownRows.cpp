#include "ShownRows.h"

#include "core/Failure.h"
#include "platform/NaturalOrder.h"

#include <QHash>

#include <algorithm>
#include <cstring>
#include <functional>
#include <numeric>
#include <string_view>
#include <thread>

namespace tagsifter {

namespace {

// The work of a sort or a filter is split among this many threads at most.
int workers(size_t items)
{
    const unsigned cores = std::max(1U, std::thread::hardware_concurrency());
    return items < 20000 ? 1 : static_cast<int>(std::min(cores, 4U));
}

// Runs `work(begin, end, part)` over [0, items) in `parts` parts, each on a thread of its own.
template <typename Work> void inParts(size_t items, int parts, Work work)
{
    std::vector<std::thread> threads;
    for (int part = 1; part < parts; ++part)
        threads.emplace_back(work, items * size_t(part) / size_t(parts),
                             items * size_t(part + 1) / size_t(parts), part);
    work(size_t(0), items / size_t(parts), 0);
    for (std::thread& thread : threads)
        thread.join();
}

// One row's place in a sort: the first sixteen bytes of its key, which settle most
// comparisons without reading the rest.
struct SortEntry
{
    quint64 prefix;
    quint64 prefix2;
    /// Rows that share a key (an image's path, a tag's name) share this number.
    quint32 key;
    int row;
};

// The keys of one part of the rows: where each row's key lies in the part's bytes.
struct SortKeys
{
    std::string bytes;
    std::vector<std::pair<quint32, quint32>> spans; // offset, length
};

constexpr quint32 kNoSharedKey = quint32(1) << 30;

// The bytes `from` to `from` + 8 of `key` as a number that orders as they do.
quint64 prefixOf(const char* key, size_t length, size_t from = 0)
{
    quint64 prefix = 0;
    for (size_t i = from; i < from + 8; ++i)
        prefix = (prefix << 8) | (i < length ? quint64(static_cast<unsigned char>(key[i])) : 0);
    return prefix;
}

// The filter's text, with a quick look for its first letter that passes over most texts that
// cannot hold it before the comparison that ignores case as the search does.
class Needle
{
public:
    explicit Needle(const QString& text)
        : m_text(text), m_quick(!text.isEmpty() && !text.at(0).isSurrogate()),
          m_first(m_quick ? QChar::toCaseFolded(char32_t(text.at(0).unicode())) : 0)
    {
    }
    bool in(const QString& hay) const
    {
        return (!m_quick || holdsFirst(hay)) && hay.contains(m_text, Qt::CaseInsensitive);
    }

private:
    bool holdsFirst(const QString& hay) const
    {
        for (const QChar c : hay) {
            const char32_t u = c.unicode();
            const char32_t folded =
                u < 128 ? (u >= 'A' && u <= 'Z' ? u + 32 : u) : QChar::toCaseFolded(u);
            if (folded == m_first)
                return true;
        }
        return false;
    }

    const QString& m_text;
    bool m_quick;
    char32_t m_first;
};

// Whether a row holds the filter's text. The rows of an image share their path's text, and
// the rows of a tag its name: each is tested once while it repeats.
class RowTest
{
public:
    explicit RowTest(const QString& filter) : m_needle(filter) {}
    bool keeps(const ListModel::Row& row)
    {
        if (row.text.constData() != m_lastPath) {
            m_lastPath = row.text.constData();
            m_lastPathKept = m_needle.in(row.text);
        }
        if (m_lastPathKept)
            return true;
        const QString& tag = row.subItems[0];
        auto known = m_tags.constFind(tag.constData());
        if (known == m_tags.constEnd())
            known = m_tags.insert(tag.constData(), m_needle.in(tag));
        return known.value() || m_needle.in(row.subItems[1]);
    }

private:
    Needle m_needle;
    const QChar* m_lastPath = nullptr;
    bool m_lastPathKept = false;
    QHash<const QChar*, bool> m_tags;
};

struct Part
{
    size_t begin, end;
    int number;
};

// The keys of the rows of `part` by `column` (1-based) into `own`, and their entries, with a
// copy of `order` of the part's own.
void makeKeys(const ListModel& source, int column, Part part, const NaturalOrder& order,
              SortKeys& own, std::vector<SortEntry>& entries)
{
    const NaturalOrder mine(order);
    const auto textOf = [column](const ListModel::Row& row) -> const QString& {
        return column == 1 ? row.text : row.subItems[size_t(column - 2)];
    };
    own.spans.reserve(part.end - part.begin);
    // Reserved, not touched: only the bytes written take memory.
    size_t characters = 0;
    for (size_t i = part.begin; i < part.end; ++i)
        characters += size_t(textOf(source.row(int(i) + 1)).size());
    own.bytes.reserve(characters * 4 + (part.end - part.begin) * 24);
    // A text shared by neighbouring rows (an image's path) or by many (a tag's name) gets its
    // key once.
    QHash<const QChar*, std::pair<quint32, quint32>> made;
    const QChar* last = nullptr;
    for (size_t i = part.begin; i < part.end; ++i) {
        const QString& text = textOf(source.row(int(i) + 1));
        std::pair<quint32, quint32> span;
        if (text.constData() == last) {
            span = own.spans.back();
        } else if (auto found = made.constFind(text.constData()); found != made.constEnd()) {
            span = found.value();
        } else {
            const size_t at = own.bytes.size();
            mine.appendKey(text, own.bytes);
            span = {quint32(at), quint32(own.bytes.size() - at)};
            if (column == 2)
                made.insert(text.constData(), span);
        }
        last = text.constData();
        own.spans.push_back(span);
        const char* key = own.bytes.data() + span.first;
        // The part in the top two bits; a key too far into its part's bytes has no number.
        const quint32 shared =
            span.first < kNoSharedKey ? (quint32(part.number) << 30) | span.first : kNoSharedKey;
        entries[i] = {prefixOf(key, span.second), prefixOf(key, span.second, 8), shared, int(i)};
    }
}

[[noreturn]] void outOfBounds()
{
    throw Failure(QStringLiteral("Index out of bounds"), ErrorCode::SubscriptOutOfRange);
}

} // namespace

ShownRows::ShownRows(ListModel& source, QObject* parent)
    : QAbstractTableModel(parent), m_source(source)
{
    connectSource();
}

int ShownRows::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

int ShownRows::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_source.columns();
}

QVariant ShownRows::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return QVariant();
    const int row = isIdentity() ? index.row() : m_shown[size_t(index.row())];
    return m_source.data(m_source.index(row, index.column()), role);
}

QVariant ShownRows::headerData(int section, Qt::Orientation orientation, int role) const
{
    return m_source.headerData(section, orientation, role);
}

int ShownRows::count() const
{
    return isIdentity() ? m_source.count() : static_cast<int>(m_shown.size());
}

int ShownRows::sourceRow(int row) const
{
    if (row < 1 || row > count())
        outOfBounds();
    return isIdentity() ? row : m_shown[size_t(row - 1)] + 1;
}

QString ShownRows::text(int row) const
{
    return m_source.text(sourceRow(row));
}

QString ShownRows::cell(int row, int column) const
{
    return m_source.cell(sourceRow(row), column);
}

int ShownRows::distinctTextsShown() const
{
    // The rows of an image follow one another in the list and share its path's text: the
    // texts change from image to image. The rows shown are walked in the list's order.
    const int rows = m_source.count();
    std::vector<bool> isShown;
    if (!isIdentity()) {
        isShown.assign(size_t(rows), false);
        for (const int row : m_shown)
            isShown[size_t(row)] = true;
    }
    int distinct = 0;
    const QString* last = nullptr;
    for (int row = 0; row < rows; ++row) {
        if (!isShown.empty() && !isShown[size_t(row)])
            continue;
        const QString& text = m_source.row(row + 1).text;
        if (!last || (text.constData() != last->constData() && text != *last))
            ++distinct;
        last = &text;
    }
    return distinct;
}

std::vector<int> ShownRows::sortedRows() const
{
    const auto n = static_cast<size_t>(m_source.count());
    std::vector<int> rows(n);
    std::iota(rows.begin(), rows.end(), 0);
    if (m_sortColumn == 0)
        return rows;
    // Each part's rows get their keys on a thread of their own, into one block of bytes a part.
    const int parts = workers(n);
    std::vector<SortKeys> keys(static_cast<size_t>(parts));
    std::vector<size_t> partBegin(static_cast<size_t>(parts));
    std::vector<SortEntry> entries(n);
    const NaturalOrder order;
    inParts(n, parts, [&](size_t begin, size_t end, int part) {
        partBegin[size_t(part)] = begin;
        makeKeys(m_source, m_sortColumn, {begin, end, part}, order, keys[size_t(part)], entries);
    });
    const auto keyOf = [&](int row) {
        size_t part = size_t(parts) - 1;
        while (partBegin[part] > size_t(row))
            --part;
        const SortKeys& own = keys[part];
        const auto span = own.spans[size_t(row) - partBegin[part]];
        return std::string_view(own.bytes.data() + span.first, span.second);
    };
    const auto before = [&](const SortEntry& a, const SortEntry& b) {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix;
        if (a.prefix2 != b.prefix2)
            return a.prefix2 < b.prefix2;
        if (a.key == b.key && a.key != kNoSharedKey)
            return a.row < b.row;
        const int byKey = keyOf(a.row).compare(keyOf(b.row));
        return byKey != 0 ? byKey < 0 : a.row < b.row;
    };
    // The parts are sorted side by side, then merged.
    inParts(n, parts, [&](size_t begin, size_t end, int) {
        std::sort(entries.begin() + std::ptrdiff_t(begin), entries.begin() + std::ptrdiff_t(end),
                  before);
    });
    for (int part = 1; part < parts; ++part)
        std::inplace_merge(
            entries.begin(), entries.begin() + std::ptrdiff_t(n * size_t(part) / size_t(parts)),
            entries.begin() + std::ptrdiff_t(n * size_t(part + 1) / size_t(parts)), before);
    for (size_t i = 0; i < n; ++i)
        rows[i] = entries[i].row;
    if (m_sortOrder == Qt::DescendingOrder)
        std::reverse(rows.begin(), rows.end());
    return rows;
}

bool ShownRows::keeps(int sourceRow) const
{
    return RowTest(m_filter).keeps(m_source.row(sourceRow + 1));
}

std::vector<int> ShownRows::filtered(const std::vector<int>& rows) const
{
    if (m_filter.isEmpty())
        return rows;
    const int parts = workers(rows.size());
    std::vector<int> all;
    if (rows.size() == size_t(m_source.count())) {
        // Every row: tested in the list's order, where an image's rows follow one another,
        // then taken in the order given.
        std::vector<char> kept(rows.size());
        inParts(rows.size(), parts, [&](size_t begin, size_t end, int) {
            RowTest test(m_filter);
            for (size_t i = begin; i < end; ++i)
                kept[i] = test.keeps(m_source.row(int(i) + 1));
        });
        for (const int row : rows) {
            if (kept[size_t(row)])
                all.push_back(row);
        }
        return all;
    }
    std::vector<std::vector<int>> kept(static_cast<size_t>(parts));
    inParts(rows.size(), parts, [&](size_t begin, size_t end, int part) {
        RowTest test(m_filter);
        for (size_t i = begin; i < end; ++i) {
            if (test.keeps(m_source.row(rows[i] + 1)))
                kept[size_t(part)].push_back(rows[i]);
        }
    });
    all = std::move(kept[0]);
    for (size_t part = 1; part < kept.size(); ++part)
        all.insert(all.end(), kept[part].begin(), kept[part].end());
    return all;
}

void ShownRows::rebuild(bool narrowing, bool resort)
{
    if (m_sortColumn == 0)
        m_sorted = std::vector<int>();
    else if (resort || m_sorted.size() != size_t(m_source.count()))
        m_sorted = sortedRows();
    if (isIdentity()) {
        m_shown = std::vector<int>();
    } else if (narrowing) {
        m_shown = filtered(m_shown);
    } else if (m_sortColumn != 0) {
        m_shown = filtered(m_sorted);
    } else {
        std::vector<int> all(size_t(m_source.count()));
        std::iota(all.begin(), all.end(), 0);
        m_shown = filtered(all);
    }
}

void ShownRows::remap(const std::function<int(int)>& movedTo)
{
    for (std::vector<int>* rows : {&m_shown, &m_sorted}) {
        std::vector<int> kept;
        kept.reserve(rows->size());
        for (const int row : *rows) {
            if (const int to = movedTo(row); to >= 0)
                kept.push_back(to);
        }
        rows->swap(kept);
    }
}

void ShownRows::sortBy(int column, Qt::SortOrder order)
{
    if (column < 0 || column > m_source.columns())
        outOfBounds();
    if (column == 0)
        order = Qt::AscendingOrder;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> sources;
    for (const QModelIndex& index : before)
        sources.push_back(index.isValid() ? sourceRow(index.row() + 1) - 1 : -1);
    // The same column the other way round is the order kept, reversed.
    const bool reversing = column != 0 && column == m_sortColumn && order != m_sortOrder &&
                           m_sorted.size() == size_t(m_source.count());
    m_sortColumn = column;
    m_sortOrder = order;
    if (reversing) {
        std::reverse(m_sorted.begin(), m_sorted.end());
        std::reverse(m_shown.begin(), m_shown.end());
    } else {
        rebuild(false, true);
    }
    QModelIndexList after;
    if (!before.isEmpty()) {
        std::vector<int> shownAt(size_t(m_source.count()), -1);
        for (int row = 1; row <= count(); ++row)
            shownAt[size_t(sourceRow(row) - 1)] = row - 1;
        for (qsizetype i = 0; i < before.size(); ++i) {
            const int at = sources[size_t(i)] < 0 ? -1 : shownAt[size_t(sources[size_t(i)])];
            after.append(at < 0 ? QModelIndex() : index(at, before.at(i).column()));
        }
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    emit sorted(m_sortColumn, m_sortOrder);
    emit shownChanged();
}

void ShownRows::setFilterText(const QString& text)
{
    if (text == m_filter)
        return;
    // A longer text shows a part of what the shorter one showed.
    const bool narrowing = !m_filter.isEmpty() && text.contains(m_filter, Qt::CaseInsensitive);
    const bool wasIdentity = isIdentity();
    beginResetModel();
    m_filter = text;
    rebuild(narrowing && !wasIdentity, false);
    endResetModel();
    emit shownChanged();
}

ShownRows::Removed ShownRows::removeShown(QList<int> rows)
{
    for (int& row : rows)
        row = sourceRow(row);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return removeListRows(rows);
}

ShownRows::Removed ShownRows::removeListRows(const QList<int>& rows)
{
    Removed removed;
    if (rows.isEmpty())
        return removed;
    const auto before = static_cast<size_t>(m_source.count());
    m_changing = true;
    beginResetModel();
    if (m_sortColumn != 0) {
        removed.sortedBefore = m_sorted;
        removed.sortColumn = m_sortColumn;
        removed.sortOrder = m_sortOrder;
    }
    removed.rows = m_source.takeRowsAt(rows);
    removed.positions.assign(rows.begin(), rows.end());
    if (!isIdentity()) {
        // Each row kept moves up by the rows removed above it.
        std::vector<int> movedTo(before);
        size_t gone = 0, next = 0;
        for (size_t row = 0; row < before; ++row) {
            const bool isGone = next < removed.positions.size() &&
                                removed.positions[next] == static_cast<int>(row) + 1;
            next += isGone;
            gone += isGone;
            movedTo[row] = isGone ? -1 : static_cast<int>(row - gone);
        }
        remap([&movedTo](int row) { return movedTo[size_t(row)]; });
    }
    endResetModel();
    m_changing = false;
    emit shownChanged();
    return removed;
}

ShownRows::Removed ShownRows::removeAll()
{
    QList<int> all(m_source.count());
    std::iota(all.begin(), all.end(), 1);
    return removeListRows(all);
}

void ShownRows::restore(Removed removed)
{
    if (removed.isEmpty())
        return;
    m_changing = true;
    beginResetModel();
    m_source.insertRowsAt(removed.positions, std::move(removed.rows));
    // The order shown before the removal holds again when nothing has changed since.
    const bool sameOrder = removed.sortColumn == m_sortColumn && m_sortColumn != 0 &&
                           removed.sortOrder == m_sortOrder &&
                           removed.sortedBefore.size() == size_t(m_source.count());
    if (sameOrder)
        m_sorted = std::move(removed.sortedBefore);
    rebuild(false, !sameOrder);
    endResetModel();
    m_changing = false;
    emit shownChanged();
}

void ShownRows::connectSource()
{
    // While the list shows as it is, each change of the list is passed on as it comes;
    // otherwise rows added at the end are placed, and any other change shows anew.
    connect(&m_source, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this](const QModelIndex&, int first, int last) {
                if (!m_changing && isIdentity())
                    beginInsertRows(QModelIndex(), first, last);
            });
    connect(&m_source, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                if (m_changing)
                    return;
                if (isIdentity())
                    endInsertRows();
                else
                    onRowsInserted(first, last);
                emit shownChanged();
            });
    connect(&m_source, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) {
                if (m_changing)
                    return;
                if (isIdentity())
                    beginRemoveRows(QModelIndex(), first, last);
                else
                    beginResetModel();
            });
    connect(&m_source, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex&, int first, int last) {
                if (m_changing)
                    return;
                if (isIdentity()) {
                    endRemoveRows();
                } else {
                    remap([first, last](int row) {
                        return row < first ? row : row > last ? row - (last - first + 1) : -1;
                    });
                    endResetModel();
                }
                emit shownChanged();
            });
    connectResets();
}

void ShownRows::connectResets()
{
    connect(&m_source, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        if (!m_changing)
            beginResetModel();
    });
    connect(&m_source, &QAbstractItemModel::modelReset, this, [this] {
        if (m_changing)
            return;
        // A list made anew (a new search) shows in the order found.
        const bool wasSorted = m_sortColumn != 0;
        m_sortColumn = 0;
        m_sortOrder = Qt::AscendingOrder;
        rebuild(false, false);
        endResetModel();
        if (wasSorted)
            emit sorted(m_sortColumn, m_sortOrder);
        emit listRenewed();
        emit shownChanged();
    });
    connect(&m_source, &QAbstractItemModel::dataChanged, this, [this] {
        if (count() > 0)
            emit dataChanged(index(0, 0), index(count() - 1, columnCount() - 1));
    });
    connect(&m_source, &QAbstractItemModel::headerDataChanged, this,
            &QAbstractItemModel::headerDataChanged);
    connect(&m_source, &QAbstractItemModel::columnsAboutToBeInserted, this,
            [this](const QModelIndex&, int first, int last) {
                beginInsertColumns(QModelIndex(), first, last);
            });
    connect(&m_source, &QAbstractItemModel::columnsInserted, this, [this] { endInsertColumns(); });
}

void ShownRows::onRowsInserted(int first, int last)
{
    std::vector<int> added;
    for (int row = first; row <= last; ++row) {
        if (m_filter.isEmpty() || keeps(row))
            added.push_back(row);
    }
    if (m_sortColumn == 0) {
        if (added.empty())
            return;
        const int at = count();
        beginInsertRows(QModelIndex(), at, at + static_cast<int>(added.size()) - 1);
        m_shown.insert(m_shown.end(), added.begin(), added.end());
        endInsertRows();
        return;
    }
    // Rows found while the list is sorted go to their places one by one.
    const NaturalOrder order;
    const auto textOf = [this](int row) { return m_source.cell(row + 1, m_sortColumn); };
    const auto placeIn = [&](std::vector<int>& rows, int row) {
        const QString text = textOf(row);
        return std::partition_point(rows.begin(), rows.end(), [&](int other) {
            const int byText = order.compare(textOf(other), text);
            const int ascending = byText != 0 ? byText : (other < row ? -1 : 1);
            return m_sortOrder == Qt::AscendingOrder ? ascending < 0 : ascending > 0;
        });
    };
    for (int row = first; row <= last; ++row) {
        m_sorted.insert(placeIn(m_sorted, row), row);
        if (std::find(added.begin(), added.end(), row) == added.end())
            continue;
        const auto place = placeIn(m_shown, row);
        const int at = static_cast<int>(place - m_shown.begin());
        beginInsertRows(QModelIndex(), at, at);
        m_shown.insert(place, row);
        endInsertRows();
    }
}

} // namespace tagsifter
