#pragma once

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tagsifter {

/// The tags one exiftool knows: each tag name with the English description the results list
/// shows for it. A query's TAG is a scope only when it is one of these words; a row's tag
/// (its description) answers to the names that print it.
class TagVocabulary
{
public:
    TagVocabulary() = default;

    /// The vocabulary of `exiftool -lang en -listx` (its XML); empty when the text holds no tag.
    static TagVocabulary fromTagList(const QByteArray& xml);
    /// The version exiftool writes at the head of that list, or the empty text.
    static QString versionOfTagList(const QByteArray& xml);
    /// The vocabulary as `serialized` wrote it; none when the bytes are not such.
    static std::optional<TagVocabulary> fromSerialized(const QByteArray& bytes);
    /// "name TAB description" a line, the names in exiftool's order.
    QByteArray serialized() const;

    /// Adds a tag name and the description printed for it.
    void add(const QString& name, const QString& description);

    bool isEmpty() const { return m_pairs.isEmpty(); }
    /// True when `word`, ignoring case and spaces, is a tag name or a description.
    bool knows(const QString& word) const { return m_known.contains(compactWord(word)); }
    /// The tag names that print `description`, lower case without spaces; empty when none
    /// is known.
    QStringList namesOf(const QString& description) const;
    /// The same names as exiftool writes them.
    QStringList writtenNamesOf(const QString& description) const;
    /// Every tag name and description, as exiftool writes them.
    const QList<std::pair<QString, QString>>& pairs() const { return m_pairs; }

private:
    static QString compactWord(const QString& word);

    /// Reserves room for about `count` tags.
    void reserve(qsizetype count);

    QList<std::pair<QString, QString>> m_pairs;
    /// For each description, its first pair; each pair, the next with the same description
    /// (-1: none). Few descriptions have more than one name.
    QHash<QString, int> m_firstPair;
    std::vector<int> m_nextPair;
    QSet<QString> m_known;
};

} // namespace tagsifter
