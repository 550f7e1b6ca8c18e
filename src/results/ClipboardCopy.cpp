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

bool CopyListToClipboard(const WindowServices& services, const RowTable& list)
{
    if (list.count() == 0)
        return true;
    const QString text = clipboardTable(
        list.count(), list.columns(),
        [&list](int row, int column) { return list.cell(row, column); }, platformLineEnd(),
        services.system.events);
    ClearClipboard(*services.desktop.clipboard);
    return SetClipboardText(*services.desktop.clipboard, text);
}

bool copyRowsToClipboard(const WindowServices& services, const RowTable& list,
                         const QList<int>& rows)
{
    if (rows.isEmpty())
        return true;
    const QString text = clipboardTable(
        static_cast<int>(rows.size()), list.columns(),
        [&](int row, int column) { return list.cell(rows.at(row - 1), column); }, platformLineEnd(),
        services.system.events);
    return SetClipboardText(*services.desktop.clipboard, text);
}

bool copyPathsToClipboard(const WindowServices& services, const RowTable& list,
                          const QList<int>& rows)
{
    QStringList texts;
    for (const int row : rows)
        texts.append(list.text(row));
    const QStringList paths = distinctPaths(texts);
    return paths.isEmpty() ||
           SetClipboardText(*services.desktop.clipboard, paths.join(platformLineEnd()));
}

bool copyValuesToClipboard(const WindowServices& services, const RowTable& list,
                           const QList<int>& rows)
{
    QStringList values;
    for (const int row : rows)
        values.append(list.cell(row, list.columns()));
    return values.isEmpty() ||
           SetClipboardText(*services.desktop.clipboard, values.join(platformLineEnd()));
}

void copyResultsToClipboard(const WindowServices& services, const RowTable& results)
{
    ErrorReport report(*services.user.messages,
                       ErrorReport::formLocation(QStringLiteral("PushButton8_Click")));
    bool copied = true;
    report.line(100, [&] { copied = CopyListToClipboard(services, results); });
    // A clipboard that refused every attempt is said so, never reported as copied.
    report.line(102, [&] {
        services.user.messages->show(copied ? copiedMessage() : copyFailedMessage(),
                                     MessageFlags::Ok);
    });
}

} // namespace tagsifter
