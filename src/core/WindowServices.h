#pragma once

#include "Dialogs.h"
#include "Services.h"
#include "Spreadsheet.h"
#include "SystemServices.h"

namespace tagsifter {

/// Asking and telling the user: message boxes, input boxes, file dialogs and the folder
/// browser. Nothing here is owned.
struct UserDialogs
{
    MessageBoxService* messages = nullptr;
    InputBoxService* input = nullptr;
    FileDialogService* dialogs = nullptr;
};

/// Handing work to the desktop's other programs: opening files and pages, the clipboard, a
/// spreadsheet application. Nothing here is owned.
struct DesktopServices
{
    ShellService* shell = nullptr;
    ClipboardService* clipboard = nullptr;
    SpreadsheetService* spreadsheet = nullptr;
};

/// What the window hands its subsystems (the file list, the results, the window's own parts):
/// the machine as the search has it, the user's dialogs, the desktop, and the start-up draw.
struct WindowServices
{
    SystemServices system;
    UserDialogs user;
    DesktopServices desktop;
    RandomService* random = nullptr;
};

} // namespace tagsifter
