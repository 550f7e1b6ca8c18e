#pragma once

#include <QString>
#include <QStringList>

namespace tagsifter {

/// Cleans a path built by joining a folder and a name: doubled separators are reduced pair by
/// pair (a run of two becomes one, of three two, of four two), and a leading run becomes one
/// separator.
QString CollapseBackslashes(const QString& path);

/// `path` without the slashes that end it, "/" itself kept: a folder named "photos/" or
/// "photos//" is the folder "photos".
QString withoutTrailingSlashes(QString path);

/// The extensions of an answer that names several, separated by spaces, commas or semicolons
/// ("jpg jpeg, cr2;heic"), each as typed; empty parts are left out.
QStringList splitExtensions(const QString& answer);

/// True when a folder name holds a control character (below 32, or 127 to 159).
bool HasOddCharacters(const QString& name);

} // namespace tagsifter
