#pragma once

#include "FileSystem.h"
#include "Process.h"
#include "Services.h"

#include <QString>

namespace tagsifter {

/// What the search, exiftool and the terminal need of the machine: files, processes, settings
/// and the event loop. Nothing here asks or tells the user, so nothing handed only these can
/// show a message box or touch the clipboard. Nothing here is owned.
struct SystemServices
{
    FileSystem* files = nullptr;
    ProcessService* processes = nullptr;
    SettingsStore* settings = nullptr;
    EventLoopService* events = nullptr;
    /// The file that keeps exiftool's dumps across starts; empty keeps none.
    QString dumpCacheFile;
};

} // namespace tagsifter
