#include "DumpStore.h"

#include "core/FileNameBytes.h"
#include "core/PrivateFolder.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QScopeGuard>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QVariant>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zstd.h>

namespace tagsifter {

namespace {

std::atomic<int> g_connections{0};

// Small texts compress poorly alone; with the tag names exiftool prints most as a preset
// dictionary, a dump takes about a third of its size.
constexpr char kDictionary[] =
#include "DumpDictionary.inc"
    ;
// Level 6 makes dumps within a third of a percent of level 9's size in about 60% of its time
// (30 against 48 microseconds a dump here), and a first search shares the processor with
// exiftool.
constexpr int kCompressionLevel = 6;

// The dictionary's digested forms, made once and shared by every thread.
const ZSTD_CDict* compressionDictionary()
{
    static const std::unique_ptr<ZSTD_CDict, size_t (*)(ZSTD_CDict*)> dictionary(
        ZSTD_createCDict(kDictionary, sizeof kDictionary - 1, kCompressionLevel), ZSTD_freeCDict);
    return dictionary.get();
}

const ZSTD_DDict* decompressionDictionary()
{
    static const std::unique_ptr<ZSTD_DDict, size_t (*)(ZSTD_DDict*)> dictionary(
        ZSTD_createDDict(kDictionary, sizeof kDictionary - 1), ZSTD_freeDDict);
    return dictionary.get();
}

// zstd with a dictionary: a third of a dump's size, and read back several times faster than
// zlib's form, which a search of a whole library spends most of its time on. Each frame keeps
// its content's checksum, so a damaged dump is never taken for text.
QByteArray deflated(const QByteArray& data)
{
    thread_local const std::unique_ptr<ZSTD_CCtx, size_t (*)(ZSTD_CCtx*)> context(ZSTD_createCCtx(),
                                                                                  ZSTD_freeCCtx);
    const ZSTD_CDict* dictionary = compressionDictionary();
    if (!context || !dictionary)
        return QByteArray();
    ZSTD_CCtx_reset(context.get(), ZSTD_reset_session_and_parameters);
    ZSTD_CCtx_setParameter(context.get(), ZSTD_c_checksumFlag, 1);
    ZSTD_CCtx_refCDict(context.get(), dictionary);
    QByteArray out(static_cast<qsizetype>(ZSTD_compressBound(static_cast<size_t>(data.size()))),
                   Qt::Uninitialized);
    const size_t size = ZSTD_compress2(context.get(), out.data(), static_cast<size_t>(out.size()),
                                       data.constData(), static_cast<size_t>(data.size()));
    if (ZSTD_isError(size))
        return QByteArray();
    out.truncate(static_cast<qsizetype>(size));
    return out;
}

bool inflatedInto(const QByteArray& data, QByteArray& out)
{
    const unsigned long long size =
        ZSTD_getFrameContentSize(data.constData(), static_cast<size_t>(data.size()));
    if (size == ZSTD_CONTENTSIZE_ERROR || size == ZSTD_CONTENTSIZE_UNKNOWN || size > (256u << 20))
        return false;
    thread_local const std::unique_ptr<ZSTD_DCtx, size_t (*)(ZSTD_DCtx*)> context(ZSTD_createDCtx(),
                                                                                  ZSTD_freeDCtx);
    const ZSTD_DDict* dictionary = decompressionDictionary();
    if (!context || !dictionary)
        return false;
    out.resize(static_cast<qsizetype>(size));
    const size_t got =
        ZSTD_decompress_usingDDict(context.get(), out.data(), static_cast<size_t>(size),
                                   data.constData(), static_cast<size_t>(data.size()), dictionary);
    return !ZSTD_isError(got) && got == size;
}

std::optional<QByteArray> inflated(const QByteArray& data)
{
    QByteArray out;
    if (!inflatedInto(data, out))
        return std::nullopt;
    return out;
}

bool run(QSqlQuery& query, const QString& statement)
{
    return query.exec(statement);
}

bool isDamage(const QSqlQuery& query)
{
    const QString error = query.lastError().text().toLower();
    return error.contains(QLatin1String("not a database")) ||
           error.contains(QLatin1String("malformed")) || error.contains(QLatin1String("corrupt"));
}

/// True when the row's size, times, inode and device (columns from `first` on) are `stamp`'s.
bool keptUnder(const QSqlQuery& query, int first, const FileStamp& stamp)
{
    return query.value(first).toLongLong() == stamp.size &&
           query.value(first + 1).toLongLong() == stamp.modifiedNs &&
           query.value(first + 2).toLongLong() == stamp.changedNs &&
           query.value(first + 3).toULongLong() == stamp.inode &&
           query.value(first + 4).toULongLong() == stamp.device;
}

/// Says once in the life of the program why `problem`'s cache file is not used.
void warnOnce(const QString& problem)
{
    static QMutex mutex;
    static QSet<QString> said;
    const QMutexLocker lock(&mutex);
    if (!said.contains(problem)) {
        said.insert(problem);
        qWarning().noquote()
            << QStringLiteral("tagsifter: %1; the disk cache is not used").arg(problem);
    }
}

bool isBusy(const QSqlQuery& query)
{
    // SQLITE_BUSY and SQLITE_LOCKED
    const QString code = query.lastError().nativeErrorCode();
    return code == QLatin1String("5") || code == QLatin1String("6");
}

} // namespace

DumpStore::DumpStore(QString file, QString tool, qint64 limitBytes)
    : m_file(std::move(file)), m_tool(std::move(tool)), m_limit(limitBytes),
      m_connection(QStringLiteral("tagsifter-dumps-%1").arg(++g_connections))
{
    m_sinceFlush.start();
    if (m_limit > 0 && !m_file.isEmpty() && !open() && m_damaged) {
        // A damaged file is moved aside and made anew, once; a locked or unreadable one is
        // passed by, as another program may be using it.
        QSqlDatabase::removeDatabase(m_connection);
        const QString aside = m_file + QStringLiteral(".damaged");
        QFile::remove(aside);
        if (QFileInfo(m_file).isFile() && QFile::rename(m_file, aside)) {
            QFile::remove(m_file + QStringLiteral("-wal"));
            QFile::remove(m_file + QStringLiteral("-shm"));
            if (!open())
                disable();
        } else {
            disable();
        }
    }
}

DumpStore::~DumpStore()
{
    flush();
    m_find.reset();
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

namespace {

/// Makes `file` (and its folder) the user's alone, creating it when it is missing; false, and
/// nothing touched, when it or its folder is not the user's own.
bool ownPrivateFile(const QString& file)
{
    // Every image's metadata is in this file (places, owners, serial numbers): the folder and
    // the file are the user's alone, whatever the umask. SQLite gives its -wal and -shm files
    // the file's permissions.
    const QString folder = QFileInfo(file).absolutePath();
    if (!makePrivateFolder(folder))
        return false;
    // A folder that someone else can change, or a link or another user's file where the file
    // goes, could put the user's metadata where others read it or make the program write
    // elsewhere: it is passed by, and nothing in it is touched.
    QString problem = privateFolderProblem(folder);
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        if (problem.isEmpty())
            problem = privateFileProblem(file + suffix);
    }
    if (!problem.isEmpty()) {
        warnOnce(problem);
        return false;
    }
    ::chmod(encodeFileName(folder).constData(), S_IRWXU);
    const int fd = ::open(encodeFileName(file).constData(),
                          O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0)
        return false;
    struct stat info
    {
    };
    const bool own = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid();
    if (own)
        ::fchmod(fd, S_IRUSR | S_IWUSR);
    ::close(fd);
    if (!own)
        return false;
    return true;
}

} // namespace

bool DumpStore::open()
{
    if (!ownPrivateFile(m_file))
        return false;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_file);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=3000"));
    if (!db.isValid() || !db.open())
        return false;
    QSqlQuery query(db);
    // A cheap look at the file, not a check of every page: that would take seconds for a
    // large cache at every start. Damage found later has the file moved aside then.
    if (!run(query, QStringLiteral("SELECT COUNT(*) FROM sqlite_master")) || !query.next()) {
        m_damaged = isDamage(query);
        db.close();
        return false;
    }
    query.finish();
    // Two programs that open a new file at the same moment meet a lock that SQLite's busy
    // wait does not cover (the switch to WAL): the steps are tried again for a while.
    QDeadlineTimer deadline(kOpenWaitMs);
    m_emptyKnown = false;
    m_written.clear();
    do {
        int schema = -1;
        m_usable =
            // Free pages go back to the file system (a new file; an older one is vacuumed the
            // first time it is trimmed), and the WAL file is cut back after checkpoints.
            run(query, QStringLiteral("PRAGMA auto_vacuum=INCREMENTAL")) &&
            run(query, QStringLiteral("PRAGMA journal_mode=WAL")) &&
            run(query, QStringLiteral("PRAGMA synchronous=NORMAL")) &&
            run(query, QStringLiteral("PRAGMA journal_size_limit=%1").arg(kWalLimitBytes)) &&
            run(query, QStringLiteral("CREATE TABLE IF NOT EXISTS dumps (path BLOB PRIMARY KEY, "
                                      "size INTEGER, mtime INTEGER, ctime INTEGER, inode INTEGER, "
                                      "device INTEGER, tool TEXT, dump BLOB, bytes INTEGER, "
                                      "used INTEGER)")) &&
            run(query, QStringLiteral("CREATE INDEX IF NOT EXISTS dumps_used ON dumps (used)")) &&
            run(query, QStringLiteral("CREATE TABLE IF NOT EXISTS tools (program BLOB PRIMARY "
                                      "KEY, stamp TEXT, version TEXT)")) &&
            run(query, QStringLiteral("CREATE TABLE IF NOT EXISTS tagnames (tool TEXT PRIMARY "
                                      "KEY, names BLOB)")) &&
            run(query, QStringLiteral("PRAGMA user_version")) && query.next() &&
            // A file of a later layout is a newer program's: passed by, untouched.
            ((schema = query.value(0).toInt()), query.finish(), schema <= kSchemaVersion) &&
            (schema == kSchemaVersion ||
             run(query, QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion)));
        if (m_usable || !isBusy(query))
            break;
        query.finish();
        QThread::msleep(10);
    } while (!deadline.hasExpired());
    if (!m_usable)
        db.close();
    return m_usable;
}

