#pragma once

#include <QString>

namespace tagsifter {

/// The settings the program keeps, each stored under its key in the Tagsifter group.
enum class Setting {
    /// The last extension typed for "Add All JPEG File(s) In Folder".
    Extension,
    /// The folder the folder browser last returned.
    LastFolder,
    /// The scrambled paths of the sample files, recorded at first start.
    Snapshot,
    /// Megabytes of dumps kept in memory.
    MemoryCacheMB,
    /// Megabytes of dumps kept in the cache file across starts; 0 keeps none.
    DiskCacheMB,
};

struct SettingKey
{
    const char* key;
    const char* defaultValue;
};

/// Every setting's key and the value it has while it was never stored.
inline SettingKey settingKey(Setting setting)
{
    switch (setting) {
    case Setting::Extension:
        return {"Extension", "jpg"};
    case Setting::LastFolder:
        return {"LastFolder", ""};
    case Setting::Snapshot:
        return {"Snapshot", ""};
    case Setting::MemoryCacheMB:
        return {"MemoryCacheMB", "64"};
    case Setting::DiskCacheMB:
        return {"DiskCacheMB", "1024"};
    }
    return {"", ""};
}

} // namespace tagsifter
