#include "TableSpool.h"

#include "platform/FileNames.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace tagsifter {

namespace {

/// A file of the temp folder that has no name from the start: nothing is left behind, whatever
/// ends the program. Null when none can be made.
std::unique_ptr<QIODevice> unnamedFile()
{
    QByteArray name = encodeFileName(QDir::tempPath()) + "/tagsifter-table-XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    ::unlink(name.constData());
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::ReadWrite, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return nullptr;
    }
    return file;
}

/// The size of `text` without the spaces at its end.
qsizetype trimmedSize(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return end;
}

/// The size as a QString counts it (UTF-16 units) of the valid UTF-8 `utf8`.
qint64 utf16Size(QByteArrayView utf8)
{
    qint64 size = 0;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        // A lead byte starts a character; one of four bytes takes two units.
        size += (byte & 0xC0) != 0x80 ? (byte >= 0xF0 ? 2 : 1) : 0;
    }
    return size;
}

} // namespace

TableSpool::TableSpool() : m_device(unnamedFile())
{
    if (!m_device) {
        auto buffer = std::make_unique<QBuffer>();
        buffer->open(QIODevice::ReadWrite);
        m_device = std::move(buffer);
    }
}

TableSpool::~TableSpool() = default;

void TableSpool::add(const QString& path, const QList<TagValue>& hits)
{
    if (hits.isEmpty() || m_failed)
        return;
    // Each image once: its name's bytes and size, then each row's tag and its size, and the
    // value without the spaces at its end (the last cell loses them).
    QDataStream out(m_device.get());
    m_widths[0] = std::max(m_widths[0], path.size());
    out << encodeFileName(path) << qint64(path.size()) << qint64(hits.size());
    for (const TagValue& hit : hits) {
        m_widths[1] = std::max(m_widths[1], hit.tag.size());
        out << encodeFileName(hit.tag) << qint64(hit.tag.size())
            << encodeFileName(hit.value.left(trimmedSize(hit.value)));
    }
    m_rows += hits.size();
    m_failed = out.status() != QDataStream::Ok;
}

void TableSpool::addPacked(const QString& path, const QByteArray& packed)
{
    if (packed.isEmpty() || m_failed)
        return;
    const qint64 count = packed.count('\n');
    QDataStream out(m_device.get());
    m_widths[0] = std::max(m_widths[0], path.size());
    out << encodeFileName(path) << qint64(path.size()) << count;
    for (qsizetype start = 0; start < packed.size();) {
        const qsizetype colon = packed.indexOf(':', start);
        const qsizetype end = packed.indexOf('\n', colon);
        const QByteArray tag = packed.mid(start, colon - start);
        qsizetype valueEnd = end;
        while (valueEnd > colon + 1 && packed.at(valueEnd - 1) == ' ')
            --valueEnd;
        const qint64 tagSize = utf16Size(tag);
        m_widths[1] = std::max(m_widths[1], qsizetype(tagSize));
        out << tag << tagSize << packed.mid(colon + 1, valueEnd - colon - 1);
        start = end + 1;
    }
    m_rows += count;
    m_failed = out.status() != QDataStream::Ok;
}

bool TableSpool::write(const std::function<bool(const QByteArray&)>& put)
{
    if (m_failed || !m_device->seek(0))
        return false;
    constexpr qsizetype kBlock = 64 * 1024;
    QDataStream in(m_device.get());
    QByteArray block;
    const auto cell = [&block](const QByteArray& bytes, qint64 size, qsizetype width) {
        block += bytes;
        block.append(width - size, ' ');
        block += '\t';
    };
    for (qint64 row = 0; row < m_rows;) {
        QByteArray path;
        qint64 pathSize = 0;
        qint64 count = 0;
        in >> path >> pathSize >> count;
        if (in.status() != QDataStream::Ok || count <= 0)
            return false;
        for (qint64 i = 0; i < count; ++i, ++row) {
            QByteArray tag, value;
            qint64 tagSize = 0;
            in >> tag >> tagSize >> value;
            if (in.status() != QDataStream::Ok)
                return false;
            cell(path, pathSize, m_widths[0]);
            cell(tag, tagSize, m_widths[1]);
            block += value;
            block += '\n';
            if (block.size() >= kBlock) {
                if (!put(block))
                    return true;
                block.clear();
            }
        }
    }
    return block.isEmpty() || put(block);
}

} // namespace tagsifter
