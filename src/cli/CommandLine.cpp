#include "CommandLine.h"

#include <utility>

namespace tagsifter {

namespace {

QString unknownOption(const QString& word)
{
    return QStringLiteral("unknown option '%1'").arg(word);
}

CommandLine failed(const QString& text)
{
    CommandLine line;
    line.action = CommandLine::Action::Error;
    line.error = text;
    return line;
}

const OptionRow* longOption(const QString& name, unsigned command)
{
    for (const OptionRow& row : optionTable()) {
        if ((row.commands & command) != 0 && name == QLatin1String(row.longName))
            return &row;
    }
    return nullptr;
}

const OptionRow* shortOption(QChar letter, unsigned command)
{
    for (const OptionRow& row : optionTable()) {
        if ((row.commands & command) != 0 && row.shortName != 0 &&
            letter == QLatin1Char(row.shortName))
            return &row;
    }
    return nullptr;
}

/// Reads the option at words[i] ("--name", "--name=VALUE", "-abc", "-jVALUE", or with its value
/// as the next word) into `options`; the reason when it cannot be taken.
QString readOption(const QStringList& words, qsizetype& i, unsigned command, FindOptions& options)
{
    const QString& word = words.at(i);
    if (word.startsWith(QLatin1String("--"))) {
        const qsizetype equals = word.indexOf(QLatin1Char('='));
        const QString name = word.mid(2, equals < 0 ? -1 : equals - 2);
        const OptionRow* row = longOption(name, command);
        if (row == nullptr)
            return unknownOption(word);
        if (row->value == nullptr) {
            if (equals >= 0)
                return QStringLiteral("option '--%1' takes no value").arg(name);
            return row->apply(options, QString());
        }
        if (equals >= 0)
            return row->apply(options, word.mid(equals + 1));
        if (i + 1 >= words.size())
            return QStringLiteral("option '--%1' needs a value").arg(name);
        return row->apply(options, words.at(++i));
    }
    // Short options, alone or run together ("-lc"); any other letter makes the whole word
    // unknown, named as it was written. One that takes a value takes the rest of the word.
    for (qsizetype k = 1; k < word.size(); ++k) {
        const OptionRow* row = shortOption(word.at(k), command);
        if (row == nullptr)
            return unknownOption(word);
        if (row->value == nullptr) {
            if (const QString problem = row->apply(options, QString()); !problem.isEmpty())
                return problem;
            continue;
        }
        if (k + 1 < word.size())
            return row->apply(options, word.mid(k + 1));
        if (i + 1 >= words.size())
            return QStringLiteral("option '-%1' needs a value").arg(word.at(k));
        return row->apply(options, words.at(++i));
    }
    return QString();
}

/// The options and operands of `words` for `command`; the reason when they cannot be read.
QString readWords(const QStringList& words, unsigned command, FindOptions& options,
                  QStringList& operands)
{
    bool optionsEnded = false;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& word = words.at(i);
        if (optionsEnded || word == QLatin1String("-") || !word.startsWith(QLatin1Char('-'))) {
            operands.append(word);
        } else if (word == QLatin1String("--")) {
            optionsEnded = true;
        } else if (const QString problem = readOption(words, i, command, options);
                   !problem.isEmpty()) {
            return problem;
        } else if (options.help || options.version) {
            return QString();
        }
    }
    return QString();
}

/// The paths of a search: the operands, else the current folder when no --files-from names
/// them.
void takePaths(FindOptions& find, QStringList operands)
{
    find.paths = std::move(operands);
    if (find.extensions.isEmpty())
        find.extensions.append(QStringLiteral("jpg"));
    if (find.paths.isEmpty() && find.filesFrom.isEmpty()) {
        find.currentFolder = true;
        find.paths.append(QStringLiteral("."));
    }
}

CommandLine parseSearch(const QStringList& words, CommandLine::Action action)
{
    const bool tags = action == CommandLine::Action::Tags;
    CommandLine line;
    line.action = action;
    FindOptions& find = line.find;
    QStringList operands;
    if (const QString problem = readWords(words, tags ? ForTags : ForFind, find, operands);
        !problem.isEmpty())
        return failed(problem);
    if (find.help) {
        line.action = tags ? CommandLine::Action::TagsHelp : CommandLine::Action::FindHelp;
        return line;
    }
    if (find.version) {
        line.action = CommandLine::Action::Version;
        return line;
    }
    if (find.null && find.mode != OutputMode::FilesWithMatches &&
        find.mode != OutputMode::FilesWithoutMatch)
        return failed(
            QStringLiteral("--null goes with --files-with-matches or --files-without-match"));
    // The tags are those of every row: a search for the empty text.
    find.listTags = tags;
    if (find.explain && !find.hasQuery)
        return failed(QStringLiteral("--explain goes with --query"));
    if (find.hasQuery && (!find.patterns.isEmpty() || find.word || find.regex ||
                          find.caseSensitive || !find.tags.isEmpty()))
        return failed(QStringLiteral("--query cannot be combined with -e, -w, -E, -s or --tag"));
    if (!tags && !find.searchGiven) {
        if (operands.isEmpty())
            return failed(QStringLiteral("a search text is needed"));
        find.text = operands.takeFirst();
    }
    takePaths(find, std::move(operands));
    return line;
}

} // namespace

