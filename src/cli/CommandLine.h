#pragma once

#include <QString>
#include <QStringList>

namespace tagsifter {

/// How `tagsifter find` writes what it found.
struct FindOptions
{
    /// The search text, or with `query` the query.
    QString text;
    /// The text is read in the query language (-Q QUERY).
    bool query = false;
    /// Print how the query was read and search nothing.
    bool explain = false;
    /// Leave the XMP sidecars beside the images out.
    bool noSidecars = false;
    QStringList paths;
    /// The extensions of the files a folder gives; "jpg" when none is named.
    QStringList extensions;
    /// A file of paths, one a line, searched as arguments are; "-" is standard input.
    QString filesFrom;
    bool table = false;
    bool filesWithMatches = false;
    bool count = false;
    bool json = false;
    bool null = false;
};

/// The program's command line, read before anything else is made: what to do, and with what.
/// Paths hold their bytes as decodeFileName gives them.
struct CommandLine
{
    enum class Action { Window, Find, Help, FindHelp, Version, Error };
    Action action = Action::Window;
    /// The images and folders to put in the window's file list.
    QStringList paths;
    FindOptions find;
    /// What is wrong with the command line, for Error.
    QString error;

    /// `arguments` start with the program's name.
    static CommandLine parse(const QStringList& arguments);

    /// The usage lines, one for the window and one for the terminal search.
    static QString usage();
    /// What `tagsifter --help` prints.
    static QString help();
    /// What `tagsifter find --help` prints: every option of the terminal search.
    static QString findHelp();
};

} // namespace tagsifter
