#include "SpreadsheetExport.h"

#include "core/ErrorReport.h"
#include "core/Failure.h"
#include "core/RowTable.h"

#include <exception>
#include <memory>

namespace tagsifter {

SpreadsheetExport::SpreadsheetExport(const WindowServices& services, RowTable& results,
                                     WindowPointer& pointer)
    : m_services(services), m_results(results), m_pointer(pointer)
{
}

QString SpreadsheetExport::probeMessage()
{
    return tr("Excel is not installed on this computer. You need to have it "
              "installed to use this software without error.");
}

QString SpreadsheetExport::notInstalledMessage()
{
    return tr("Excel is not installed on this computer. You need to have it "
              "installed to use this feature.");
}

bool SpreadsheetExport::SaveResultsAsExcelFileIsExcelInstalled()
{
    bool started = false;
    try {
        started = m_services.desktop.spreadsheet->probe();
    } catch (...) {
        started = false;
    }
    if (!started)
        m_services.user.messages->show(probeMessage(), MessageFlags::Ok);
    return started;
}

void SpreadsheetExport::writeCells(SpreadsheetDocument& document)
{
    const int columns = m_results.columns();
    int c = 1;
    for (int k = 1; k <= columns; ++k) {
        m_services.system.events->yieldSometimes();
        if (!m_results.cell(1, k).isEmpty())
            document.setCellText(1, c++, m_results.headerText(k));
    }
    const int rows = m_results.count();
    for (int r = 1; r <= rows; ++r) {
        m_services.system.events->yieldSometimes();
        c = 1;
        for (int k = 1; k <= columns; ++k) {
            QString value = m_results.cell(r, k);
            if (value.isEmpty())
                continue;
            if (k >= 2)
                value.remove(QLatin1Char('='));
            document.setCellText(r + 1, c++, value);
        }
    }
}

void SpreadsheetExport::PushButton14_Click()
{
    ErrorReport report(*m_services.user.messages,
                       ErrorReport::formLocation(QStringLiteral("PushButton14_Click")));
    if (m_results.count() == 0)
        return;
    if (!SaveResultsAsExcelFileIsExcelInstalled()) {
        m_services.user.messages->show(notInstalledMessage(), MessageFlags::Ok);
        return;
    }
    report.line(100, [&] { m_pointer.setMousePointer(Pointer::Hourglass); });
    std::unique_ptr<SpreadsheetDocument> document;
    report.line(102, [&] { document = m_services.desktop.spreadsheet->newDocument(); });
    if (!document) {
        m_pointer.setMousePointer(Pointer::Default);
        return;
    }
    // A failing cell ends the writing (one report, not one per remaining cell), yet what was
    // written is still fitted and shown, so the sheet never stays hidden in the user's office.
    // Cells go out a block at a time, so a lost connection may show first at the fit or the
    // show: the first failure is reported, once, after all three.
    int failedLine = 0;
    std::exception_ptr failure;
    const auto attempt = [&](int line, const auto& step) {
        try {
            step();
        } catch (...) {
            if (!failure) {
                failure = std::current_exception();
                failedLine = line;
            }
        }
    };
    attempt(104, [&] { writeCells(*document); });
    attempt(106, [&] { document->fitColumns(); });
    attempt(108, [&] { document->show(); });
    if (failure)
        report.report(failedLine, failure);
    report.line(110, [&] { m_pointer.setMousePointer(Pointer::Default); });
}

} // namespace tagsifter
