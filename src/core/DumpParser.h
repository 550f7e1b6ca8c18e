#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tagsifter {

/// One metadata entry of exiftool's default output: "Tag Description    : value".
struct TagValue
{
    QString tag;
    QString value;
    bool operator==(const TagValue& other) const
    {
        return tag == other.tag && value == other.value;
    }
};

/// exiftool's output as text: each line that is valid UTF-8 as such, any other line (raw
/// Latin-1 bytes that older cameras and Windows tools store in EXIF) as Windows-1252, which is
/// what the same value shows on the systems these files come from.
QString decodeDump(const QByteArray& bytes);

/// The version exiftool gives on a dump's first line ("ExifTool Version Number : 12.57"); empty
/// when the dump does not start with it.
QString exiftoolVersionOf(const QByteArray& dump);

/// The lines of a dump: split at LF, a CR before it dropped.
QStringList dumpLines(const QString& dump);

/// The entry of one dump line, or none: empty lines, lines without a colon and lines that
/// contain "ExifTool Version Number" or "Directory" give none. The tag is the text before the
/// first colon, the value everything after it (its own colons kept), both trimmed of spaces.
std::optional<TagValue> parseDumpLine(const QString& line);

/// Entries held in little memory, as a search over a whole library holds the hits of every
/// image until they become rows: "TAG:VALUE" and a line break for each, in UTF-8 (a tag never
/// holds a colon, a value never a line break).
QByteArray packEntries(const QList<TagValue>& entries);
/// The entries packed by packEntries, in their order.
QList<TagValue> unpackEntries(const QByteArray& packed);
/// Calls `entry` with the UTF-8 tag and the value of each packed entry, in their order.
template <typename Visit> void forEachPackedEntry(const QByteArray& packed, Visit&& entry)
{
    qsizetype start = 0;
    while (start < packed.size()) {
        const qsizetype colon = packed.indexOf(':', start);
        const qsizetype end = packed.indexOf('\n', colon);
        entry(QByteArray::fromRawData(packed.constData() + start, colon - start),
              QString::fromUtf8(packed.constData() + colon + 1, end - colon - 1));
        start = end + 1;
    }
}

/// The entries of `dump` whose value contains `searchText`, ignoring case, in output order.
QList<TagValue> matchingEntries(const QString& dump, const QString& searchText);

/// Leading and trailing spaces removed; other white space is kept.
QString trimSpaces(const QString& text);

} // namespace tagsifter
