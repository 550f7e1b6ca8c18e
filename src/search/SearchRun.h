#pragma once

#include "ExifTool.h"
#include "MetadataReader.h"
#include "platform/Platform.h"
#include "platform/WindowPointer.h"

#include <QString>

#include <functional>

class QProgressBar;
class QPushButton;

namespace tagsifter {

class ListView;
class ErrorReport;

/// The controls a search run works on, handed over by the window.
struct SearchControls
{
    ListView* fileList = nullptr;
    ListView* results = nullptr;
    QPushButton* button = nullptr;
    QProgressBar* progress = nullptr;
    std::function<QString()> searchText;
    WindowPointer* pointer = nullptr;
};

/// "Start Finding": walks the file list, has exiftool print each image's metadata and lists
/// every value that contains the search text. While it runs the button reads "Stop".
class SearchRun
{
public:
    SearchRun(const Platform& platform, SearchControls controls, QString exiftool = QString());

    void PushButton1_Click();
    bool isRunning() const { return m_running; }
    bool stopFlag() const { return m_stop; }
    /// Ends a run in progress and the exiftool it waits for, as the program closes.
    void abort();

    static QString noFilesMessage() { return QStringLiteral("No folders added."); }
    static QString noSearchTextMessage() { return QStringLiteral("Please enter search text."); }
    static QString doneMessage() { return QStringLiteral("Done."); }
    static QString stopCaption() { return QStringLiteral("Stop"); }
    static QString exiftoolMissingMessage();

    ExifTool& exifTool() { return m_exifTool; }
    MetadataReader& reader() { return m_reader; }
    /// Reads every image the one-shot way, one exiftool process per image.
    void setOneShot(bool oneShot) { m_oneShot = oneShot; }

private:
    void finish(ErrorReport& report, bool showDone);

    Platform m_platform;
    SearchControls m_controls;
    ExifTool m_exifTool;
    MetadataReader m_reader;
    bool m_oneShot = false;
    bool m_stop = false;
    bool m_running = false;
    QString m_savedCaption;
};

} // namespace tagsifter
