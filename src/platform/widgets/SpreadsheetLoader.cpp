#include "QtWindowServices.h"

#include <QCoreApplication>
#include <QLibrary>

namespace tagsifter {

namespace {

using MakeSpreadsheet = SpreadsheetService* (*)();

} // namespace

std::unique_ptr<SpreadsheetService> loadSpreadsheetService(const QStringList& folders)
{
    // The Calc export is a module of its own: it needs LibreOffice's libraries, and the program
    // must start without them. Those libraries find their own private ones only when they are
    // loaded from LibreOffice's program folder, so they are loaded from there first, for all.
    for (const char* name : {"libuno_sal.so.3", "libuno_cppu.so.3", "libuno_cppuhelpergcc3.so.3"}) {
        QLibrary uno(QStringLiteral(TAGSIFTER_LIBREOFFICE_PROGRAM_DIR "/") + QLatin1String(name));
        uno.setLoadHints(QLibrary::ExportExternalSymbolsHint);
        if (!uno.load())
            break;
    }
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
    return loadSpreadsheetService({beside, beside + QStringLiteral("/../" TAGSIFTER_MODULE_DIR),
                                   beside + QStringLiteral("/../lib/tagsifter")});
}

} // namespace tagsifter
