#pragma once

#include <QString>

namespace tagsifter {

/// The line end of text written for other programs: LF here, CR LF on Windows.
inline QString platformLineEnd()
{
#ifdef Q_OS_WIN
    return QStringLiteral("\r\n");
#else
    return QStringLiteral("\n");
#endif
}

} // namespace tagsifter
