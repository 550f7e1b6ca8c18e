#pragma once

#include "core/AppTitle.h"
#include "core/Failure.h"
#include "core/SearchView.h"
#include "core/WindowPointer.h"
#include "core/WindowServices.h"
#include "platform/QtServices.h"

#include <QList>
#include <QQueue>
#include <QTemporaryDir>
#include <QUrl>

#include <functional>
#include <memory>

namespace tagsifter::test {

/// A message box that records what it was asked to show and gives queued answers (OK, or Yes
/// for a question, when none is queued).
class FakeMessages : public MessageBoxService
{
public:
    struct Shown
    {
        QString text;
        MessageFlags flags;
        QString title;
    };
    MessageAnswer show(const QString& text, MessageFlags flags, const QString& title) override
    {
        shown.append({text, flags, title.isEmpty() ? applicationTitle() : title});
        if (onShow)
            onShow(text);
        if (!answers.isEmpty())
            return answers.takeFirst();
        return flags == MessageFlags::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    }
    QStringList texts() const
    {
        QStringList all;
        for (const Shown& s : shown)
            all.append(s.text);
        return all;
    }
    QList<Shown> shown;
    QList<MessageAnswer> answers;
    std::function<void(const QString&)> onShow;
};

class FakeInput : public InputBoxService
{
public:
    QString ask(const QString& prompt, const QString& defaultAnswer, const QString& title) override
    {
        prompts.append(prompt);
        defaults.append(defaultAnswer);
        titles.append(title.isEmpty() ? applicationTitle() : title);
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    QStringList prompts, defaults, titles;
    QList<QString> answers;
};

class FakeDialogs : public FileDialogService
{
public:
    OpenFilesAnswer openFiles(const QString& title, const QString& filter) override
    {
        openTitles.append(title);
        openFilters.append(filter);
        return nextOpen;
    }
    QString saveFile(const QString& title, const QString& filter) override
    {
        saveTitles.append(title);
        saveFilters.append(filter);
        return nextSave;
    }
    QString browseFolder(const QString& title, const QString& startFolder) override
    {
        browseTitles.append(title);
        browseStarts.append(startFolder);
        return nextFolder;
    }
    OpenFilesAnswer nextOpen;
    QString nextSave, nextFolder;
    QStringList openTitles, openFilters, saveTitles, saveFilters, browseTitles, browseStarts;
};

class FakeShell : public ShellService
{
public:
    bool openUrl(const QUrl& url) override
    {
        opened.append(url);
        return true;
    }
    QList<QUrl> opened;
};

/// A clipboard that fails a given number of times before each call succeeds.
class FakeClipboard : public ClipboardService
{
public:
    bool clear() override
    {
        ++clearCalls;
        if (failuresLeft > 0) {
            --failuresLeft;
            return false;
        }
        text.clear();
        return true;
    }
    bool setText(const QString& newText) override
    {
        ++setCalls;
        if (failuresLeft > 0) {
            --failuresLeft;
            return false;
        }
        text = newText;
        return true;
    }
    int failuresLeft = 0;
    int clearCalls = 0;
    int setCalls = 0;
    QString text = QStringLiteral("before");
};

class FakeRandom : public RandomService
{
public:
    int draw1To100() override { return value; }
    int value = 1;
};

/// A spreadsheet that records every call; it can refuse to start or lose its connection.
class FakeSpreadsheet : public SpreadsheetService
{
public:
    struct Log
    {
        QStringList calls;
        /// From this many cells on, every call fails: the connection is lost.
        int failAfterCells = -1;
        /// This one cell (counted from 1) fails; the calls after it work.
        int failOnCell = -1;
        int cells = 0;
    };
    class Document : public SpreadsheetDocument
    {
    public:
        explicit Document(Log& log) : m_log(log) {}
        void setCellText(int row, int column, const QString& text) override
        {
            failWhenLost();
            if (m_log.cells + 1 == m_log.failOnCell)
                throw Failure(QStringLiteral("The cell could not be written."));
            ++m_log.cells;
            m_log.calls.append(QStringLiteral("cell %1,%2=%3").arg(row).arg(column).arg(text));
        }
        void fitColumns() override
        {
            failWhenLost();
            m_log.calls.append(QStringLiteral("fit"));
        }
        void show() override
        {
            failWhenLost();
            m_log.calls.append(QStringLiteral("show"));
        }

    private:
        void failWhenLost() const
        {
            if (m_log.failAfterCells >= 0 && m_log.cells >= m_log.failAfterCells)
                throw Failure(QStringLiteral("The connection to the spreadsheet was lost."));
        }
        Log& m_log;
    };
    bool probe() override
    {
        log.calls.append(QStringLiteral("probe"));
        return available;
    }
    std::unique_ptr<SpreadsheetDocument> newDocument() override
    {
        log.calls.append(QStringLiteral("new"));
        if (!available)
            throw Failure(QStringLiteral("Cannot start"));
        return std::make_unique<Document>(log);
    }
    bool available = true;
    Log log;
};

/// Every service a subsystem may ask for: fakes at the dialogs, shell, clipboard, random draw
/// and spreadsheet; the real file system, processes, event loop, and settings in a private file.
class FakeServices
{
public:
    FakeServices()
        : settingsFile(configDir.path() + QStringLiteral("/settings.ini")), settings(settingsFile)
    {
    }
    /// What the search, exiftool and the terminal are handed.
    SystemServices system()
    {
        SystemServices s;
        s.files = &files;
        s.processes = &processes;
        s.settings = &settings;
        s.events = &events;
        return s;
    }
    /// What the window's subsystems are handed.
    WindowServices window()
    {
        WindowServices w;
        w.system = system();
        w.user.messages = &messages;
        w.user.input = &input;
        w.user.dialogs = &dialogs;
        w.desktop.shell = &shell;
        w.desktop.clipboard = &clipboard;
        w.desktop.spreadsheet = &spreadsheet;
        w.random = &random;
        return w;
    }

    QTemporaryDir configDir;
    QString settingsFile;
    FakeMessages messages;
    FakeInput input;
    FakeDialogs dialogs;
    FakeShell shell;
    FakeClipboard clipboard;
    QtSettingsStore settings;
    QtProcessService processes;
    FakeSpreadsheet spreadsheet;
    LocalFileSystem files;
    QtEventLoop events;
    FakeRandom random;
};

/// A window pointer without a window.
class FakePointer : public WindowPointer
{
public:
    Pointer mousePointer() const override { return mode; }
    void setMousePointer(Pointer newMode) override
    {
        mode = newMode;
        history.append(newMode);
    }
    Pointer mode = Pointer::Default;
    QList<Pointer> history;
};

/// A search view without a window: what the run showed, in order.
class FakeSearchView : public SearchView
{
public:
    bool isRunning() const override { return running; }
    void setRunning(bool on) override
    {
        running = on;
        runningHistory.append(on);
    }
    void showProgress(int newValue, const QString& newText) override
    {
        value = newValue;
        text = newText;
        if (onProgress)
            onProgress();
    }
    bool running = false;
    QList<bool> runningHistory;
    int value = 0;
    QString text = idleText();
    std::function<void()> onProgress;
};

/// Writes a file with `content`, making its folders.
void writeFile(const QString& path, const QByteArray& content = QByteArray("x"));
/// The folder of real camera JPEGs kept with the tests (tests/data/corpus).
QString corpusFolder();
/// The project's Samples folder.
QString samplesFolder();

} // namespace tagsifter::test
