#pragma once

#include "core/Platform.h"

namespace tagsifter {

class RowTable;

/// Empties the clipboard, trying up to 1000 times; true when an attempt succeeded.
bool ClearClipboard(ClipboardService& clipboard);
/// Puts `text` on the clipboard, trying up to 1000 times; true when an attempt succeeded.
bool SetClipboardText(ClipboardService& clipboard, const QString& text);

/// Copies `list` as a table; does nothing when it has no rows. False when the clipboard
/// refused the text.
bool CopyListToClipboard(const Platform& platform, const RowTable& list);

/// "Copy Results To Clipboard".
void copyResultsToClipboard(const Platform& platform, const RowTable& results);

QString copiedMessage();
QString copyFailedMessage();

} // namespace tagsifter
