// The spreadsheet export against the real LibreOffice Calc: the whole export of a results list
// (cells written a block of rows at a time), against writing the same cells one call each.
// Needs an X server: xvfb-run -a build/benchmarks/tagsifter_bench_calc [ROWS]

#include "platform/calc/CalcSpreadsheet.h"
#include "platform/widgets/ListView.h"
#include "results/SpreadsheetExport.h"
#include "support/FakeServices.h"

#include <QApplication>
#include <QElapsedTimer>

#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/util/XCloseable.hpp>

#include <cstdio>
#include <memory>

using namespace tagsifter;
using namespace tagsifter::test;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace {

double seconds(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

/// Keeps the export's document for the one-call-per-cell comparison.
class KeepingCalc : public SpreadsheetService
{
public:
    bool probe() override { return calc.probe(); }
    std::unique_ptr<SpreadsheetDocument> newDocument() override
    {
        auto made = calc.newDocument();
        auto* document = dynamic_cast<CalcDocument*>(made.get());
        model = document->model();
        sheet = document->sheet();
        return made;
    }
    CalcSpreadsheet calc;
    Reference<css::frame::XModel> model;
    Reference<css::sheet::XSpreadsheet> sheet;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 5000;
    auto list = std::make_unique<ListView>();
    list->addColumn("Image");
    list->addColumn("Metadata Tag");
    list->addColumn("Value");
    for (int i = 0; i < rows; ++i)
        list->addItem(QStringLiteral("/home/user/Pictures/IMG_%1.JPG").arg(i / 4),
                      {"Make", "Eastman Kodak Company"});
    FakeServices fake;
    KeepingCalc calc;
    WindowServices services = fake.window();
    services.desktop.spreadsheet = &calc;
    FakePointer pointer;

    QElapsedTimer timer;
    timer.start();
    const bool probed = calc.calc.probe();
    const double probe = seconds(timer);
    timer.restart();
    SpreadsheetExport(services, *list->listModel(), pointer).PushButton14_Click();
    const double whole = seconds(timer);
    if (!probed || !calc.sheet.is() || !fake.messages.shown.isEmpty()) {
        std::fprintf(stderr, "the export failed\n");
        return 1;
    }

    // The same cells again, in the columns to the right, one call each.
    timer.restart();
    for (int r = 1; r <= list->count(); ++r) {
        for (int k = 1; k <= 3; ++k) {
            const Reference<css::text::XText> text(calc.sheet->getCellByPosition(k + 3, r),
                                                   UNO_QUERY_THROW);
            text->setString(toUno(list->cell(r, k)));
        }
    }
    const double perCell = seconds(timer);
    std::printf(
        "calc (%d rows): probe %.2f s, whole export (probe, start, cells, fit, show) %.2f s; "
        "the cells alone one call each %.2f s\n",
        rows, probe, whole, perCell);
    const Reference<css::util::XCloseable> closeable(calc.model, UNO_QUERY);
    if (closeable.is())
        closeable->close(true);
    return 0;
}
