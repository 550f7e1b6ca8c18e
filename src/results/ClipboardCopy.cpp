#include "ClipboardCopy.h"

#include "LineEnd.h"
#include "app/ErrorReport.h"
#include "platform/ListView.h"

#include <vector>

namespace tagsifter {

namespace {
constexpr int kClipboardAttempts = 1000;

void yieldTo(EventLoopService* events)
{
    if (events)
        events->yieldSometimes();
}
} // namespace

QString copiedMessage()
{
    return QStringLiteral("Results have been copied to the clipboard.\r\rClick a text area where "
                          "you normally type and press Ctrl+V to paste the clipboard.");
}

QString copyFailedMessage()
{
    return QStringLiteral("The results could not be copied to the clipboard.\r\rAnother program "
                          "may be holding it. Please try again.");
}

QString clipboardTable(int rows, int columns, const std::function<QString(int, int)>& cell,
                       const QString& lineEnd, EventLoopService* events)
{
    std::vector<qsizetype> widths(static_cast<size_t>(columns) + 1, 0);
    for (int k = 1; k <= columns; ++k) {
        for (int r = 1; r <= rows; ++r) {
            yieldTo(events);
            widths[static_cast<size_t>(k)] =
                std::max(widths[static_cast<size_t>(k)], cell(r, k).size());
        }
    }
    QString text;
    for (int r = 1; r <= rows; ++r) {
        yieldTo(events);
        QString line;
        for (int k = 1; k <= columns; ++k) {
            const QString value = cell(r, k);
            line += value;
            const qsizetype fill = widths[static_cast<size_t>(k)] - value.size();
            if (fill > 0)
                line += QString(fill, QLatin1Char(' '));
            line += QLatin1Char('\t');
        }
        line.chop(1);
        qsizetype end = line.size();
        while (end > 0 && line.at(end - 1) == QLatin1Char(' '))
            --end;
        line.truncate(end);
        text += line;
        text += lineEnd;
    }
    return text;
}

bool ClearClipboard(ClipboardService& clipboard)
{
    for (int attempt = 0; attempt < kClipboardAttempts; ++attempt) {
        if (clipboard.clear())
            return true;
    }
    return false;
}

bool SetClipboardText(ClipboardService& clipboard, const QString& text, int format)
{
    // Only plain text (format 0) is ever put on the clipboard.
    Q_UNUSED(format);
    for (int attempt = 0; attempt < kClipboardAttempts; ++attempt) {
        if (clipboard.setText(text))
            return true;
    }
    return false;
}

bool CopyListToClipboard(const Platform& platform, const ListView& list)
{
    if (list.count() == 0)
        return true;
    const QString text = clipboardTable(
        list.count(), list.columnCount(),
        [&list](int row, int column) { return list.cell(row, column); }, platformLineEnd(),
        platform.events);
    ClearClipboard(*platform.clipboard);
    return SetClipboardText(*platform.clipboard, text, 0);
}

void copyResultsToClipboard(const Platform& platform, const ListView& results)
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
