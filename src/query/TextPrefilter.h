#pragma once

#include <QByteArray>
#include <QString>

#include "core/DumpParser.h"

#include <vector>

namespace tagsifter {

/// Decides on a dump's UTF-8 bytes, before any decoding, whether it may hold the search text as
/// the search compares (Qt's simple case folding): a dump it rules out gives no row, so it need
/// not be decoded or split. It never rules out a dump that holds the text; it may let through
/// one that does not (the exact match decides then).
class TextPrefilter
{
public:
    explicit TextPrefilter(const QString& searchText);

    /// False only when `utf8` cannot contain the search text.
    bool mayContain(const QByteArray& utf8) const;
    /// True when the filter can rule anything out (the text has ASCII letters or digits).
    bool isSelective() const { return !m_needle.isEmpty(); }
    /// True when the text could be found within a date and time as exiftool prints one
    /// ("2021:08:31 10:00:00+02:00"): only digits, colons, spaces, plus and minus signs.
    bool mayMatchTimes() const;

    /// The entries of `utf8` (a dump as the cache keeps it: valid UTF-8) whose value contains
    /// the search text, exactly as matchingEntries gives them for the decoded text; lines that
    /// cannot hold the text are passed over on their bytes, and only the others decoded.
    QList<TagValue> matchingEntries(const QByteArray& utf8) const;

private:
    QString m_text;
    /// True when the whole search text is ASCII: its matches are then found on bytes.
    bool m_ascii = false;
    /// The longest run of ASCII characters of the search text, folded to lower case.
    QByteArray m_needle;
    /// The UTF-8 forms of the characters outside ASCII that fold to an ASCII character of the
    /// needle (the Kelvin sign to "k", the long s to "s"): a dump with one of them is let
    /// through.
    std::vector<QByteArray> m_foreignFolds;
};

} // namespace tagsifter