QString DumpStore::knownVersion(const QString& program, const QString& stamp)
{
    if (!m_usable)
        return QString();
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("SELECT version FROM tools WHERE program = ? AND stamp = ?"));
    query.addBindValue(encodeFileName(program));
    query.addBindValue(stamp);
    return query.exec() && query.next() ? query.value(0).toString() : QString();
}

void DumpStore::rememberVersion(const QString& program, const QString& stamp,
                                const QString& version)
{
    if (!m_usable || version.isEmpty())
        return;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("INSERT OR REPLACE INTO tools (program, stamp, version) "
                                 "VALUES (?, ?, ?)"));
    query.addBindValue(encodeFileName(program));
    query.addBindValue(stamp);
    query.addBindValue(version);
    query.exec();
}

std::optional<QByteArray> DumpStore::knownTagNames(const QString& tool)
{
    if (!m_usable)
        return std::nullopt;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("SELECT names FROM tagnames WHERE tool = ?"));
    query.addBindValue(tool);
    if (!query.exec() || !query.next())
        return std::nullopt;
    const QByteArray names = qUncompress(query.value(0).toByteArray());
    return names.isEmpty() ? std::nullopt : std::optional<QByteArray>(names);
}

void DumpStore::rememberTagNames(const QString& tool, const QByteArray& names)
{
    if (!m_usable)
        return;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("INSERT OR REPLACE INTO tagnames (tool, names) VALUES (?, ?)"));
    query.addBindValue(tool);
    query.addBindValue(qCompress(names));
    query.exec();
}

