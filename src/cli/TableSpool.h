#pragma once

#include "core/DumpParser.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class QIODevice;

namespace tagsifter {

/// The rows of `tagsifter find --table` until the search ends: the aligned table needs the
/// widest cell of each column before its first line. The rows wait in an unnamed temporary
/// file (in memory only when none can be made), the width of each column is counted as they
/// come, and the table is then written a block at a time: a million rows take no more of the
/// program's memory than a few.
class TableSpool
{
public:
    TableSpool();
    ~TableSpool();
    Q_DISABLE_COPY_MOVE(TableSpool)

    /// Keeps the rows (`path`, tag, value) of one image.
    void add(const QString& path, const QList<TagValue>& hits);
    /// The same for the hits as packEntries holds them ("TAG:VALUE" lines in UTF-8).
    void addPacked(const QString& path, const QByteArray& packed);
    bool isEmpty() const { return m_rows == 0; }
    /// Hands `put` the table, as clipboardTable lays it out with LF line ends and the bytes of
    /// each name as on disk, in blocks; stops when `put` answers false. False when the rows
    /// could not be kept or read back.
    bool write(const std::function<bool(const QByteArray&)>& put);

private:
    /// Writes the records that wait to the file: all of them, or once they fill a block.
    void keep(bool all);
    static constexpr qsizetype kKeepBlock = 1 << 20;
    std::unique_ptr<QIODevice> m_device;
    QByteArray m_pending;
    bool m_failed = false;
    qint64 m_rows = 0;
    qsizetype m_widths[2] = {0, 0};
};

} // namespace tagsifter
