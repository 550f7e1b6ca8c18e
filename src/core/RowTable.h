#pragma once

#include <QString>
#include <QStringList>

namespace tagsifter {

/// Rows of texts under column headers, read by 1-based row and column: what the exports, the
/// clipboard table and the opening of files read, whether all of a list or the rows it shows.
class RowTable
{
public:
    virtual ~RowTable() = default;

    virtual int count() const = 0;
    virtual int columns() const = 0;
    virtual QString headerText(int column) const = 0;
    /// The row's first column.
    virtual QString text(int row) const = 0;
    /// Column 1 is the row text, column k (k >= 2) its sub-item k - 1.
    virtual QString cell(int row, int column) const = 0;

    /// The text of every row, top to bottom.
    QStringList texts() const
    {
        QStringList all;
        all.reserve(count());
        for (int row = 1; row <= count(); ++row)
            all.append(text(row));
        return all;
    }
};

} // namespace tagsifter
