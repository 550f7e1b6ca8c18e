#pragma once

#include "core/WindowPointer.h"
#include "core/WindowServices.h"

#include <QCoreApplication>
#include <QStringList>

namespace tagsifter {

class ChosenRow;
class RowTable;

/// "Open Selected File" and "Open All Files": the images open in the programs the desktop
/// associates with them.
class OpenFiles
{
    Q_DECLARE_TR_FUNCTIONS(OpenFiles)

public:
    OpenFiles(const WindowServices& services, RowTable& results, ChosenRow& chosen,
              WindowPointer& pointer);

    void PushButton15_Click();
    void PushButton16_Click();
    /// Opens the images of the rows shown at `rows` (1-based), each once.
    void openRows(const QList<int>& rows);
    /// Opens the folders that hold the images of `rows`, each once.
    void openFolders(const QList<int>& rows);

    static QString noSelectionMessage() { return tr("No files selected in list."); }
    static QString emptyListMessage() { return tr("No file selected in Results list."); }
    static QString missingFileMessage() { return tr("Can not open this file. It does not exist."); }

private:
    void open(const QString& path);
    void openEach(const QStringList& paths);

    WindowServices m_services;
    RowTable& m_results;
    ChosenRow& m_chosen;
    WindowPointer& m_pointer;
};

} // namespace tagsifter
