#include "core/ClipboardTable.h"

#include <algorithm>
#include <vector>

namespace tagsifter {

QString clipboardTable(int rows, int columns, const std::function<QString(int, int)>& cell,
                       const QString& lineEnd, EventLoopService* events)
{
    std::vector<qsizetype> widths(static_cast<size_t>(columns) + 1, 0);
    for (int k = 1; k <= columns; ++k) {
        for (int r = 1; r <= rows; ++r) {
            yieldSometimes(events);
            widths[static_cast<size_t>(k)] =
                std::max(widths[static_cast<size_t>(k)], cell(r, k).size());
        }
    }
    QString text;
    for (int r = 1; r <= rows; ++r) {
        yieldSometimes(events);
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

} // namespace tagsifter
