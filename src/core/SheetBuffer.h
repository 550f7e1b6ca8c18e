#pragma once

#include <QString>

#include <algorithm>
#include <functional>
#include <map>
#include <vector>

namespace tagsifter {

/// Collects cell texts and hands them on in rectangular blocks of whole rows, so that a sheet
/// behind a slow connection gets one call per block instead of one per cell. Rows and columns
/// are 1-based. A block covers only rows that no earlier block wrote, so a position inside it
/// that was never set is written empty without erasing anything; a cell set again in a row
/// that was already handed on goes out on its own.
class SheetBuffer
{
public:
    /// Receives `rows[i][j]` for the cell at (`firstRow` + i, `firstColumn` + j).
    using Writer = std::function<void(int firstRow, int firstColumn,
                                      const std::vector<std::vector<QString>>& rows)>;

    explicit SheetBuffer(Writer writer, int rowsPerBlock = 1000)
        : m_writer(std::move(writer)), m_rowsPerBlock(std::max(1, rowsPerBlock))
    {
    }

    void set(int row, int column, const QString& text)
    {
        if (row <= m_lastWrittenRow) {
            m_writer(row, column, {{text}});
            return;
        }
        if (!m_pending.empty() && row >= m_pending.begin()->first + m_rowsPerBlock)
            flush();
        m_pending[row][column] = text;
    }

    /// Hands on everything pending. When the writer fails, the pending cells are dropped all
    /// the same: they are not offered twice.
    void flush()
    {
        if (m_pending.empty())
            return;
        const int firstRow = m_pending.begin()->first;
        const int lastRow = m_pending.rbegin()->first;
        int firstColumn = m_pending.begin()->second.begin()->first;
        int lastColumn = firstColumn;
        for (const auto& [row, cells] : m_pending) {
            firstColumn = std::min(firstColumn, cells.begin()->first);
            lastColumn = std::max(lastColumn, cells.rbegin()->first);
        }
        std::vector<std::vector<QString>> block(
            static_cast<size_t>(lastRow - firstRow + 1),
            std::vector<QString>(static_cast<size_t>(lastColumn - firstColumn + 1)));
        for (const auto& [row, cells] : m_pending) {
            for (const auto& [column, text] : cells)
                block[static_cast<size_t>(row - firstRow)]
                     [static_cast<size_t>(column - firstColumn)] = text;
        }
        m_pending.clear();
        m_lastWrittenRow = std::max(m_lastWrittenRow, lastRow);
        m_writer(firstRow, firstColumn, block);
    }

private:
    Writer m_writer;
    int m_rowsPerBlock;
    int m_lastWrittenRow = 0;
    std::map<int, std::map<int, QString>> m_pending;
};

} // namespace tagsifter
