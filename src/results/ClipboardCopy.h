#pragma once

#include "core/WindowServices.h"

#include <QList>

namespace tagsifter {

class RowTable;

/// Empties the clipboard, trying up to 1000 times; true when an attempt succeeded.
bool ClearClipboard(ClipboardService& clipboard);
/// Puts `text` on the clipboard, trying up to 1000 times; true when an attempt succeeded.
bool SetClipboardText(ClipboardService& clipboard, const QString& text);

/// Copies `list` as a table; does nothing when it has no rows. False when the clipboard
/// refused the text.
bool CopyListToClipboard(const WindowServices& services, const RowTable& list);

/// "Copy Results To Clipboard".
void copyResultsToClipboard(const WindowServices& services, const RowTable& results);

/// The rows `rows` (1-based, in this order) of `list` as the aligned table, the paths of their
/// images (each once, a line each), or their values (the last column, whole, a line each).
/// False when the clipboard refused the text.
bool copyRowsToClipboard(const WindowServices& services, const RowTable& list,
                         const QList<int>& rows);
bool copyPathsToClipboard(const WindowServices& services, const RowTable& list,
                          const QList<int>& rows);
bool copyValuesToClipboard(const WindowServices& services, const RowTable& list,
                           const QList<int>& rows);

QString copiedMessage();
QString copyFailedMessage();

} // namespace tagsifter
