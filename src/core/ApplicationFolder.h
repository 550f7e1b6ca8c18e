#pragma once

#include <QString>

namespace tagsifter {

/// The folder that holds the program's own files (Samples, pointer files, skin): beside the
/// executable when that has a Samples folder, otherwise <prefix>/share/tagsifter.
QString applicationFolder();

} // namespace tagsifter
