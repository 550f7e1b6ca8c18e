#pragma once

#include "LocalFileSystem.h"
#include "core/Spreadsheet.h"
#include "core/SystemServices.h"

#include <QElapsedTimer>
#include <QSettings>

#include <memory>

namespace tagsifter {

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
                                         const QByteArray& input, const QString& outputFile,
                                         const QString& workingDirectory) override;
    std::unique_ptr<SessionChannel> startSession(const QString& program,
                                                 const QStringList& arguments,
                                                 const QString& workingDirectory,
                                                 Priority priority = Priority::Normal) override;
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

/// Owns the services that need no display, for the terminal and for the window's search:
/// settings, processes, the file system and the event loop, with the user's dump cache file.
/// Messages, dialogs, the clipboard and the shell are not there.
class QtSystemServices
{
public:
    QtSystemServices();
    Q_DISABLE_COPY_MOVE(QtSystemServices)
    SystemServices system();

private:
    QtSettingsStore m_settings;
    QtProcessService m_processes;
    LocalFileSystem m_files;
    QtEventLoop m_events;
};

/// The cache file of exiftool's dumps for this user, in the platform's cache folder.
QString dumpCacheFile();

} // namespace tagsifter
