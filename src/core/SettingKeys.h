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
    /// "1" when the search box holds a query (the "Query" check box is ticked).
    QueryMode,
    /// "0" leaves the XMP sidecars beside the images out of a search.
    Sidecars,
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
    case Setting::Sidecars:
        return {"Sidecars", "1"};
    case Setting::QueryMode:
        return {"Query", "0"};
    case Setting::MemoryCacheMB:
        return {"MemoryCacheMB", "64"};
    case Setting::DiskCacheMB:
        return {"DiskCacheMB", "1024"};
    }
    return {"", ""};
}

} // namespace tagsifter
