#include "query/TextPrefilter.h"

#include <QChar>

#include <algorithm>
#include <array>
#include <cstring>

namespace tagsifter {

namespace {

/// ASCII folded to lower case; other bytes as they are.
constexpr std::array<unsigned char, 256> lowerTable()
{
    std::array<unsigned char, 256> table{};
    for (int i = 0; i < 256; ++i)
        table[static_cast<size_t>(i)] =
            static_cast<unsigned char>(i >= 'A' && i <= 'Z' ? i + ('a' - 'A') : i);
    return table;
}
constexpr std::array<unsigned char, 256> kLower = lowerTable();

/// Every code point outside ASCII whose simple case folding is an ASCII character, with that
/// character. A handful; found once by asking Qt about the basic plane.
const std::vector<std::pair<char32_t, char>>& foldsIntoAscii()
{
    static const std::vector<std::pair<char32_t, char>> folds = [] {
        std::vector<std::pair<char32_t, char>> found;
        // Beyond the basic plane no character folds into ASCII.
        for (char32_t c = 0x80; c <= 0xFFFF; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF)
                continue;
            const char32_t folded = QChar::toCaseFolded(c);
            if (folded < 0x80)
                found.emplace_back(c, static_cast<char>(folded));
        }
        return found;
    }();
    return folds;
}

/// True when `haystack` holds `needle` (already lower case), ASCII case ignored.
bool containsFolded(const QByteArray& haystack, const QByteArray& needle)
{
    const auto* text = reinterpret_cast<const unsigned char*>(haystack.constData());
    const auto* pattern = reinterpret_cast<const unsigned char*>(needle.constData());
    const size_t n = static_cast<size_t>(haystack.size());
    const size_t m = static_cast<size_t>(needle.size());
    if (m == 0)
        return true;
    if (m > n)
        return false;
    const unsigned char first = pattern[0];
    const unsigned char firstUpper =
        first >= 'a' && first <= 'z' ? static_cast<unsigned char>(first - ('a' - 'A')) : first;
    const unsigned char* const end = text + (n - m) + 1;
    // The next place of the first character in each case: each is looked for again only once
    // the search has passed it.
    const auto find = [&](const unsigned char* from, unsigned char c) {
        return from < end ? static_cast<const unsigned char*>(
                                std::memchr(from, c, static_cast<size_t>(end - from)))
                          : nullptr;
    };
    const unsigned char* lower = find(text, first);
    const unsigned char* upper = firstUpper == first ? nullptr : find(text, firstUpper);
    while (lower || upper) {
        const unsigned char* at = !upper || (lower && lower < upper) ? lower : upper;
        size_t k = 1;
        while (k < m && kLower[at[k]] == pattern[k])
            ++k;
        if (k == m)
            return true;
        if (at == lower)
            lower = find(at + 1, first);
        else
            upper = find(at + 1, firstUpper);
    }
    return false;
}

} // namespace

TextPrefilter::TextPrefilter(const QString& searchText) : m_text(searchText)
{
    // The longest run of ASCII characters: any match of the whole text holds a match of it.
    qsizetype bestStart = 0, bestLength = 0, start = 0;
    for (qsizetype i = 0; i <= searchText.size(); ++i) {
        if (i < searchText.size() && searchText.at(i).unicode() < 0x80)
            continue;
        if (i - start > bestLength) {
            bestStart = start;
            bestLength = i - start;
        }
        start = i + 1;
    }
    for (const QChar c : searchText.mid(bestStart, bestLength))
        m_needle.append(static_cast<char>(kLower[static_cast<unsigned char>(c.unicode())]));
    m_ascii = !searchText.isEmpty() && bestLength == searchText.size();
    for (const auto& [codePoint, folded] : foldsIntoAscii()) {
        if (m_needle.contains(static_cast<char>(kLower[static_cast<unsigned char>(folded)])))
            m_foreignFolds.push_back(QString::fromUcs4(&codePoint, 1).toUtf8());
    }
}

bool TextPrefilter::mayMatchTimes() const
{
    return m_needle.isEmpty() || std::all_of(m_needle.cbegin(), m_needle.cend(), [](char c) {
               return (c >= '0' && c <= '9') || c == ':' || c == ' ' || c == '+' || c == '-';
           });
}

bool TextPrefilter::mayContain(const QByteArray& utf8) const
{
    if (m_needle.isEmpty() || containsFolded(utf8, m_needle))
        return true;
    for (const QByteArray& foreign : m_foreignFolds) {
        if (utf8.contains(foreign))
            return true;
    }
    return false;
}

QList<TagValue> TextPrefilter::matchingEntries(const QByteArray& utf8) const
{
    // Only when every match is a match of the bytes: an ASCII text, and none of the characters
    // outside ASCII that fold into it.
    bool foreign = !m_ascii;
    for (const QByteArray& sequence : m_foreignFolds)
        foreign = foreign || utf8.contains(sequence);
    if (foreign)
        return tagsifter::matchingEntries(QString::fromUtf8(utf8), m_text);
    QList<TagValue> entries;
    qsizetype start = 0;
    while (start < utf8.size()) {
        qsizetype end = utf8.indexOf('\n', start);
        if (end < 0)
            end = utf8.size();
        qsizetype length = end - start;
        if (length > 0 && utf8.at(end - 1) == '\r')
            --length;
        const QByteArray line = QByteArray::fromRawData(utf8.constData() + start, length);
        if (containsFolded(line, m_needle)) {
            const std::optional<TagValue> entry = parseDumpLine(QString::fromUtf8(line));
            if (entry && entry->value.contains(m_text, Qt::CaseInsensitive))
                entries.append(*entry);
        }
        start = end + 1;
    }
    return entries;
}

} // namespace tagsifter