QHash<QString, int> DumpStore::tagsInUse(int sample)
{
    QHash<QString, int> counts;
    if (!m_usable)
        return counts;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT dump FROM dumps ORDER BY used DESC LIMIT ?"));
    query.addBindValue(sample);
    if (!query.exec())
        return counts;
    while (query.next()) {
        const std::optional<QByteArray> dump = inflated(query.value(0).toByteArray());
        if (!dump)
            continue;
        QSet<QByteArray> tags;
        for (const QByteArray& line : dump->split('\n')) {
            const qsizetype colon = line.indexOf(':');
            if (colon > 0)
                tags.insert(line.left(colon).trimmed());
        }
        for (const QByteArray& tag : tags) {
            if (!tag.isEmpty())
                ++counts[QString::fromUtf8(tag)];
        }
    }
    return counts;
}

void DumpStore::failed(const QSqlQuery& query)
{
    if (!isDamage(query))
        return;
    // Damage found in use: the file is passed by from now on and moved aside, so that the next
    // start makes a new one; the programs that have it open keep theirs until they end.
    disable();
    const QString aside = m_file + QStringLiteral(".damaged");
    QFile::remove(aside);
    QFile::rename(m_file, aside);
}

void DumpStore::disable()
{
    m_usable = false;
    m_find.reset();
    m_pending.clear();
    m_pendingBytes = 0;
    m_used.clear();
}

