#include "TableSpool.h"

#include "platform/FileNames.h"

#include <QBuffer>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cstdlib>
#include <cstring>
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

/// Appends a size as four bytes, in this machine's order (the file never leaves the process).
void appendSize(QByteArray& out, qint64 size)
{
    const auto value = static_cast<quint32>(size);
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

/// Appends `bytes` after their size.
void appendBytes(QByteArray& out, QByteArrayView bytes)
{
    appendSize(out, bytes.size());
    out.append(bytes.data(), bytes.size());
}

/// The records of the spool read back a large block at a time.
class RecordReader
{
public:
    explicit RecordReader(QIODevice& device) : m_device(device) {}
    /// The next size; false when the file ends or fails first.
    bool size(qint64& size)
    {
        if (!need(sizeof(quint32)))
            return false;
        quint32 value = 0;
        std::memcpy(&value, m_buffer.constData() + m_at, sizeof value);
        m_at += sizeof value;
        size = value;
        return true;
    }
    /// The next bytes, valid until the next call.
    bool bytes(QByteArrayView& bytes)
    {
        qint64 length = 0;
        if (!size(length) || !need(length))
            return false;
        bytes = QByteArrayView(m_buffer.constData() + m_at, length);
        m_at += length;
        return true;
    }

private:
    bool need(qint64 length)
    {
        if (m_buffer.size() - m_at >= length)
            return true;
        m_buffer.remove(0, m_at);
        m_at = 0;
        const QByteArray more = m_device.read(std::max<qint64>(kBlock, length));
        m_buffer += more;
        return m_buffer.size() >= length;
    }
    static constexpr qint64 kBlock = 1 << 20;
    QIODevice& m_device;
    QByteArray m_buffer;
    qsizetype m_at = 0;
};

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
    m_widths[0] = std::max(m_widths[0], path.size());
    appendBytes(m_pending, encodeFileName(path));
    appendSize(m_pending, path.size());
    appendSize(m_pending, hits.size());
    for (const TagValue& hit : hits) {
        m_widths[1] = std::max(m_widths[1], hit.tag.size());
        appendBytes(m_pending, encodeFileName(hit.tag));
        appendSize(m_pending, hit.tag.size());
        appendBytes(m_pending, encodeFileName(hit.value.left(trimmedSize(hit.value))));
    }
    m_rows += hits.size();
    keep(false);
}

void TableSpool::addPacked(const QString& path, const QByteArray& packed)
{
    if (packed.isEmpty() || m_failed)
        return;
    const qint64 count = packed.count('\n');
    m_widths[0] = std::max(m_widths[0], path.size());
    appendBytes(m_pending, encodeFileName(path));
    appendSize(m_pending, path.size());
    appendSize(m_pending, count);
    const char* data = packed.constData();
    for (qsizetype start = 0; start < packed.size();) {
        const qsizetype colon = packed.indexOf(':', start);
        const qsizetype end = packed.indexOf('\n', colon);
        qsizetype valueEnd = end;
        while (valueEnd > colon + 1 && data[valueEnd - 1] == ' ')
            --valueEnd;
        const QByteArrayView tag(data + start, colon - start);
        const qint64 tagSize = utf16Size(tag);
        m_widths[1] = std::max(m_widths[1], qsizetype(tagSize));
        appendBytes(m_pending, tag);
        appendSize(m_pending, tagSize);
        appendBytes(m_pending, QByteArrayView(data + colon + 1, valueEnd - colon - 1));
        start = end + 1;
    }
    m_rows += count;
    keep(false);
}

void TableSpool::keep(bool all)
{
    if (m_failed || (!all && m_pending.size() < kKeepBlock))
        return;
    m_failed = m_device->write(m_pending) != m_pending.size();
    m_pending.clear();
}

bool TableSpool::write(const std::function<bool(const QByteArray&)>& put)
{
    keep(true);
    if (m_failed || !m_device->seek(0))
        return false;
    constexpr qsizetype kBlock = 64 * 1024;
    RecordReader in(*m_device);
    QByteArray block;
    const auto cell = [&block](const QByteArray& bytes, qint64 size, qsizetype width) {
        block += bytes;
        block.append(width - size, ' ');
        block += '\t';
    };
    for (qint64 row = 0; row < m_rows;) {
        QByteArrayView view;
        qint64 pathSize = 0;
        qint64 count = 0;
        if (!in.bytes(view))
            return false;
        const QByteArray path = view.toByteArray();
        if (!in.size(pathSize) || !in.size(count) || count <= 0)
            return false;
        for (qint64 i = 0; i < count; ++i, ++row) {
            cell(path, pathSize, m_widths[0]);
            // A view is good until the next read: the tag goes into the block at once.
            qint64 tagSize = 0;
            if (!in.bytes(view))
                return false;
            block.append(view.data(), view.size());
            if (!in.size(tagSize))
                return false;
            block.append(m_widths[1] - tagSize, ' ');
            block += '\t';
            if (!in.bytes(view))
                return false;
            block.append(view.data(), view.size());
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
