#include "core/ClipboardTable.h"

#include <algorithm>
#include <vector>

namespace tagsifter {

namespace {

/// The length of `text` without the spaces at its end.
qsizetype trimmedSize(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return end;
}

QChar* put(QChar* out, const QString& text, qsizetype size)
{
    return std::copy_n(text.constData(), size, out);
}

} // namespace

QString clipboardTable(int rows, int columns, const std::function<QString(int, int)>& cell,
                       const QString& lineEnd, EventLoopService* events)
{
    if (rows <= 0)
        return QString();
    if (columns <= 0)
        return lineEnd.repeated(rows);
    // One pass for the widths and the size of the whole text, which is then written in place:
    // the trailing spaces removed are only ever the last cell's, as a TAB stands before it.
    std::vector<qsizetype> widths(static_cast<size_t>(columns) + 1, 0);
    qsizetype lastCells = 0;
    for (int k = 1; k <= columns; ++k) {
        for (int r = 1; r <= rows; ++r) {
            yieldSometimes(events);
            const QString value = cell(r, k);
            widths[static_cast<size_t>(k)] = std::max(widths[static_cast<size_t>(k)], value.size());
            if (k == columns)
                lastCells += trimmedSize(value);
        }
    }
    qsizetype perRow = columns - 1 + lineEnd.size();
    for (int k = 1; k < columns; ++k)
        perRow += widths[static_cast<size_t>(k)];
    QString text(perRow * rows + lastCells, Qt::Uninitialized);
    QChar* out = text.data();
    for (int r = 1; r <= rows; ++r) {
        yieldSometimes(events);
        for (int k = 1; k < columns; ++k) {
            const QString value = cell(r, k);
            out = put(out, value, value.size());
            out = std::fill_n(out, widths[static_cast<size_t>(k)] - value.size(), QLatin1Char(' '));
            *out++ = QLatin1Char('\t');
        }
        const QString last = cell(r, columns);
        out = put(out, last, trimmedSize(last));
        out = put(out, lineEnd, lineEnd.size());
    }
    Q_ASSERT(out == text.constData() + text.size());
    return text;
}

} // namespace tagsifter
