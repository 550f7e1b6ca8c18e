#pragma once

#include "OptionTable.h"

#include <QString>
#include <QStringList>

namespace tagsifter {

/// The program's command line, read before anything else is made: what to do, and with what.
/// Paths hold their bytes as decodeFileName gives them.
struct CommandLine
{
    enum class Action { Window, Find, Tags, Help, FindHelp, TagsHelp, Version, Error };
    Action action = Action::Window;
    /// The images and folders to put in the window's file list.
    QStringList paths;
    /// The options of `find` and `tags`.
    FindOptions find;
    /// What is wrong with the command line, for Error.
    QString error;

    /// `arguments` start with the program's name.
    static CommandLine parse(const QStringList& arguments);

    /// The usage lines, one for the window and one for each command.
    static QString usage();
    /// What `tagsifter --help` prints.
    static QString help();
    /// What `tagsifter find --help` prints: every option of the terminal search.
    static QString findHelp();
    /// What `tagsifter tags --help` prints.
    static QString tagsHelp();
    /// The options of `command` as help lists them, from the option table.
    static QString optionsHelp(unsigned command);
};

} // namespace tagsifter
