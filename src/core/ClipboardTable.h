#pragma once

#include "core/Services.h"

#include <QString>

#include <functional>

namespace tagsifter {

/// The clipboard table: every cell filled out with spaces to its column's width (the longest
/// cell of that column over all rows), cells separated by one TAB, the last TAB and trailing
/// spaces removed, `lineEnd` after every row. No header.
QString clipboardTable(int rows, int columns, const std::function<QString(int, int)>& cell,
                       const QString& lineEnd, EventLoopService* events = nullptr);

} // namespace tagsifter
