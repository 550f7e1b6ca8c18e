#pragma once

#include <QString>
#include <QStringList>

namespace tagsifter {

// Message box flags and answers, as the program has always used them.
namespace MessageFlags {
constexpr int Ok = 0;
constexpr int YesNo = 4;
constexpr int Exclamation = 48;
} // namespace MessageFlags

namespace MessageAnswer {
constexpr int Ok = 1;
constexpr int Yes = 6;
constexpr int No = 7;
} // namespace MessageAnswer

/// Modal message boxes. An empty title shows the application title.
class MessageBoxService
{
public:
    virtual ~MessageBoxService() = default;
    /// Shows `text` (CR, LF and CR LF are line breaks) and returns the answer.
    virtual int show(const QString& text, int flags, const QString& title = QString()) = 0;
};

/// A one-line text prompt with a default answer; cancel gives the empty text.
class InputBoxService
{
public:
    virtual ~InputBoxService() = default;
    virtual QString ask(const QString& prompt, const QString& defaultAnswer = QString(),
                        const QString& title = QString()) = 0;
};

/// What an open dialog with several selected files returns, laid out as the Windows common
/// dialog fills its buffer: the folder, then each name.
struct OpenFilesAnswer
{
    QString folder;
    QStringList names;
};

/// The file dialogs and the folder browser.
class FileDialogService
{
public:
    virtual ~FileDialogService() = default;
    /// Multi-select open dialog; empty `names` when cancelled.
    virtual OpenFilesAnswer openFiles(const QString& title, const QString& filter) = 0;
    /// Save dialog; the empty text when cancelled.
    virtual QString saveFile(const QString& title, const QString& filter) = 0;
    /// Folder browser opening at `startFolder` (may be empty); the empty text when cancelled.
    virtual QString browseFolder(const QString& title, const QString& startFolder) = 0;
};

} // namespace tagsifter
