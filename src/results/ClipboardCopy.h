#pragma once

#include "platform/Platform.h"

#include <functional>

namespace tagsifter {

class ListView;

/// The clipboard table: every cell filled out with spaces to its column's width (the longest
/// cell of that column over all rows), cells separated by one TAB, the last TAB and trailing
/// spaces removed, `lineEnd` after every row. No header.
QString clipboardTable(int rows, int columns, const std::function<QString(int, int)>& cell,
                       const QString& lineEnd, EventLoopService* events = nullptr);

/// Empties the clipboard, trying up to 1000 times; true when an attempt succeeded.
bool ClearClipboard(ClipboardService& clipboard);
/// Puts `text` on the clipboard, trying up to 1000 times; true when an attempt succeeded.
bool SetClipboardText(ClipboardService& clipboard, const QString& text, int format = 0);

/// Copies `list` as a table; does nothing when it has no rows. False when the clipboard
/// refused the text.
bool CopyListToClipboard(const Platform& platform, const ListView& list);

/// "Copy Results To Clipboard".
void copyResultsToClipboard(const Platform& platform, const ListView& results);

QString copiedMessage();
QString copyFailedMessage();

} // namespace tagsifter
