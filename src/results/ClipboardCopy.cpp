#include "ClipboardCopy.h"

#include "LineEnd.h"
#include "core/ClipboardTable.h"
#include "core/ErrorReport.h"
#include "core/RowSelection.h"
#include "core/RowTable.h"

namespace tagsifter {

namespace {
constexpr int kClipboardAttempts = 1000;
} // namespace

QString copiedMessage()
{
    return QCoreApplication::translate(
        "ClipboardCopy", "Results have been copied to the clipboard.\r\rClick a text area where "
                         "you normally type and press Ctrl+V to paste the clipboard.");
}

QString copyFailedMessage()
{
    return QCoreApplication::translate(
        "ClipboardCopy", "The results could not be copied to the clipboard.\r\rAnother program "
                         "may be holding it. Please try again.");
}

bool ClearClipboard(ClipboardService& clipboard)
{
    for (int attempt = 0; attempt < kClipboardAttempts; ++attempt) {
        if (clipboard.clear())
            return true;
    }
    return false;
}

bool SetClipboardText(ClipboardService& clipboard, const QString& text)
{
    for (int attempt = 0; attempt < kClipboardAttempts; ++attempt) {
        if (clipboard.setText(text))
            return true;
    }
    return false;
}

bool CopyListToClipboard(const Platform& platform, const RowTable& list)
{
    if (list.count() == 0)
        return true;
    const QString text = clipboardTable(
        list.count(), list.columns(),
        [&list](int row, int column) { return list.cell(row, column); }, platformLineEnd(),
        platform.events);
    ClearClipboard(*platform.clipboard);
    return SetClipboardText(*platform.clipboard, text);
}

bool copyRowsToClipboard(const Platform& platform, const RowTable& list, const QList<int>& rows)
{
    if (rows.isEmpty())
        return true;
    const QString text = clipboardTable(
        static_cast<int>(rows.size()), list.columns(),
        [&](int row, int column) { return list.cell(rows.at(row - 1), column); }, platformLineEnd(),
        platform.events);
    return SetClipboardText(*platform.clipboard, text);
}

bool copyPathsToClipboard(const Platform& platform, const RowTable& list, const QList<int>& rows)
{
    QStringList texts;
    for (const int row : rows)
        texts.append(list.text(row));
    const QStringList paths = distinctPaths(texts);
    return paths.isEmpty() || SetClipboardText(*platform.clipboard, paths.join(platformLineEnd()));
}

bool copyValuesToClipboard(const Platform& platform, const RowTable& list, const QList<int>& rows)
{
    QStringList values;
    for (const int row : rows)
        values.append(list.cell(row, list.columns()));
    return values.isEmpty() ||
           SetClipboardText(*platform.clipboard, values.join(platformLineEnd()));
}

void copyResultsToClipboard(const Platform& platform, const RowTable& results)
{
    ErrorReport report(*platform.messages,
                       ErrorReport::formLocation(QStringLiteral("PushButton8_Click")));
    bool copied = true;
    report.line(100, [&] { copied = CopyListToClipboard(platform, results); });
    // A clipboard that refused every attempt is said so, never reported as copied.
    report.line(102, [&] {
        platform.messages->show(copied ? copiedMessage() : copyFailedMessage(), MessageFlags::Ok);
    });
}

} // namespace tagsifter
