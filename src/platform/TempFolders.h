#pragma once

#include <QString>

namespace tagsifter {

/// The program's private folders in the temp folder: each named after the process that made
/// it, so that a later start can tell those of programs that died (SIGKILL, power loss).
namespace TempFolders {

/// The template for a new private folder of this process in `tempPath`.
QString templateFor(const QString& tempPath);
/// Removes the private folders in `tempPath` of this user's processes that no longer run.
/// Returns how many went.
int removeStale(const QString& tempPath);

} // namespace TempFolders

} // namespace tagsifter
