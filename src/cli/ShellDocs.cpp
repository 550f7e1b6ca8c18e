#include "ShellDocs.h"

#include "OptionTable.h"

namespace tagsifter::ShellDocs {

namespace {

QString latin(const char* text)
{
    return QString::fromUtf8(text);
}

/// Plain text as roff prints it: backslashes and hyphens escaped, a line never starting
/// with a control character.
QString roff(const QString& text)
{
    QString out = text;
    out.replace(QLatin1Char('\\'), QLatin1String("\\e"));
    out.replace(QLatin1Char('-'), QLatin1String("\\-"));
    if (out.startsWith(QLatin1Char('.')) || out.startsWith(QLatin1Char('\'')))
        out.prepend(QLatin1String("\\&"));
    return out;
}

/// An option's help on one line, as a shell shows it beside the option.
QString summary(const OptionRow& row)
{
    return latin(row.help).replace(QLatin1Char('\n'), QLatin1Char(' '));
}

/// The options of `command` in the order of the table.
template <typename Visit> void forEachOption(unsigned command, Visit&& visit)
{
    for (const OptionRow& row : optionTable()) {
        if ((row.commands & command) != 0)
            visit(row);
    }
}

QString bashWords(unsigned command)
{
    QStringList words;
    forEachOption(command, [&](const OptionRow& row) {
        if (row.shortName != 0)
            words.append(QStringLiteral("-%1").arg(QLatin1Char(row.shortName)));
        words.append(QStringLiteral("--") + latin(row.longName));
    });
    words.append(QStringLiteral("--"));
    return words.join(QLatin1Char(' '));
}

/// The bash `case` branches that complete the value of an option of `command`.
QString bashValues(unsigned command)
{
    QString out;
    forEachOption(command, [&](const OptionRow& row) {
        if (row.value == nullptr)
            return;
        QString pattern = QStringLiteral("--") + latin(row.longName);
        if (row.shortName != 0)
            pattern += QStringLiteral("|-%1").arg(QLatin1Char(row.shortName));
        QString action = QStringLiteral("COMPREPLY=()");
        if (row.completes == Completes::Files)
            action = QStringLiteral("local IFS=$'\\n'\n            COMPREPLY=($(compgen -f -- "
                                    "\"$cur\"))\n            compopt -o filenames 2>/dev/null");
        else if (row.completes == Completes::Choices)
            action = QStringLiteral("COMPREPLY=($(compgen -W '%1' -- \"$cur\"))")
                         .arg(latin(row.choices));
        out += QStringLiteral("        %1)\n            %2\n            return\n            ;;\n")
                   .arg(pattern, action);
    });
    return out;
}

QString bashCommand(const QString& name, unsigned command)
{
    return QStringLiteral("    %1)\n"
                          "        case $prev in\n"
                          "%2"
                          "        esac\n"
                          "        if ((!ended)) && [[ $cur == -* ]]; then\n"
                          "            COMPREPLY=($(compgen -W '%3' -- \"$cur\"))\n"
                          "            return\n"
                          "        fi\n"
                          "        ;;\n")
        .arg(name, bashValues(command), bashWords(command));
}

/// A text inside single quotes and zsh's brackets (`colons`: where a colon ends a part).
QString zshText(const QString& text, bool colons = false)
{
    QString out = text;
    out.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    out.replace(QLatin1Char('['), QLatin1String("\\["));
    out.replace(QLatin1Char(']'), QLatin1String("\\]"));
    if (colons)
        out.replace(QLatin1Char(':'), QLatin1String("\\:"));
    return out;
}

QString zshSpecs(unsigned command)
{
    QString out;
    forEachOption(command, [&](const OptionRow& row) {
        QString value;
        if (row.value != nullptr) {
            QString action;
            if (row.completes == Completes::Files)
                action = QStringLiteral("_files");
            else if (row.completes == Completes::Choices)
                action = QStringLiteral("(%1)").arg(latin(row.choices));
            value = QStringLiteral(":%1:%2").arg(zshText(latin(row.value), true), action);
        }
        const QString help = QStringLiteral("[%1]").arg(zshText(summary(row)));
        QStringList names{QStringLiteral("--") + latin(row.longName)};
        if (row.shortName != 0)
            names.prepend(QStringLiteral("-%1").arg(QLatin1Char(row.shortName)));
        for (const QString& name : names)
            out += QStringLiteral("        '*%1%2%3' \\\n").arg(name, help, value);
    });
    return out;
}

QString fishLines(const QString& condition, unsigned command)
{
    QString out;
    forEachOption(command, [&](const OptionRow& row) {
        QString line = QStringLiteral("complete -c tagsifter -n '%1'").arg(condition);
        if (row.shortName != 0)
            line += QStringLiteral(" -s %1").arg(QLatin1Char(row.shortName));
        line += QStringLiteral(" -l ") + latin(row.longName);
        if (row.value != nullptr)
            line += row.completes == Completes::Files ? QStringLiteral(" -r -F")
                                                      : QStringLiteral(" -r -f");
        if (row.completes == Completes::Choices)
            line += QStringLiteral(" -a '%1'").arg(latin(row.choices));
        QString help = summary(row);
        help.replace(QLatin1Char('\''), QLatin1String("\\'"));
        out += line + QStringLiteral(" -d '%1'\n").arg(help);
    });
    return out;
}

} // namespace

QString manualOptions(unsigned command)
{
    QString out;
    forEachOption(command, [&](const OptionRow& row) {
        out += QStringLiteral(".TP\n");
        if (row.shortName != 0)
            out += QStringLiteral("\\fB\\-%1\\fR, ").arg(QLatin1Char(row.shortName));
        out += QStringLiteral("\\fB\\-\\-%1\\fR").arg(roff(latin(row.longName)));
        if (row.value != nullptr)
            out += QStringLiteral(" \\fI%1\\fR").arg(roff(latin(row.value)));
        out += QLatin1Char('\n') + roff(latin(row.manual)) + QLatin1Char('\n');
    });
    return out;
}

QString manualPage(const QString& page)
{
    QString out = page;
    out.replace(QLatin1String("@WINDOW_OPTIONS@\n"), manualOptions(ForWindow));
    out.replace(QLatin1String("@FIND_OPTIONS@\n"), manualOptions(ForFind));
    out.replace(QLatin1String("@TAGS_OPTIONS@\n"), manualOptions(ForTags));
    return out;
}

QString bashCompletion()
{
    return QStringLiteral(
               "# bash completion for tagsifter\n"
               "_tagsifter()\n"
               "{\n"
               "    local cur prev\n"
               "    cur=${COMP_WORDS[COMP_CWORD]}\n"
               "    prev=${COMP_WORDS[COMP_CWORD - 1]}\n"
               "    local i command= ended=0\n"
               "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
               "        [[ $i -eq 1 && ( ${COMP_WORDS[i]} == find || ${COMP_WORDS[i]} == tags ) ]] "
               "&& command=${COMP_WORDS[i]}\n"
               "        [[ ${COMP_WORDS[i]} == -- ]] && ended=1\n"
               "    done\n"
               "    case $command in\n") +
           bashCommand(QStringLiteral("find"), ForFind) +
           bashCommand(QStringLiteral("tags"), ForTags) +
           QStringLiteral("    *)\n"
                          "        if ((COMP_CWORD == 1)) && [[ $cur != -* ]]; then\n"
                          "            COMPREPLY=($(compgen -W 'find tags' -- \"$cur\"))\n"
                          "        elif ((!ended)) && [[ $cur == -* ]]; then\n"
                          "            COMPREPLY=($(compgen -W '%1' -- \"$cur\"))\n"
                          "            return\n"
                          "        fi\n"
                          "        ;;\n"
                          "    esac\n"
                          "    # Images and folders.\n"
                          "    local IFS=$'\\n'\n"
                          "    COMPREPLY+=($(compgen -f -- \"$cur\"))\n"
                          "    compopt -o filenames 2>/dev/null\n"
                          "}\n"
                          "complete -F _tagsifter tagsifter\n")
               .arg(bashWords(ForWindow));
}

QString zshCompletion()
{
    return QStringLiteral("#compdef tagsifter\n"
                          "\n"
                          "_tagsifter() {\n"
                          "    if (( CURRENT > 2 )) && [[ $words[2] == find ]]; then\n"
                          "        shift words\n"
                          "        (( CURRENT-- ))\n"
                          "        _arguments -s -S : \\\n") +
           zshSpecs(ForFind) +
           QStringLiteral("        '*:path:_files'\n"
                          "    elif (( CURRENT > 2 )) && [[ $words[2] == tags ]]; then\n"
                          "        shift words\n"
                          "        (( CURRENT-- ))\n"
                          "        _arguments -s -S : \\\n") +
           zshSpecs(ForTags) +
           QStringLiteral("        '*:path:_files'\n"
                          "    else\n"
                          "        _arguments -s -S : \\\n") +
           zshSpecs(ForWindow) +
           QStringLiteral("        '1:command or path:{_alternative "
                          "\"commands:command:(find tags)\" \"files:path:_files\"}' \\\n"
                          "        '*:path:_files'\n"
                          "    fi\n"
                          "}\n"
                          "\n"
                          "_tagsifter \"$@\"\n");
}

QString fishCompletion()
{
    return QStringLiteral("# fish completion for tagsifter\n"
                          "complete -c tagsifter -n '__fish_use_subcommand' -f -a find -d "
                          "'search the metadata from a terminal'\n"
                          "complete -c tagsifter -n '__fish_use_subcommand' -f -a tags -d "
                          "'list the tags the images hold'\n") +
           fishLines(QStringLiteral("__fish_use_subcommand"), ForWindow) +
           fishLines(QStringLiteral("__fish_seen_subcommand_from find"), ForFind) +
           fishLines(QStringLiteral("__fish_seen_subcommand_from tags"), ForTags);
}

} // namespace tagsifter::ShellDocs
