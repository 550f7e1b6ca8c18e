#pragma once

#include "core/WindowServices.h"
#include "platform/QtServices.h"

#include <QPointer>
#include <QWidget>

#include <memory>

namespace tagsifter {

class QtMessageBox : public MessageBoxService
{
public:
    explicit QtMessageBox(QWidget* owner = nullptr) : m_owner(owner) {}
    void setOwner(QWidget* owner) { m_owner = owner; }
    MessageAnswer show(const QString& text, MessageFlags flags, const QString& title) override;

private:
    QPointer<QWidget> m_owner;
};

class QtInputBox : public InputBoxService
{
public:
    explicit QtInputBox(QWidget* owner = nullptr) : m_owner(owner) {}
    void setOwner(QWidget* owner) { m_owner = owner; }
    QString ask(const QString& prompt, const QString& defaultAnswer, const QString& title) override;

private:
    QPointer<QWidget> m_owner;
};

class QtFileDialogs : public FileDialogService
{
public:
    explicit QtFileDialogs(QWidget* owner = nullptr) : m_owner(owner) {}
    void setOwner(QWidget* owner) { m_owner = owner; }
    OpenFilesAnswer openFiles(const QString& title, const QString& filter) override;
    QString saveFile(const QString& title, const QString& filter) override;
    QString browseFolder(const QString& title, const QString& startFolder) override;

private:
    QPointer<QWidget> m_owner;
};

class QtShell : public ShellService
{
public:
    bool openUrl(const QUrl& url) override;
};

class QtClipboard : public ClipboardService
{
public:
    bool clear() override;
    bool setText(const QString& text) override;
};

/// Owns one of each real service the window hands out: the display-free ones as the terminal
/// has them, the user's dialogs, the desktop's programs and the start-up draw.
class QtWindowServices
{
public:
    QtWindowServices();
    ~QtWindowServices();
    Q_DISABLE_COPY_MOVE(QtWindowServices)
    /// Dialogs and message boxes are owned by `window` from now on.
    void setOwner(QWidget* window);
    WindowServices window();

private:
    QtMessageBox m_messages;
    QtInputBox m_input;
    QtFileDialogs m_dialogs;
    QtShell m_shell;
    QtClipboard m_clipboard;
    /// The services that need no display, as the terminal has them.
    QtSystemServices m_system;
    std::unique_ptr<SpreadsheetService> m_spreadsheet;
    QtRandom m_random;
};

/// LibreOffice Calc when the module that drives it is found in one of `folders` and loads (it
/// needs LibreOffice's libraries), else a service whose probe says that none is available.
std::unique_ptr<SpreadsheetService> loadSpreadsheetService(const QStringList& folders);
/// The same, looking beside the executable and in the installed module folder
/// (lib/ARCHITECTURE/tagsifter, or lib/tagsifter).
std::unique_ptr<SpreadsheetService> makeSpreadsheetService();

} // namespace tagsifter
