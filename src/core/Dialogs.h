#pragma once

#include <QString>
#include <QStringList>

namespace tagsifter {

/// The kind of a message box, numbered as the program has always numbered them.
enum class MessageFlags { Ok = 0, YesNo = 4, Exclamation = 48 };

/// The button that closed a message box.
enum class MessageAnswer { Ok = 1, Yes = 6, No = 7 };

/// Modal message boxes. An empty title shows the application title.
class MessageBoxService
{
public:
    virtual ~MessageBoxService() = default;
    /// Shows `text` (CR, LF and CR LF are line breaks) and returns the answer.
    virtual MessageAnswer show(const QString& text, MessageFlags flags,
                               const QString& title = QString()) = 0;
};

/// The text of a message as a Qt widget shows it: CR LF, CR and LF each become one line break.
inline QString displayText(const QString& text)
{
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

/// A one-line text prompt with a default answer; cancel gives the empty text.
class InputBoxService
{
public:
    virtual ~InputBoxService() = default;
    virtual QString ask(const QString& prompt, const QString& defaultAnswer = QString(),
                        const QString& title = QString()) = 0;
};

/// What an open dialog with several selected files returns, laid out as the Windows common
/// dialog fills its buffer: the folder, then each name. Without a folder, each name is a whole
/// path (one file, or files typed from several folders).
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
