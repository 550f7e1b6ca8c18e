#pragma once

#include "platform/Platform.h"
#include "platform/WindowPointer.h"

#include <QStringList>

namespace tagsifter {

class ListView;

/// "Open Selected File" and "Open All Files": the images open in the programs the desktop
/// associates with them.
class OpenFiles
{
public:
    OpenFiles(const Platform& platform, ListView& results, WindowPointer& pointer);

    void PushButton15_Click();
    void PushButton16_Click();

    static QString noSelectionMessage() { return QStringLiteral("No files selected in list."); }
    static QString emptyListMessage() { return QStringLiteral("No file selected in Results list."); }
    static QString missingFileMessage()
    {
        return QStringLiteral("Can not open this file. It does not exist.");
    }

private:
    void open(const QString& path);

    Platform m_platform;
    ListView& m_results;
    WindowPointer& m_pointer;
};

} // namespace tagsifter
