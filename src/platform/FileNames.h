#pragma once

#include "core/FileNameBytes.h"

#include <QString>

namespace tagsifter {

/// `path` as this program holds it, from a path that Qt decoded itself (a file dialog's
/// answer): a name whose bytes were not UTF-8 came out of Qt with replacement marks, and is
/// looked up in its folder to get its bytes back. Paths without such a mark come back as they
/// are.
QString heldPath(const QString& qtPath);

/// The working folder of the process, its bytes held as decodeFileName holds them; the empty
/// text when it cannot be read.
QString currentFolder();

} // namespace tagsifter
