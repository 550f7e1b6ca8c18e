#pragma once

#include "core/DumpParser.h"

#include <QByteArray>
#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <memory>
#include <utility>
#include <variant>
#include <vector>

namespace tagsifter {

class TextPrefilter;

/// What a search from the terminal asks for, in the ways grep asks it: several texts (a row is
/// a hit when its value holds any of them), whole words only, letter case, regular expressions,
/// and only the rows of some tags.
struct PatternOptions
{
    QStringList patterns;
    /// A text matches only where no letter, digit or underscore stands right before or after it.
    bool word = false;
    bool caseSensitive = false;
    /// The texts are regular expressions (Perl's syntax).
    bool regex = false;
    /// Only rows of these tags, compared without spaces and ignoring case ("ExposureTime" and
    /// "exposure time" both name "Exposure Time"); all rows when empty.
    QStringList tags;
};

/// Why a regular expression cannot be read: the text, the column (from 1) and the reason.
struct PatternError
{
    QString pattern;
    int column = 0;
    QString reason;
};

/// The matcher of PatternOptions: which rows are hits, where in a value the texts stand, and
/// whether a dump's bytes can hold a hit at all.
class PatternMatcher
{
public:
    static std::variant<std::shared_ptr<const PatternMatcher>, PatternError>
    make(const PatternOptions& options);
    ~PatternMatcher();

    /// True when the row of `tag` and `value` is a hit.
    bool matches(const QString& tag, const QString& value) const;
    /// Where the texts stand in `value`: start and length, in order, not overlapping. An empty
    /// text matches without marking anything.
    std::vector<std::pair<qsizetype, qsizetype>> spans(const QString& value) const;
    /// False only when the dump `utf8` cannot hold a hit.
    bool mayMatch(const QByteArray& utf8) const;
    /// True when a hit could lie in a date and time as exiftool prints one.
    bool mayMatchTimes() const;
    /// The hits of a dump's lines, in their order.
    QList<TagValue> matchingRows(const QString& dump) const;

private:
    PatternMatcher() = default;
    bool valueMatches(const QString& value) const;

    struct Text
    {
        QString text;
        QByteArray utf8;
        /// Set for a regular expression or a whole word.
        QRegularExpression expression;
        std::shared_ptr<const TextPrefilter> prefilter;
    };
    std::vector<Text> m_texts;
    Qt::CaseSensitivity m_case = Qt::CaseInsensitive;
    bool m_expressions = false;
    QStringList m_tagKeys;
};

} // namespace tagsifter