CommandLine CommandLine::parse(const QStringList& arguments)
{
    const QStringList words = arguments.mid(1);
    if (!words.isEmpty() && words.first() == QLatin1String("find"))
        return parseSearch(words.mid(1), Action::Find);
    if (!words.isEmpty() && words.first() == QLatin1String("tags"))
        return parseSearch(words.mid(1), Action::Tags);
    CommandLine line;
    if (const QString problem = readWords(words, ForWindow, line.find, line.paths);
        !problem.isEmpty())
        return failed(problem);
    if (line.find.help)
        line.action = Action::Help;
    else if (line.find.version)
        line.action = Action::Version;
    return line;
}

QString CommandLine::usage()
{
    return QStringLiteral("usage: tagsifter [--] [PATH...]\n"
                          "       tagsifter find [OPTION...] [--] TEXT [PATH...]\n"
                          "       tagsifter find [OPTION...] -e TEXT... [--] [PATH...]\n"
                          "       tagsifter find [OPTION...] -Q QUERY [--] [PATH...]\n"
                          "       tagsifter tags [OPTION...] [--] [PATH...]\n");
}

QString CommandLine::optionsHelp(unsigned command)
{
    QString text;
    for (const OptionRow& row : optionTable()) {
        if ((row.commands & command) == 0)
            continue;
        QString heading = QStringLiteral("  ") + optionHeading(row);
        const QStringList lines = QString::fromUtf8(row.help).split(QLatin1Char('\n'));
        // The help goes in a column of its own, beside the heading or below a long one.
        if (heading.size() > 25)
            text += heading + QLatin1Char('\n') + QString(26, QLatin1Char(' '));
        else
            text += heading.leftJustified(26);
        text += lines.join(QLatin1Char('\n') + QString(26, QLatin1Char(' '))) + QLatin1Char('\n');
    }
    text +=
        QStringLiteral("  --").leftJustified(26) +
        QStringLiteral("what follows is %1, even when it starts with -\n")
            .arg(command == ForFind ? QStringLiteral("TEXT and paths") : QStringLiteral("paths"));
    return text;
}

QString CommandLine::help()
{
    return usage() +
           QStringLiteral("\n"
                          "Find JPEG images by the text of their metadata.\n"
                          "\n"
                          "Without a command, the window opens with the images and folders PATH "
                          "in its file list.\n"
                          "'tagsifter find --help' tells the options of the search from a "
                          "terminal,\n"
                          "'tagsifter tags --help' those of the list of tags the images hold.\n"
                          "\n") +
           optionsHelp(ForWindow);
}

QString CommandLine::findHelp()
{
    return QStringLiteral(
               "usage: tagsifter find [OPTION...] [--] TEXT [PATH...]\n"
               "       tagsifter find [OPTION...] -e TEXT... [--] [PATH...]\n"
               "\n"
               "Search the metadata of the images PATH, and of the images in the folders PATH "
               "and\n"
               "below (without PATH, the current folder), for TEXT, ignoring case. Each hit is "
               "one\n"
               "line: path TAB tag TAB value; a TAB, CR, LF or backslash in a field is written "
               "\\t,\n"
               "\\r, \\n or \\\\.\n"
               "Exit status: 0 something found, 1 nothing found, 2 an error.\n"
               "\n") +
           optionsHelp(ForFind);
}

QString CommandLine::tagsHelp()
{
    return QStringLiteral(
               "usage: tagsifter tags [OPTION...] [--] [PATH...]\n"
               "\n"
               "List the tags the images PATH, and the images in the folders PATH and below, "
               "hold\n"
               "(without PATH, the current folder): one line a tag, most common first, with the "
               "number\n"
               "of images that hold it, TAB, exiftool's tag name, TAB, the tag as the results "
               "list\n"
               "shows it.\n"
               "\n") +
           optionsHelp(ForTags);
}

} // namespace tagsifter
