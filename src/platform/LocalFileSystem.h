#pragma once

#include "core/FileSystem.h"

namespace tagsifter {

/// Windows wildcard matching: case-insensitive, "*" any run, "?" one character, and "*.*"
/// matches every name, with or without a dot.
bool matchesWildcard(const QString& name, const QString& pattern);

/// The listing order of an NTFS folder: names compared in upper case, code unit by code unit;
/// the same every run.
void sortListing(QStringList& names);

/// The file system of this machine.
class LocalFileSystem : public FileSystem
{
public:
    int attributes(const QString& path) const override;
    bool pathExists(const QString& path) const override;
    bool fileExists(const QString& path) const override;
    bool isRoot(const QString& path) const override;
    QStringList listFiles(const QString& folder, const QString& pattern) const override;
    QStringList listSubfolders(const QString& folder) const override;
    QStringList listFilesEnding(const QString& folder, const QByteArray& ending) const override;
    FileStamp stamp(const QString& path) const override;
    std::vector<FileStamp> stamps(const QStringList& paths) const override;
    bool removeFile(const QString& path) override;
    bool forceRemoveFile(const QString& path) override;
    std::unique_ptr<FileReplacement> replaceFile(const QString& path,
                                                 const std::function<qint64()>& size) override;
    QString currentFolder() const override;
    QString privateTempTemplate() override;
};

} // namespace tagsifter
