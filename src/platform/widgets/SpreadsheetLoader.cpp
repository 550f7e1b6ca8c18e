#include "QtPlatform.h"

#include <QCoreApplication>
#include <QLibrary>

namespace tagsifter {

namespace {

using MakeSpreadsheet = SpreadsheetService* (*)();

} // namespace

std::unique_ptr<SpreadsheetService> loadSpreadsheetService(const QStringList& folders)
{
    // The Calc export is a module of its own: it needs LibreOffice's libraries, and the program
    // must start without them.
    for (const QString& folder : folders) {
        QLibrary module(folder + QStringLiteral("/tagsifter-calc"));
        if (!module.load())
            continue;
        const auto make =
            reinterpret_cast<MakeSpreadsheet>(module.resolve("tagsifter_make_calc_spreadsheet"));
        if (make)
            return std::unique_ptr<SpreadsheetService>(make());
    }
    return std::make_unique<UnavailableSpreadsheet>();
}

std::unique_ptr<SpreadsheetService> makeSpreadsheetService()
{
    const QString beside = QCoreApplication::applicationDirPath();
    return loadSpreadsheetService({beside, beside + QStringLiteral("/../lib/tagsifter")});
}

} // namespace tagsifter
