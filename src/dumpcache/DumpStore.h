#pragma once

#include "core/FileStamp.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QSqlQuery;

namespace tagsifter {

/// The dumps kept across starts of the program: an SQLite file under the user's cache folder,
/// shared by every window and terminal search of the user (WAL). A dump is found only for the
/// same path bytes, size, modification and status-change times, inode and device, and the same
/// exiftool (its version and its configuration file), so it never stands for other text. Dumps
/// are compressed, written a batch at a time as the search goes (a program that is killed keeps
/// what it wrote), and the least recently used go once the file is over its limit. A file that
/// is damaged is moved aside and made anew; one that cannot be used at all is passed by: the
/// search then reads through exiftool as ever, and nothing is said. A folder that others may
/// change, or a link or another user's file where the file goes, is passed by too, untouched,
/// with one warning.
class DumpStore
{
public:
    /// `file` is the database; `tool` names the exiftool whose dumps it serves and files (none:
    /// nothing is found or filed until it is set).
    DumpStore(QString file, QString tool, qint64 limitBytes = kDefaultLimitBytes);
    explicit DumpStore(QString file, qint64 limitBytes)
        : DumpStore(std::move(file), QString(), limitBytes)
    {
    }
    void setTool(const QString& tool) { m_tool = tool; }
    /// The version the exiftool at `program` last gave while its file had `stamp`.
    QString knownVersion(const QString& program, const QString& stamp);
    void rememberVersion(const QString& program, const QString& stamp, const QString& version);
    /// What `tool` said of its tag names when last asked (TagVocabulary's bytes).
    std::optional<QByteArray> knownTagNames(const QString& tool);
    void rememberTagNames(const QString& tool, const QByteArray& names);
    /// The tags of the `sample` dumps used last, each with the number of those dumps that
    /// hold it.
    QHash<QString, int> tagsInUse(int sample);
    ~DumpStore();
    DumpStore(const DumpStore&) = delete;
    DumpStore& operator=(const DumpStore&) = delete;

    static constexpr qint64 kDefaultLimitBytes = 1LL << 30;
    /// How the dumps are stored (zstd frames with the dictionary of DumpDictionary.inc); part of
    /// the key, so that entries stored another way (zlib's, "z1") are never read.
    static constexpr char kFormat[] = "zs1";
    /// The layout of the file's tables. A file of a later layout (a newer program's) is
    /// passed by, untouched.
    /// 2: exiftool's tag names kept beside the dumps.
    static constexpr int kSchemaVersion = 2;
    /// The WAL file is cut back to this after a checkpoint.
    static constexpr qint64 kWalLimitBytes = 4LL << 20;
    /// How long opening waits for another program that is opening the same file.
    static constexpr int kOpenWaitMs = 3000;
    /// Dumps wait to be written until this many have come, of this many bytes, or for this
    /// long: a program killed while it reads keeps all but the last batch.
    static constexpr int kBatch = 200;
    static constexpr qint64 kBatchBytes = 8LL << 20;
    static constexpr int kBatchMs = 2000;

    bool isUsable() const { return m_usable; }
    std::optional<QByteArray> find(const QString& path, const FileStamp& stamp);
    /// Reads the file once from end to end, in its own order, and hands `found` the compressed
    /// dump of each of `wanted` (path bytes to the index of the image and its stamp now) that is
    /// kept under that stamp for the exiftool set with setTool: how a search over a whole
    /// library reads it, instead of one query an image.
    /// Without `withDumps`, only which are kept is told (an empty dump each), which reads
    /// little of the file.
    void scan(const QHash<QByteArray, std::pair<int, FileStamp>>& wanted,
              const std::function<void(int index, QByteArray compressed)>& found,
              bool withDumps = true);
    /// About how many dumps the file holds (its largest row number), at once.
    qint64 rowEstimate();
    /// A dump as scan hands it, made readable again into `dump`, whose room is used again
    /// when it has enough; false when it is damaged. Any thread.
    static bool inflateInto(const QByteArray& compressed, QByteArray& dump);
    /// Files the dump of `path` under the exiftool set with setTool, or under `tool` when given.
    void insert(const QString& path, const FileStamp& stamp, const QByteArray& dump,
                const QString& tool = QString());
    /// Writes the dumps waiting, and trims the file to its limit.
    void flush();
    /// The bytes the compressed dumps take, and their number.
    qint64 storedBytes();
    int storedCount();

private:
    bool open();
    void disable();
    /// Takes note of a failed query: a damaged file is given up.
    void failed(const QSqlQuery& query);
    /// Trims the file to its limit: the least recently used dumps go, and the pages they took
    /// are given back.
    void trim();
    /// The value of `PRAGMA name`, or -1.
    qint64 pragma(const QString& name);
    /// The size of the file: its pages.
    qint64 fileBytes();
    /// Sums what the dumps take into m_storedAtMost; false when the file cannot be read.
    bool sumStored();

    QString m_file;
    QString m_tool;
    qint64 m_limit;
    QString m_connection;
    std::unique_ptr<QSqlQuery> m_find;
    bool m_usable = false;
    bool m_damaged = false;
    /// What the dumps count, summed when the file is over its limit, and counted up by what
    /// is written since (a replaced or trimmed dump only makes it less).
    std::optional<qint64> m_storedAtMost;
    struct Pending
    {
        QByteArray path;
        FileStamp stamp;
        QString tool;
        /// The dump as exiftool printed it until the batch goes out, then compressed.
        QByteArray dump;
    };
    std::vector<Pending> m_pending;
    qint64 m_pendingBytes = 0;
    /// Whether the file held no dump when find() first looked: then only the dumps this
    /// program wrote since are looked for, known by their paths' hashes.
    bool m_emptyKnown = false;
    bool m_startedEmpty = false;
    QSet<size_t> m_written;
    std::vector<QByteArray> m_used;
    QElapsedTimer m_sinceFlush;
};

} // namespace tagsifter
