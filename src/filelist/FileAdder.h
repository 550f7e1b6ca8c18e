#pragma once

#include "core/FolderScan.h"
#include "core/WindowPointer.h"
#include "core/WindowServices.h"

#include <QCoreApplication>

namespace tagsifter {

class ListModel;

/// "Add JPEG File(s)" and "Add All JPEG File(s) In Folder".
class FileAdder
{
    Q_DECLARE_TR_FUNCTIONS(FileAdder)

public:
    FileAdder(const WindowServices& services, ListModel& fileList, WindowPointer& pointer);

    void PushButton3_Click();
    void PushButton4_Click();

    /// The characters the Windows dialog needs for this selection: the folder, a NUL, each
    /// name followed by a NUL, and the closing NUL.
    static int dialogBufferLength(const OpenFilesAnswer& answer);
    static constexpr int kDialogBufferSize = 30000;

    static QString openDialogTitle();
    static QString openDialogFilter();
    static QString extensionPrompt();
    static QString tooManyFilesMessage();

    const QString& lastFolderPath() const { return m_lastFolderPath; }

private:
    WindowServices m_services;
    ListModel& m_fileList;
    WindowPointer& m_pointer;
    FolderScan m_scan;
    QString m_lastFolderPath;
};

} // namespace tagsifter
