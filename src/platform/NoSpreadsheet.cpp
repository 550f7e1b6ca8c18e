#include "QtPlatform.h"

namespace tagsifter {

std::unique_ptr<SpreadsheetService> makeSpreadsheetService()
{
    return std::make_unique<UnavailableSpreadsheet>();
}

} // namespace tagsifter
