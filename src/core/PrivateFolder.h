#pragma once

#include <QString>

namespace tagsifter {

// Folders that hold what is the user's alone (the cache of every image's metadata, the
// settings): what the program makes is made for the user only, and a folder that someone
// else could change is not trusted. Each platform defines these in its own part
// (platform/PrivateFolder.cpp).

/// Makes `folder` and each folder above it that is missing, each for the user alone (0700)
/// whatever the umask. False when `folder` is not a folder afterwards.
bool makePrivateFolder(const QString& folder);

/// Why `folder` may not hold the user's private files, or the empty text when it may: it must
/// be a folder of the user's own that nobody else may write to, and the folder above it one of
/// the user's or the system's that nobody else may write to (unless only the owners of its
/// entries may rename them, as in /tmp), so that nobody can move it and put another in its
/// place.
QString privateFolderProblem(const QString& folder);

/// Why `path` may not be opened as a private file, or the empty text when it may: a file that
/// is there must be a regular file of the user's own, never a link.
QString privateFileProblem(const QString& path);

} // namespace tagsifter
