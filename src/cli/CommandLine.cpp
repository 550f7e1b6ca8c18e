#include "CommandLine.h"

#include "core/PathRules.h"

#include <utility>

namespace tagsifter {

namespace {

QString unknownOption(const QString& word)
{
    return QStringLiteral("unknown option '%1'").arg(word);
}

/// Reads the value of an option that takes one, given as "--name=VALUE" or as the next word.
bool takeValue(const QStringList& words, int& i, const QString& name, QString& value,
               QString& error)
{
    const QString& word = words.at(i);
    if (word.startsWith(name + QLatin1Char('='))) {
        value = word.mid(name.size() + 1);
        return true;
    }
    if (i + 1 >= words.size()) {
        error = QStringLiteral("option '%1' needs a value").arg(name);
        return false;
    }
    value = words.at(++i);
    return true;
}

CommandLine failed(const QString& text)
{
    CommandLine line;
    line.action = CommandLine::Action::Error;
    line.error = text;
    return line;
}

/// `line` with its TEXT and PATHs from `positional`, its defaults, and the checks of what the
/// options say together.
CommandLine withOperands(CommandLine line, QStringList positional)
{
    FindOptions& find = line.find;
    if (find.extensions.isEmpty())
        find.extensions.append(QStringLiteral("jpg"));
    const int outputs =
        int(find.table) + int(find.filesWithMatches) + int(find.count) + int(find.json);
    if (outputs > 1)
        return failed(QStringLiteral("--table, --files-with-matches, --count and --json "
                                     "cannot be combined"));
    if (find.null && !find.filesWithMatches)
        return failed(QStringLiteral("--null goes with --files-with-matches"));
    if (find.explain && !find.query)
        return failed(QStringLiteral("--explain goes with --query"));
    if (!find.query && positional.isEmpty())
        return failed(QStringLiteral("a search text is needed"));
    if (!find.query)
        find.text = positional.takeFirst();
    if (find.explain)
        return line;
    find.paths = positional;
    if (find.paths.isEmpty() && find.filesFrom.isEmpty())
        return failed(QStringLiteral("at least one path is needed (or --files-from)"));
    return line;
}

CommandLine parseFind(const QStringList& words)
{
    CommandLine line;
    line.action = CommandLine::Action::Find;
    FindOptions& find = line.find;
    QStringList positional;
    bool optionsEnded = false;
    for (int i = 0; i < words.size(); ++i) {
        const QString& word = words.at(i);
        if (optionsEnded || word == QLatin1String("-") || !word.startsWith(QLatin1Char('-'))) {
            positional.append(word);
            continue;
        }
        if (word == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        QString problem;
        if (word == QLatin1String("--help")) {
            line.action = CommandLine::Action::FindHelp;
            return line;
        }
        if (word == QLatin1String("--extension") ||
            word.startsWith(QLatin1String("--extension="))) {
            QString extension;
            if (!takeValue(words, i, QStringLiteral("--extension"), extension, problem))
                return failed(problem);
            // Several at once as the window takes them: "jpg cr2", "jpg,cr2", "jpg;cr2".
            const QStringList several = splitExtensions(extension);
            if (several.isEmpty())
                return failed(QStringLiteral("an empty extension matches no file"));
            for (QString one : several) {
                if (one.startsWith(QLatin1Char('.')))
                    one.remove(0, 1);
                if (one.isEmpty())
                    return failed(QStringLiteral("an empty extension matches no file"));
                find.extensions.append(one);
            }
        } else if (word == QLatin1String("--files-from") ||
                   word.startsWith(QLatin1String("--files-from="))) {
            if (!takeValue(words, i, QStringLiteral("--files-from"), find.filesFrom, problem))
                return failed(problem);
        } else if (word == QLatin1String("-Q") || word == QLatin1String("--query") ||
                   word.startsWith(QLatin1String("--query="))) {
            const QString name = word == QLatin1String("-Q") ? word : QStringLiteral("--query");
            if (find.query)
                return failed(QStringLiteral("one query at a time"));
            if (!takeValue(words, i, name, find.text, problem))
                return failed(problem);
            find.query = true;
        } else if (word == QLatin1String("--explain")) {
            find.explain = true;
        } else if (word == QLatin1String("--no-sidecars")) {
            find.noSidecars = true;
        } else if (word == QLatin1String("--table")) {
            find.table = true;
        } else if (word == QLatin1String("--files-with-matches")) {
            find.filesWithMatches = true;
        } else if (word == QLatin1String("--count")) {
            find.count = true;
        } else if (word == QLatin1String("--json")) {
            find.json = true;
        } else if (word == QLatin1String("--null")) {
            find.null = true;
        } else if (word.startsWith(QLatin1String("--"))) {
            return failed(unknownOption(word));
        } else {
            // Short options, alone or run together ("-lc"); any other letter makes the whole
            // word unknown, named as it was written.
            for (const QChar letter : word.mid(1)) {
                if (letter == QLatin1Char('h')) {
                    line.action = CommandLine::Action::FindHelp;
                    return line;
                }
                if (letter != QLatin1Char('l') && letter != QLatin1Char('c') &&
                    letter != QLatin1Char('0'))
                    return failed(unknownOption(word));
            }
            find.filesWithMatches |= word.contains(QLatin1Char('l'));
            find.count |= word.contains(QLatin1Char('c'));
            find.null |= word.contains(QLatin1Char('0'));
        }
    }
    return withOperands(std::move(line), std::move(positional));
}

} // namespace

CommandLine CommandLine::parse(const QStringList& arguments)
{
    const QStringList words = arguments.mid(1);
    if (!words.isEmpty() && words.first() == QLatin1String("find"))
        return parseFind(words.mid(1));
    CommandLine line;
    bool optionsEnded = false;
    for (const QString& word : words) {
        if (optionsEnded || word == QLatin1String("-") || !word.startsWith(QLatin1Char('-'))) {
            line.paths.append(word);
        } else if (word == QLatin1String("--")) {
            optionsEnded = true;
        } else if (word == QLatin1String("--help") || word == QLatin1String("-h")) {
            line.action = Action::Help;
            return line;
        } else if (word == QLatin1String("--version") || word == QLatin1String("-v")) {
            line.action = Action::Version;
            return line;
        } else {
            return failed(unknownOption(word));
        }
    }
    return line;
}

QString CommandLine::usage()
{
    return QStringLiteral("usage: tagsifter [--] [PATH...]\n"
                          "       tagsifter find [OPTION...] [--] TEXT [PATH...]\n");
}

QString CommandLine::help()
{
    return usage() +
           QStringLiteral("\n"
                          "Find JPEG images by the text of their metadata.\n"
                          "\n"
                          "Without 'find', the window opens with the images and folders PATH in "
                          "its file list.\n"
                          "'tagsifter find --help' tells the options of the search from a "
                          "terminal.\n"
                          "\n"
                          "  -h, --help     show this help\n"
                          "  -v, --version  show the version\n");
}

QString CommandLine::findHelp()
{
    return QStringLiteral(
        "usage: tagsifter find [OPTION...] [--] TEXT [PATH...]\n"
        "       tagsifter find [OPTION...] -Q QUERY [--] [PATH...]\n"
        "\n"
        "Search the metadata of the images PATH, and of the images in the folders PATH and\n"
        "below, for TEXT, ignoring case. Each hit is one line: path TAB tag TAB value; a TAB,\n"
        "CR, LF or backslash in a field is written \\t, \\r, \\n or \\\\.\n"
        "Exit status: 0 something found, 1 nothing found, 2 an error.\n"
        "\n"
        "  --extension EXT         the files a folder gives end in .EXT (default jpg); several\n"
        "                          as \"jpg cr2\", \"jpg,cr2\" or more than one --extension\n"
        "  --files-from FILE       search the paths in FILE too, one a line (- for standard\n"
        "                          input)\n"
        "  -Q, --query QUERY       search for QUERY in the query language in place of TEXT\n"
        "                          (model:\"eos 40d\" taken:2008 iso>=800 has:gps)\n"
        "  --explain               with -Q, print how the query was read and search nothing\n"
        "  --no-sidecars           leave out the XMP sidecars beside the images (NAME.xmp,\n"
        "                          NAME.EXT.xmp), which are otherwise searched with them\n"
        "  --table                 print the hits as the aligned table the clipboard copy makes\n"
        "  -l, --files-with-matches\n"
        "                          print each image with a hit once, in the order searched\n"
        "  -c, --count             print one line: images searched, images with hits, hits\n"
        "  --json                  print each hit as a JSON object on a line of its own (path,\n"
        "                          tag, value); a path that is not UTF-8 has U+FFFD for its\n"
        "                          stray bytes and its bytes in base64 as path_base64\n"
        "  -0, --null              with -l, end each name with a NUL byte, not a line break\n"
        "  -h, --help              show this help\n"
        "  --                      what follows is TEXT and paths, even when it starts with -\n");
}

} // namespace tagsifter
