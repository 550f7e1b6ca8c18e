#pragma once

#include "OptionTable.h"

#include <cstdio>

namespace tagsifter {

/// `tagsifter find` and `tagsifter tags`: the search from a terminal, on the same engine as
/// the window. Files are searched as given, folders walked as "Add All JPEG File(s) In Folder"
/// walks them; the hits go to the printer of the options' mode; what went wrong is one line on
/// standard error each, in the way of grep. Exit status as grep's: 0 found, 1 nothing found, 2
/// an error (also when something was found, unless -q).
class FindCommand
{
public:
    /// Runs the search of `options`, writing to `out` and `err`. `outClosed` tells that the
    /// program started with its standard output closed: anything written to it is an error.
    static int run(const FindOptions& options, std::FILE* out, std::FILE* err,
                   bool outClosed = false);
};

} // namespace tagsifter
