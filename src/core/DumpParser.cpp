#include "core/DumpParser.h"

namespace tagsifter {

QString trimSpaces(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

QStringList dumpLines(const QString& dump)
{
    QStringList lines = dump.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    return lines;
}

std::optional<TagValue> parseDumpLine(const QString& line)
{
    if (line.isEmpty())
        return std::nullopt;
    // The version line and the folder line, and any other line that happens to hold either
    // text, are never results.
    if (line.contains(QLatin1String("ExifTool Version Number")) ||
        line.contains(QLatin1String("Directory")))
        return std::nullopt;
    const qsizetype colon = line.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return std::nullopt;
    return TagValue{trimSpaces(line.left(colon)), trimSpaces(line.mid(colon + 1))};
}

QList<TagValue> matchingEntries(const QString& dump, const QString& searchText)
{
    QList<TagValue> entries;
    const QStringList lines = dumpLines(dump);
    for (const QString& line : lines) {
        const std::optional<TagValue> entry = parseDumpLine(line);
        if (entry && entry->value.contains(searchText, Qt::CaseInsensitive))
            entries.append(*entry);
    }
    return entries;
}

} // namespace tagsifter