std::optional<QByteArray> DumpStore::find(const QString& path, const FileStamp& stamp)
{
    if (!m_usable || m_tool.isEmpty())
        return std::nullopt;
    // A file that held no dump when first asked is asked only for the dumps this program has
    // written to it since (another program's dumps meanwhile are read by exiftool again).
    if (!m_emptyKnown) {
        m_emptyKnown = true;
        m_startedEmpty = rowEstimate() == 0;
    }
    const QByteArray key = encodeFileName(path);
    if (m_startedEmpty && !m_written.contains(qHash(key)))
        return std::nullopt;
    if (!m_find) {
        // Prepared once: a search asks for every image, most of them more than once.
        m_find = std::make_unique<QSqlQuery>(QSqlDatabase::database(m_connection, false));
        m_find->prepare(QStringLiteral("SELECT size, mtime, ctime, inode, device, tool, dump "
                                       "FROM dumps WHERE path = ?"));
    }
    QSqlQuery& query = *m_find;
    query.addBindValue(key);
    if (!query.exec()) {
        failed(query);
        return std::nullopt;
    }
    const bool found = query.next();
    const auto done = qScopeGuard([&] { query.finish(); });
    if (!found)
        return std::nullopt;
    if (!keptUnder(query, 0, stamp) || query.value(5).toString() != m_tool)
        return std::nullopt;
    std::optional<QByteArray> dump = inflated(query.value(6).toByteArray());
    if (dump)
        m_used.push_back(key);
    return dump;
}

qint64 DumpStore::rowEstimate()
{
    if (!m_usable)
        return 0;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    return query.exec(QStringLiteral("SELECT COALESCE(MAX(rowid), 0) FROM dumps")) && query.next()
               ? query.value(0).toLongLong()
               : 0;
}

bool DumpStore::inflateInto(const QByteArray& compressed, QByteArray& dump)
{
    return inflatedInto(compressed, dump);
}

void DumpStore::scan(const QHash<QByteArray, std::pair<int, FileStamp>>& wanted,
                     const std::function<void(int index, QByteArray compressed)>& found,
                     bool withDumps)
{
    if (!m_usable || m_tool.isEmpty() || wanted.isEmpty())
        return;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    query.prepare(withDumps ? QStringLiteral("SELECT path, size, mtime, ctime, inode, device, "
                                             "used, dump FROM dumps WHERE tool = ?")
                            : QStringLiteral("SELECT path, size, mtime, ctime, inode, device, "
                                             "used FROM dumps WHERE tool = ?"));
    query.addBindValue(m_tool);
    if (!query.exec()) {
        failed(query);
        return;
    }
    // What was used in the last day is not marked again: the order of going is kept well
    // enough, without a write for every image of a large library.
    const qint64 recently = QDateTime::currentMSecsSinceEpoch() - 24LL * 3600 * 1000;
    while (query.next()) {
        const QByteArray path = query.value(0).toByteArray();
        const auto it = wanted.constFind(path);
        if (it == wanted.cend())
            continue;
        const FileStamp& stamp = it->second;
        if (!keptUnder(query, 1, stamp))
            continue;
        if (!withDumps) {
            found(it->first, QByteArray());
            continue;
        }
        if (query.value(6).toLongLong() < recently)
            m_used.push_back(path);
        found(it->first, query.value(7).toByteArray());
    }
}

void DumpStore::insert(const QString& path, const FileStamp& stamp, const QByteArray& dump,
                       const QString& tool)
{
    const QString& filedUnder = tool.isEmpty() ? m_tool : tool;
    if (!m_usable || filedUnder.isEmpty())
        return;
    m_pending.push_back({encodeFileName(path), stamp, filedUnder, dump});
    m_pendingBytes += dump.size();
    if (static_cast<int>(m_pending.size()) >= kBatch || m_pendingBytes >= kBatchBytes ||
        m_sinceFlush.hasExpired(kBatchMs))
        flush();
}

