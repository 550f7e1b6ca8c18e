#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace tagsifter {

/// How `tagsifter find` writes what it found: one printer each.
enum class OutputMode { Lines, Table, FilesWithMatches, FilesWithoutMatch, Count, Json, Csv };

/// When the match and the path are coloured.
enum class ColorChoice { Auto, Always, Never };

/// What `tagsifter find` and `tagsifter tags` are asked to do.
struct FindOptions
{
    /// The search text (TEXT), when no -e gives the texts.
    QString text;
    /// The texts of -e, in their order.
    QStringList patterns;
    /// The query of -Q, read in the query language in place of TEXT.
    QString query;
    bool hasQuery = false;
    /// Print how the query was read and search nothing.
    bool explain = false;
    /// Leave the XMP sidecars beside the images out.
    bool noSidecars = false;
    /// An option gave what to search for (-e, -Q): every word after the options is a path.
    bool searchGiven = false;
    QStringList paths;
    /// No PATH and no --files-from: the current folder is searched.
    bool currentFolder = false;
    /// The extensions of the files a folder gives; "jpg" when none is named.
    QStringList extensions;
    /// A file of paths, one a line, searched as arguments are; "-" is standard input.
    QString filesFrom;
    OutputMode mode = OutputMode::Lines;
    /// The option that chose the mode, as its long name, for telling what cannot go together.
    QString modeOption;
    bool null = false;
    bool quiet = false;
    bool word = false;
    bool caseSensitive = false;
    bool regex = false;
    /// Only rows of these tags.
    QStringList tags;
    ColorChoice color = ColorChoice::Auto;
    /// exiftool processes; 0 is one per core.
    int jobs = 0;
    /// `tagsifter tags`: every row is searched for, and the tags counted.
    bool listTags = false;
    bool help = false;
    bool version = false;

    /// The texts searched for: those of -e, or TEXT.
    QStringList texts() const { return patterns.isEmpty() ? QStringList{text} : patterns; }
};

/// The commands an option belongs to, any of them together.
enum OptionCommand : unsigned { ForWindow = 1, ForFind = 2, ForTags = 4 };

/// What the shells offer for an option's value.
enum class Completes { Nothing, Files, Choices, Number };

/// One option of the command line: how it is written, what help, the manual page and the
/// completions say of it, and what it does to the options read so far.
struct OptionRow
{
    /// Without its dashes ("files-with-matches").
    const char* longName;
    /// 0 when it has none.
    char shortName;
    /// The name of its value in help ("EXT"); none when it takes no value.
    const char* value;
    unsigned commands;
    /// The line of --help; a longer text goes on over "\n".
    const char* help;
    /// The paragraph of the manual page, plain text.
    const char* manual;
    Completes completes;
    /// With Completes::Choices, the values offered, separated by spaces.
    const char* choices;
    /// Applies the option with `value` (empty when it takes none); the reason when the value,
    /// or the option with those before it, cannot be taken.
    QString (*apply)(FindOptions& options, const QString& value);
};

/// Every option of every command, in the order help lists them.
const std::vector<OptionRow>& optionTable();

/// "-l, --files-with-matches" or "--tag NAME", as help and the manual page head an option.
QString optionHeading(const OptionRow& row);

} // namespace tagsifter
