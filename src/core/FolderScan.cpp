#include "FolderScan.h"

#include "core/ErrorReport.h"
#include "core/Failure.h"
#include "core/PathRules.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace tagsifter {

namespace {

// Hidden + system folders (and such links) are left out with their subtree; a hidden +
// archive file is left out. Other hidden entries are kept.
constexpr int kHiddenSystemFolder = Attribute::Directory | Attribute::Hidden | Attribute::System;
constexpr int kHiddenSystemLink = kHiddenSystemFolder | Attribute::ReparsePoint;
constexpr int kHiddenArchiveFile = Attribute::Hidden | Attribute::Archive;

// This platform's limits: 4096 bytes for a path, 255 for a name.
constexpr int kMaxPathBytes = 4096;
constexpr int kMaxNameBytes = 255;

bool tooLong(const QString& text, int limit)
{
    return text.toUtf8().size() >= limit;
}

bool usableFolderName(const QString& name)
{
    // "?" is a legal character here: every name can be held, so none stands for a lost one.
    return !tooLong(name, kMaxNameBytes + 1) && !HasOddCharacters(name) &&
           name != QLatin1String(".") && name != QLatin1String("..");
}

} // namespace

FolderScan::FolderScan(const SystemServices& system, MessageBoxService& messages, FileSink addFile)
    : m_system(system), m_messages(&messages), m_addFile(std::move(addFile))
{
}

FolderScan::FolderScan(const SystemServices& system, ErrorReport::Handler failures,
                       FileSink addFile)
    : m_system(system), m_failures(std::move(failures)), m_addFile(std::move(addFile))
{
    Q_ASSERT_X(m_failures, "FolderScan", "a scan that shows nothing needs where to tell failures");
}

QString FolderScan::scanLocation()
{
    return QStringLiteral("OstrivaneTitle2021/08/31.AddFolder.GetSubDirectories2016");
}

int FolderScan::attributesOrZero(const QString& path) const
{
    try {
        return m_system.files->attributes(path);
    } catch (const Failure&) {
        return 0;
    }
}

bool FolderScan::isHiddenSystemFolder(const QString& folder) const
{
    const int attributes = m_system.files->attributes(folder);
    return !m_system.files->isRoot(folder) &&
           (attributes == kHiddenSystemFolder || attributes == kHiddenSystemLink);
}

bool FolderScan::IsFolder(const QString& path) const
{
    return (attributesOrZero(path) & Attribute::Directory) != 0;
}

QStringList FolderScan::ListFiles(const QString& folder, const QString& pattern) const
{
    const QString dir = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    return m_system.files->listFiles(dir, pattern);
}

void FolderScan::CollectFolderTree(const QString& topFolder, const QString& pattern)
{
    QStringList folders{topFolder + QLatin1Char('/')};
    GetSubDirectories2016(folders, true);
    // The folders' files are listed on every core, a run of folders at a time, and taken in
    // the folders' order: what a listing throws is thrown where the folder's turn comes.
    struct Listing
    {
        QStringList names;
        std::exception_ptr failure;
    };
    std::vector<Listing> listings;
    for (qsizetype start = 0; start < folders.size(); start += kListingRun) {
        const qsizetype count = std::min<qsizetype>(kListingRun, folders.size() - start);
        listings.assign(static_cast<size_t>(count), Listing());
        forEachOnCores(count, [&](qsizetype k) {
            const QString& entry = folders.at(start + k);
            Listing& listing = listings[static_cast<size_t>(k)];
            try {
                listing.names = ListFiles(entry.left(entry.size() - 1), pattern);
            } catch (...) {
                listing.failure = std::current_exception();
            }
        });
        for (qsizetype k = 0; k < count; ++k)
            addFiles(folders.at(start + k), listings[static_cast<size_t>(k)].names,
                     listings[static_cast<size_t>(k)].failure);
    }
}

void FolderScan::addFiles(const QString& entry, const QStringList& names,
                          const std::exception_ptr& failure)
{
    const QString folder = entry.left(entry.size() - 1);
    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const Failure& listingFailure) {
            // A folder that vanished or may not be read since it was found is told of to a
            // search; the others are still walked.
            if (!m_failures)
                throw;
            m_failures(0, listingFailure.description(), listingFailure.code());
            return;
        }
    }
    for (const QString& name : names) {
        if (name.startsWith(QLatin1Char('~')))
            continue;
        const QString path = folder + QLatin1Char('/') + name;
        // ListFiles has just checked that the file exists. Only a name starting with "."
        // is hidden, so only such a name can be the hidden + archive file left out.
        if (name.startsWith(QLatin1Char('.')) && attributesOrZero(path) == kHiddenArchiveFile)
            continue;
        m_addFile(CollapseBackslashes(path));
    }
}

void FolderScan::forEachOnCores(qsizetype count, const std::function<void(qsizetype)>& work)
{
    const qsizetype threads =
        std::min<qsizetype>(std::max(1u, std::thread::hardware_concurrency()), count / 8 + 1);
    std::vector<std::thread> helpers;
    const auto share = [&](qsizetype first) {
        for (qsizetype k = first; k < count; k += threads)
            work(k);
    };
    for (qsizetype t = 1; t < threads; ++t)
        helpers.emplace_back(share, t);
    share(0);
    for (std::thread& helper : helpers)
        helper.join();
}

void FolderScan::GetSubDirectories2016(QStringList& folders, bool recursive)
{
    ErrorReport report =
        m_failures ? ErrorReport(m_failures) : ErrorReport(*m_messages, scanLocation());
    QStringList found;
    for (int i = 0; i < folders.size(); ++i) {
        const QString d = folders.at(i);
        if (!report.value(
                100, [&] { return IsFolder(d); }, true))
            continue;
        if (tooLong(d, kMaxPathBytes))
            continue;
        m_system.events->yieldSometimes();
        const bool skipped = report.value(
            102, [&] { return isHiddenSystemFolder(d); }, false);
        if (skipped)
            continue;
        try {
            const QStringList names = m_system.files->listSubfolders(d);
            for (const QString& name : names) {
                m_system.events->yieldSometimes();
                if (usableFolderName(name))
                    found.append(d + name + QLatin1Char('/'));
            }
        } catch (const Failure& failure) {
            // A folder that may not be read or has vanished leaves the scan, files and all:
            // silently in the window, told to a search that reports what it could not walk.
            if (failure.code() == ErrorCode::PermissionDenied ||
                failure.code() == ErrorCode::PathNotFound) {
                if (m_failures)
                    m_failures(0, failure.description(), failure.code());
                const int at = folders.indexOf(d);
                if (at >= 0) {
                    folders.removeAt(at);
                    if (at <= i)
                        --i;
                }
            }
        }
    }
    if (recursive && !found.isEmpty())
        GetSubDirectories2016(found, true);
    for (const QString& s : std::as_const(found)) {
        report.line(104, [&] {
            if (!IsFolder(s))
                return;
            m_system.events->yieldSometimes();
            if (!isHiddenSystemFolder(s))
                folders.append(s);
        });
    }
}

} // namespace tagsifter
