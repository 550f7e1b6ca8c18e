#pragma once

#include "Dialogs.h"
#include "FileSystem.h"
#include "Process.h"
#include "Services.h"
#include "Spreadsheet.h"

#include <QString>

namespace tagsifter {

/// The services a subsystem may use, handed down by the window. Nothing here is owned.
struct Platform
{
    MessageBoxService* messages = nullptr;
    InputBoxService* input = nullptr;
    FileDialogService* dialogs = nullptr;
    ShellService* shell = nullptr;
    ClipboardService* clipboard = nullptr;
    SettingsStore* settings = nullptr;
    ProcessService* processes = nullptr;
    SpreadsheetService* spreadsheet = nullptr;
    FileSystem* files = nullptr;
    EventLoopService* events = nullptr;
    RandomService* random = nullptr;
    /// The file that keeps exiftool's dumps across starts; empty keeps none.
    QString dumpCacheFile;
};

/// The title that message and input boxes show when they name none of their own.
QString applicationTitle();
void setApplicationTitle(const QString& title);

/// The text of a message as a Qt widget shows it: CR LF, CR and LF each become one line break.
QString displayText(const QString& text);

/// The folder that holds the program's own files (Samples, pointer files, skin): beside the
/// executable when that has a Samples folder, otherwise <prefix>/share/tagsifter.
QString applicationFolder();

} // namespace tagsifter
