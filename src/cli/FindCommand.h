#pragma once

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace tagsifter {

/// `tagsifter find [--extension EXT] [--table] TEXT PATH...`: the window's search from a
/// terminal. Files are searched as given, folders walked as "Add All JPEG File(s) In Folder"
/// walks them; each hit is printed as path TAB tag TAB value LF (or, with --table, the
/// clipboard's aligned table). Exit status as grep's: 0 found, 1 nothing found, 2 an error.
class FindCommand
{
    Q_DECLARE_TR_FUNCTIONS(FindCommand)
public:
    /// `arguments` start with the program's name; paths in them hold their bytes as
    /// decodeFileName gives them.
    static int run(const QStringList& arguments, std::FILE* out, std::FILE* err);

    /// A field as a line of output holds it: TAB, CR, LF and backslash escaped.
    static QByteArray escaped(const QByteArray& field);
};

} // namespace tagsifter