void DumpStore::flush()
{
    m_sinceFlush.restart();
    if (!m_usable || (m_pending.empty() && m_used.empty()))
        return;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    // One transaction a batch; a file that is locked too long or full loses the batch, never
    // the search.
    if (!db.transaction()) {
        m_pending.clear();
        m_pendingBytes = 0;
        m_used.clear();
        return;
    }
    // Compressed on every core at once, as the batch goes out: not one by one beside
    // exiftool's sessions while they read.
    QtConcurrent::blockingMap(m_pending, [](Pending& entry) { entry.dump = deflated(entry.dump); });
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral("INSERT OR REPLACE INTO dumps (path, size, mtime, ctime, inode, "
                                  "device, tool, dump, bytes, used) "
                                  "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    bool ok = true;
    qint64 written = 0;
    for (const Pending& entry : m_pending) {
        if (m_startedEmpty)
            m_written.insert(qHash(entry.path));
        insert.addBindValue(entry.path);
        insert.addBindValue(entry.stamp.size);
        insert.addBindValue(entry.stamp.modifiedNs);
        insert.addBindValue(entry.stamp.changedNs);
        insert.addBindValue(static_cast<qlonglong>(entry.stamp.inode));
        insert.addBindValue(static_cast<qlonglong>(entry.stamp.device));
        insert.addBindValue(entry.tool);
        insert.addBindValue(entry.dump);
        const qint64 bytes = entry.dump.size() + entry.path.size();
        insert.addBindValue(static_cast<qlonglong>(bytes));
        insert.addBindValue(now);
        ok = ok && insert.exec();
        written += bytes;
    }
    QSqlQuery touch(db);
    touch.prepare(QStringLiteral("UPDATE dumps SET used = ? WHERE path = ?"));
    for (const QByteArray& path : m_used) {
        touch.addBindValue(now);
        touch.addBindValue(path);
        ok = ok && touch.exec();
    }
    m_pending.clear();
    m_pendingBytes = 0;
    m_used.clear();
    if (!ok || !db.commit()) {
        db.rollback();
        failed(insert);
        return;
    }

    if (m_storedAtMost)
        *m_storedAtMost += written;
    trim();
}

bool DumpStore::sumStored()
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!query.exec(QStringLiteral("SELECT COALESCE(SUM(bytes), 0) FROM dumps")) || !query.next())
        return false;
    m_storedAtMost = query.value(0).toLongLong();
    return true;
}

qint64 DumpStore::pragma(const QString& name)
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    return query.exec(QStringLiteral("PRAGMA ") + name) && query.next()
               ? query.value(0).toLongLong()
               : -1;
}

qint64 DumpStore::fileBytes()
{
    const qint64 pages = pragma(QStringLiteral("page_count"));
    const qint64 pageSize = pragma(QStringLiteral("page_size"));
    return pages < 0 || pageSize < 0 ? -1 : pages * pageSize;
}

void DumpStore::trim()
{
    // The limit is on the file as the user sees it. Its size is known at once (its pages);
    // only a file over the limit has its dumps summed.
    const qint64 size = fileBytes();
    if (size < 0 || size <= m_limit)
        return;
    if (!sumStored())
        return;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    // The file holds more than the dumps count (pages, the index): the oldest used go until
    // what stays would fill a tenth less than the limit.
    const qint64 free =
        pragma(QStringLiteral("freelist_count")) * pragma(QStringLiteral("page_size"));
    const double overhead =
        *m_storedAtMost > 0
            ? std::max(1.0, double(size - std::max<qint64>(free, 0)) / double(*m_storedAtMost))
            : 1.0;
    const auto target = static_cast<qint64>(double(m_limit) * 0.9 / overhead);
    qint64 total = *m_storedAtMost;
    QSqlQuery oldest(db);
    if (!oldest.exec(QStringLiteral("SELECT path, bytes FROM dumps ORDER BY used, rowid")))
        return;
    std::vector<QByteArray> gone;
    while (total > target && oldest.next()) {
        gone.push_back(oldest.value(0).toByteArray());
        total -= oldest.value(1).toLongLong();
    }
    oldest.finish();
    if (!gone.empty()) {
        if (!db.transaction())
            return;
        QSqlQuery remove(db);
        remove.prepare(QStringLiteral("DELETE FROM dumps WHERE path = ?"));
        for (const QByteArray& path : gone) {
            remove.addBindValue(path);
            remove.exec();
        }
        if (db.commit())
            m_storedAtMost = total;
        else
            m_storedAtMost.reset();
    }
    // The pages freed go back: a file made before pages could be given back is vacuumed once.
    QSqlQuery query(db);
    if (pragma(QStringLiteral("auto_vacuum")) != 2) {
        run(query, QStringLiteral("PRAGMA auto_vacuum=INCREMENTAL"));
        run(query, QStringLiteral("VACUUM"));
    }
    query.finish();
    // Each run of the statement gives back one page (its further steps are rows that a query
    // without columns does not take), so it runs once a free page, in one transaction.
    const qint64 freePages = pragma(QStringLiteral("freelist_count"));
    if (freePages > 0 && db.transaction()) {
        QSqlQuery vacuum(db);
        vacuum.prepare(QStringLiteral("PRAGMA incremental_vacuum(1)"));
        for (qint64 page = 0; page < freePages && vacuum.exec(); ++page)
            vacuum.finish();
        vacuum.finish();
        db.commit();
    }
    run(query, QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
}

qint64 DumpStore::storedBytes()
{
    flush();
    return m_usable && sumStored() ? *m_storedAtMost : 0;
}

int DumpStore::storedCount()
{
    flush();
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!m_usable || !query.exec(QStringLiteral("SELECT COUNT(*) FROM dumps")) || !query.next())
        return 0;
    return query.value(0).toInt();
}

} // namespace tagsifter
