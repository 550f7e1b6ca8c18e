#include "OptionTable.h"

#include "core/PathRules.h"

namespace tagsifter {

namespace {

QString setMode(FindOptions& options, OutputMode mode, const char* name)
{
    const QString option = QStringLiteral("--") + QLatin1String(name);
    if (!options.modeOption.isEmpty() && options.mode != mode)
        return QStringLiteral("%1 and %2 cannot be combined").arg(options.modeOption, option);
    options.mode = mode;
    options.modeOption = option;
    return QString();
}

QString addExtensions(FindOptions& options, const QString& value)
{
    // Several at once as the window takes them: "jpg cr2", "jpg,cr2", "jpg;cr2".
    const QStringList several = splitExtensions(value);
    if (several.isEmpty())
        return QStringLiteral("an empty extension matches no file");
    for (QString one : several) {
        if (one.startsWith(QLatin1Char('.')))
            one.remove(0, 1);
        if (one.isEmpty())
            return QStringLiteral("an empty extension matches no file");
        options.extensions.append(one);
    }
    return QString();
}

QString setColor(FindOptions& options, const QString& value)
{
    if (value == QLatin1String("auto"))
        options.color = ColorChoice::Auto;
    else if (value == QLatin1String("always"))
        options.color = ColorChoice::Always;
    else if (value == QLatin1String("never"))
        options.color = ColorChoice::Never;
    else
        return QStringLiteral("--color takes auto, always or never, not '%1'").arg(value);
    return QString();
}

QString setJobs(FindOptions& options, const QString& value)
{
    bool ok = false;
    const int jobs = value.toInt(&ok);
    if (!ok || jobs <= 0)
        return QStringLiteral("--jobs needs a number of exiftool processes above 0, not '%1'")
            .arg(value);
    options.jobs = jobs;
    return QString();
}

QString addTag(FindOptions& options, const QString& value)
{
    if (value.trimmed().isEmpty())
        return QStringLiteral("--tag needs a tag name");
    options.tags.append(value);
    return QString();
}

constexpr unsigned kSearches = ForFind | ForTags;
constexpr unsigned kAll = ForWindow | ForFind | ForTags;

const std::vector<OptionRow> kTable = {
    {"regexp", 'e', "TEXT", ForFind,
     "search for TEXT; given more than once, a row is a hit\n"
     "when its value holds any of them (\"\" matches every row)",
     "Search for TEXT. Given more than once, a row is a hit when its value holds any of the "
     "texts; all the words after the options are then paths. An empty TEXT matches every row.",
     Completes::Nothing, nullptr,
     [](FindOptions& o, const QString& v) {
         o.patterns.append(v);
         o.searchGiven = true;
         return QString();
     }},
    {"query", 'Q', "QUERY", ForFind,
     "search for QUERY in the query language in place of TEXT\n"
     "(model:\"eos 40d\" taken:2008 iso>=800 has:gps)",
     "Search for QUERY in the query language in place of TEXT: free terms, TAG:text, TAG=text, "
     "/regex/, comparisons (iso>=800) and ranges (taken:2008-05..2008-06) on numbers and dates, "
     "has: and missing:, AND, OR, NOT, - and parentheses; the groups date, taken, camera, lens "
     "and gps. A query that cannot be read is refused with its column and status 2. The README "
     "teaches the language.",
     Completes::Nothing, nullptr,
     [](FindOptions& o, const QString& v) {
         if (o.hasQuery)
             return QStringLiteral("one query at a time");
         o.query = v;
         o.hasQuery = true;
         o.searchGiven = true;
         return QString();
     }},
    {"explain", 0, nullptr, ForFind, "with -Q, print how the query was read and search nothing",
     "With -Q, print how the query was read, fully parenthesised, and search nothing.",
     Completes::Nothing, nullptr,
     [](FindOptions& o, const QString&) { return o.explain = true, QString(); }},
    {"no-sidecars", 0, nullptr, kSearches,
     "leave out the XMP sidecars beside the images (NAME.xmp,\n"
     "NAME.EXT.xmp), which are otherwise searched with them",
     "Leave out the XMP sidecars beside the images (NAME.xmp or NAME.EXT.xmp, any letter case), "
     "which are otherwise searched with their image and listed under its path.",
     Completes::Nothing, nullptr,
     [](FindOptions& o, const QString&) { return o.noSidecars = true, QString(); }},
    {"word", 'w', nullptr, ForFind, "match TEXT only as a whole word",
     "Match TEXT only where no letter, digit or underscore stands right before or after it.",
     Completes::Nothing, nullptr,
     [](FindOptions& o, const QString&) { return o.word = true, QString(); }},
    {"case-sensitive", 's', nullptr, ForFind, "tell upper and lower case apart",
     "Tell upper and lower case apart; without it, case is ignored.", Completes::Nothing, nullptr,
     [](FindOptions& o, const QString&) { return o.caseSensitive = true, QString(); }},
    {"regex", 'E', nullptr, ForFind,
     "TEXT (and each -e) is a regular expression (Perl's\nsyntax), ignoring case unless -s",
     "TEXT, and each TEXT of -e, is a regular expression in Perl's syntax, matched ignoring case "
     "unless -s is given. An expression that cannot be read is refused with the column where "
     "it goes wrong.",
     Completes::Nothing, nullptr,
     [](FindOptions& o, const QString&) { return o.regex = true, QString(); }},
    {"tag", 0, "NAME", ForFind,
     "only rows of the tag NAME (ExposureTime or\n\"Exposure Time\"); may be given more than once",
     "Only rows of the tag NAME, compared ignoring case and spaces: ExposureTime and "
     "\"exposure time\" both name the tag the results list shows as \"Exposure Time\". Given "
     "more than once, rows of any of them.",
     Completes::Nothing, nullptr, addTag},
    {"extension", 0, "EXT", kSearches,
     "the files a folder gives end in .EXT (default jpg); several\n"
     "as \"jpg cr2\", \"jpg,cr2\" or more than one --extension",
     "The files a folder gives end in .EXT (default jpg). Several are separated by spaces, "
     "commas or semicolons (\"jpg cr2\"), or the option is given more than once.",
     Completes::Choices, "jpg jpeg JPG JPEG", addExtensions},
    {"files-from", 0, "FILE", kSearches,
     "search the paths in FILE too, one a line (- for standard\ninput)",
     "Search the paths in FILE too, one a line; - reads them from standard input.",
     Completes::Files, nullptr,
     [](FindOptions& o, const QString& v) { return o.filesFrom = v, QString(); }},
    {"jobs", 'j', "N", kSearches, "run N exiftool processes at once (default: one per core)",
     "Run N exiftool processes at once; the default is one per core. N must be above 0.",
     Completes::Number, nullptr, setJobs},
    {"table", 0, nullptr, ForFind, "print the hits as the aligned table the clipboard copy makes",
     "Print the aligned table that \"Copy Results To Clipboard\" makes instead of TAB-separated "
     "lines.",
     Completes::Nothing, nullptr,
     [](FindOptions& o, const QString&) { return setMode(o, OutputMode::Table, "table"); }},
    {"files-with-matches", 'l', nullptr, ForFind,
     "print each image with a hit once, in the order searched",
     "Print each image with a hit once, in the order searched.", Completes::Nothing, nullptr,
     [](FindOptions& o, const QString&) {
         return setMode(o, OutputMode::FilesWithMatches, "files-with-matches");
     }},
    {"files-without-match", 'L', nullptr, ForFind,
     "print each image searched without a hit once, in order",
     "Print each image searched without a hit once, in the order searched. An image that cannot "
     "be read is an error, not an image without a hit.",
     Completes::Nothing, nullptr,
     [](FindOptions& o, const QString&) {
         return setMode(o, OutputMode::FilesWithoutMatch, "files-without-match");
     }},
    {"count", 'c', nullptr, ForFind, "print one line: images searched, images with hits, hits",
     "Print one line: the images searched, the images with hits and the hits.", Completes::Nothing,
     nullptr,
     [](FindOptions& o, const QString&) { return setMode(o, OutputMode::Count, "count"); }},
    {"json", 0, nullptr, ForFind,
     "print each hit as a JSON object on a line of its own (path,\n"
     "tag, value); a path that is not UTF-8 has U+FFFD for its\n"
     "stray bytes and its bytes in base64 as path_base64",
     "Print each hit as a JSON object on a line of its own, with the members path, tag and "
     "value. A path that is not UTF-8 has U+FFFD for each stray byte, and its bytes in base64 "
     "as path_base64.",
     Completes::Nothing, nullptr,
     [](FindOptions& o, const QString&) { return setMode(o, OutputMode::Json, "json"); }},
    {"json", 0, nullptr, ForTags,
     "print each tag as a JSON object on a line of its own\n(images, name, tag)",
     "Print each tag as a JSON object on a line of its own, with the members images (how many "
     "hold it), name (exiftool's tag name) and tag (as the results list shows it).",
     Completes::Nothing, nullptr,
     [](FindOptions& o, const QString&) { return setMode(o, OutputMode::Json, "json"); }},
    {"csv", 0, nullptr, ForFind,
     "print the hits as CSV (RFC 4180): a header path,tag,value,\n"
     "fields quoted where needed, lines ended by CR LF",
     "Print the hits as CSV after RFC 4180: a header line path,tag,value, then a line a hit; a "
     "field with a comma, a double quote, a CR or an LF is quoted, its double quotes doubled, "
     "and each line ends with CR LF.",
     Completes::Nothing, nullptr,
     [](FindOptions& o, const QString&) { return setMode(o, OutputMode::Csv, "csv"); }},
    {"null", '0', nullptr, ForFind, "with -l or -L, end each name with a NUL byte",
     "With -l or -L, end each name with a NUL byte instead of a line break (for xargs -0).",
     Completes::Nothing, nullptr,
     [](FindOptions& o, const QString&) { return o.null = true, QString(); }},
    {"quiet", 'q', nullptr, ForFind,
     "print nothing; the exit status tells whether anything was\n"
     "found, and the search ends at the first hit",
     "Print nothing: the exit status tells whether anything was found (0 also when something "
     "went wrong, once a hit is found), and the search ends at the first hit.",
     Completes::Nothing, nullptr,
     [](FindOptions& o, const QString&) { return o.quiet = true, QString(); }},
    {"color", 0, "WHEN", ForFind,
     "mark the match and the path in colour: auto (on a\n"
     "terminal, unless NO_COLOR is set), always or never",
     "Mark the matched text in each value and the path in colours of their own: auto (the "
     "default) only when standard output is a terminal and NO_COLOR is not set, always, or "
     "never.",
     Completes::Choices, "auto always never", setColor},
    {"help", 'h', nullptr, kAll, "show this help", "Show the options of the command.",
     Completes::Nothing, nullptr,
     [](FindOptions& o, const QString&) { return o.help = true, QString(); }},
    {"version", 'v', nullptr, ForWindow, "show the version", "Show the version.",
     Completes::Nothing, nullptr,
     [](FindOptions& o, const QString&) { return o.version = true, QString(); }},
    {"version", 0, nullptr, kSearches, "show the version", "Show the version.", Completes::Nothing,
     nullptr, [](FindOptions& o, const QString&) { return o.version = true, QString(); }},
};

} // namespace

const std::vector<OptionRow>& optionTable()
{
    return kTable;
}

QString optionHeading(const OptionRow& row)
{
    QString heading;
    if (row.shortName != 0)
        heading = QStringLiteral("-%1, ").arg(QLatin1Char(row.shortName));
    heading += QStringLiteral("--") + QLatin1String(row.longName);
    if (row.value != nullptr)
        heading += QLatin1Char(' ') + QLatin1String(row.value);
    return heading;
}

} // namespace tagsifter
