#pragma once

#include "core/WindowPointer.h"
#include "core/WindowServices.h"

#include <QCoreApplication>

namespace tagsifter {

class RowTable;

/// "Save Results As Excel File": the results in a new, visible spreadsheet document that is
/// left open, unsaved, for the user.
class SpreadsheetExport
{
    Q_DECLARE_TR_FUNCTIONS(SpreadsheetExport)

public:
    SpreadsheetExport(const WindowServices& services, RowTable& results, WindowPointer& pointer);

    void PushButton14_Click();
    /// True when the spreadsheet application can be started; says so when it cannot.
    bool SaveResultsAsExcelFileIsExcelInstalled();

    static QString probeMessage();
    static QString notInstalledMessage();

private:
    /// The header row and every results row, packed from column 1.
    void writeCells(SpreadsheetDocument& document);

    WindowServices m_services;
    RowTable& m_results;
    WindowPointer& m_pointer;
};

} // namespace tagsifter
