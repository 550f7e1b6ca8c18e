#pragma once

#include "SettingKeys.h"

#include <QString>
#include <QUrl>

namespace tagsifter {

/// Opens files, folders and web pages in the programs the desktop associates with them.
/// Started, never waited for.
class ShellService
{
public:
    virtual ~ShellService() = default;
    virtual bool openUrl(const QUrl& url) = 0;
};

/// The system clipboard. Each call may fail; the caller decides how often to retry.
class ClipboardService
{
public:
    virtual ~ClipboardService() = default;
    virtual bool clear() = 0;
    virtual bool setText(const QString& text) = 0;
};

/// The per-user settings store: text values addressed by key.
class SettingsStore
{
public:
    virtual ~SettingsStore() = default;
    /// The stored text, or `defaultValue` when the key is absent. Never creates the key.
    virtual QString read(const QString& key, const QString& defaultValue) const = 0;
    /// Stores the value at once; throws Failure when the store cannot be written.
    virtual void write(const QString& key, const QString& value) = 0;

    /// The setting's stored value, or its default.
    QString read(Setting setting) const
    {
        const SettingKey key = settingKey(setting);
        return read(QLatin1String(key.key), QLatin1String(key.defaultValue));
    }
    void write(Setting setting, const QString& value)
    {
        write(QLatin1String(settingKey(setting).key), value);
    }
};

/// Yields to the event loop so the window stays responsive during long operations.
class EventLoopService
{
public:
    virtual ~EventLoopService() = default;
    virtual void yield() = 0;
    /// Like yield(), but at most once every few milliseconds: for loops over many rows.
    virtual void yieldSometimes() = 0;
    /// Keeps the event loop running for up to `ms` milliseconds.
    virtual void wait(int ms) = 0;
};

/// yieldSometimes() on `events`, when there is an event loop to yield to.
inline void yieldSometimes(EventLoopService* events)
{
    if (events)
        events->yieldSometimes();
}

/// The random draw of start-up.
class RandomService
{
public:
    virtual ~RandomService() = default;
    /// A whole number from 1 to 100.
    virtual int draw1To100() = 0;
};

} // namespace tagsifter
