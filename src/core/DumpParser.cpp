#include "core/DumpParser.h"

#include <QStringDecoder>

namespace tagsifter {

namespace {

// Windows-1252 where it differs from Latin-1: the codes 0x80 to 0x9F. The five codes it leaves
// undefined keep their Latin-1 meaning.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString fromWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto code = static_cast<unsigned char>(c);
        *out++ = QChar(code >= 0x80 && code < 0xA0 ? kWindows1252High[code - 0x80]
                                                   : static_cast<char16_t>(code));
    }
    return text;
}

bool isAscii(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

} // namespace

QString decodeDump(const QByteArray& bytes)
{
    // Most dumps are valid UTF-8 as a whole: one pass. Only a dump that is not is taken apart.
    QStringDecoder whole(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = whole.decode(bytes);
    if (!whole.hasError())
        return text;
    text.clear();
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        end = end < 0 ? bytes.size() : end + 1;
        const QByteArrayView line(bytes.constData() + start, end - start);
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = isAscii(line) ? QString::fromLatin1(line) : utf8.decode(line);
        text += utf8.hasError() ? fromWindows1252(line) : decoded;
        start = end;
    }
    return text;
}

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

QString exiftoolVersionOf(const QByteArray& dump)
{
    static const QByteArray kTag = "ExifTool Version Number";
    const qsizetype end = dump.indexOf('\n');
    const QByteArray line = end < 0 ? dump : dump.left(end);
    const qsizetype colon = line.indexOf(':');
    if (colon < 0 || line.left(colon).trimmed() != kTag)
        return QString();
    return QString::fromLatin1(line.mid(colon + 1).trimmed());
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

QByteArray packEntries(const QList<TagValue>& entries)
{
    QByteArray packed;
    for (const TagValue& entry : entries) {
        packed += entry.tag.toUtf8();
        packed += ':';
        packed += entry.value.toUtf8();
        packed += '\n';
    }
    packed.squeeze();
    return packed;
}

QList<TagValue> unpackEntries(const QByteArray& packed)
{
    QList<TagValue> entries;
    forEachPackedEntry(packed, [&entries](const QByteArray& tag, QString value) {
        entries.append({QString::fromUtf8(tag), std::move(value)});
    });
    return entries;
}

QList<TagValue> matchingEntries(const QString& dump, const QString& searchText)
{
    QList<TagValue> entries;
    // The value is part of its line: a dump, or a line, without the text has no match, and
    // most lines are passed over without being split.
    if (!dump.contains(searchText, Qt::CaseInsensitive))
        return entries;
    const QStringList lines = dumpLines(dump);
    for (const QString& line : lines) {
        if (!line.contains(searchText, Qt::CaseInsensitive))
            continue;
        const std::optional<TagValue> entry = parseDumpLine(line);
        if (entry && entry->value.contains(searchText, Qt::CaseInsensitive))
            entries.append(*entry);
    }
    return entries;
}

} // namespace tagsifter
