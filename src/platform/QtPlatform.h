#pragma once

#include "Platform.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSettings>
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

/// Settings under organisation "Brimvale", group "Tagsifter": an INI file in the user's
/// configuration folder, or the file given (tests keep theirs private).
class QtSettingsStore : public SettingsStore
{
public:
    QtSettingsStore();
    explicit QtSettingsStore(const QString& iniFile);
    using SettingsStore::read;
    using SettingsStore::write;
    QString read(const QString& key, const QString& defaultValue) const override;
    void write(const QString& key, const QString& value) override;

private:
    std::unique_ptr<QSettings> m_settings;
};

class QtProcessService : public ProcessService
{
public:
    QString findExecutable(const QString& name) const override;
    std::unique_ptr<ProcessHandle> start(const QString& program, const QStringList& arguments,
                                         const QByteArray& input,
                                         const QString& outputFile) override;
    std::unique_ptr<SessionChannel> startSession(const QString& program,
                                                 const QStringList& arguments) override;
};

class QtEventLoop : public EventLoopService
{
public:
    QtEventLoop();
    void yield() override;
    void yieldSometimes() override;
    void wait(int ms) override;

private:
    QElapsedTimer m_sinceYield;
};

class QtRandom : public RandomService
{
public:
    int draw1To100() override;
};

/// Stands in where no spreadsheet application can be driven: the probe says so.
class UnavailableSpreadsheet : public SpreadsheetService
{
public:
    bool probe() override { return false; }
    std::unique_ptr<SpreadsheetDocument> newDocument() override;
};

/// Owns one of each real service and hands them out as a Platform.
class QtPlatform
{
public:
    QtPlatform();
    ~QtPlatform();
    Q_DISABLE_COPY_MOVE(QtPlatform)
    /// Dialogs and message boxes are owned by `window` from now on.
    void setOwner(QWidget* window);
    Platform platform();

private:
    QtMessageBox m_messages;
    QtInputBox m_input;
    QtFileDialogs m_dialogs;
    QtShell m_shell;
    QtClipboard m_clipboard;
    QtSettingsStore m_settings;
    QtProcessService m_processes;
    std::unique_ptr<SpreadsheetService> m_spreadsheet;
    LocalFileSystem m_files;
    QtEventLoop m_events;
    QtRandom m_random;
};

/// LibreOffice Calc when the module that drives it is found in one of `folders` and loads (it
/// needs LibreOffice's libraries), else a service whose probe says that none is available.
std::unique_ptr<SpreadsheetService> loadSpreadsheetService(const QStringList& folders);
/// The same, looking beside the executable and in the installed lib/tagsifter folder.
std::unique_ptr<SpreadsheetService> makeSpreadsheetService();

} // namespace tagsifter
