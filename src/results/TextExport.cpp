#include "TextExport.h"

#include "LineEnd.h"
#include "core/ErrorReport.h"
#include "core/Failure.h"
#include "platform/FileNames.h"
#include "platform/ListModel.h"

#include <QScopeGuard>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tagsifter {

namespace {

[[noreturn]] void fail(int error, const QString& path)
{
    throw Failure(QStringLiteral("%1: %2").arg(QString::fromLocal8Bit(std::strerror(error)), path));
}

/// A file descriptor, closed when it goes.
struct Descriptor
{
    int fd;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

/// Writes all of `bytes` to `fd`; throws the reason when it cannot.
void writeAll(int fd, const QByteArray& bytes, const QString& path)
{
    const char* data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t done = ::write(fd, data, static_cast<size_t>(left));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            fail(done < 0 ? errno : EIO, path);
        data += done;
        left -= done;
    }
}

/// Hands `put` the row texts of `results` with their line ends, a block at a time, yielding
/// as it goes; returns how many rows were removed while it yielded.
int writeRowsTo(const ListModel& results, EventLoopService* events,
                const std::function<void(const QByteArray&)>& put)
{
    constexpr qsizetype kBlock = 64 * 1024;
    const QByteArray lineEnd = platformLineEnd().toUtf8();
    // The count is read once: rows removed while the loop yields are missing at its end.
    const int count = results.count();
    int missing = 0;
    QByteArray block;
    for (int i = 1; i <= count; ++i) {
        yieldSometimes(events);
        if (i > results.count()) {
            ++missing;
            continue;
        }
        // A path goes out as the bytes of its name on disk.
        block += encodeFileName(results.text(i));
        block += lineEnd;
        if (block.size() >= kBlock) {
            put(block);
            block.clear();
        }
    }
    if (!block.isEmpty())
        put(block);
    return missing;
}

} // namespace

TextExport::TextExport(const Platform& platform, ListModel& results, WindowPointer& pointer)
    : m_platform(platform), m_results(results), m_pointer(pointer)
{
}

QString TextExport::overwriteQuestion(const QString& path)
{
    return tr("Are you sure you wish to overwrite ") + path + tr(" ?");
}

int TextExport::writeRows(const ListModel& results, const QString& path, EventLoopService* events)
{
    QByteArray name = encodeFileName(path);
    struct stat info
    {
    };
    const bool exists = ::stat(name.constData(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode))
        fail(EISDIR, path);
    // A device or a pipe is written to, never replaced by a file.
    if (exists && !S_ISREG(info.st_mode))
        return writeInPlace(results, name, path, events, false);
    // A link is followed: the file it names is replaced, the link stays.
    if (exists) {
        if (char* real = ::realpath(name.constData(), nullptr)) {
            name = real;
            std::free(real);
        }
    }
    // The rows are written beside the file and put in its place only when every one of them is
    // on the disk: a save that fails (a full disk) leaves the old file as it was.
    const qsizetype slash = name.lastIndexOf('/');
    QByteArray temp = (slash < 0 ? QByteArray(".") : name.left(slash)) + "/.tagsifter-save-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        // A folder that lets the file be changed but no file be made beside it.
        if (exists && ::access(name.constData(), W_OK) == 0)
            return writeInPlace(results, name, path, events, true);
        fail(error, path);
    }
    Descriptor file{fd};
    auto removeTemp = qScopeGuard([&temp] { ::unlink(temp.constData()); });
    // The old file's permissions stay; a new file gets those the umask leaves, as any other.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, exists ? info.st_mode & 07777 : 0666 & ~mask);
    const int missing =
        writeRowsTo(results, events, [&](const QByteArray& block) { writeAll(fd, block, path); });
    if (::fsync(fd) != 0 && errno != EINVAL)
        fail(errno, path);
    if (::close(std::exchange(file.fd, -1)) != 0)
        fail(errno, path);
    if (::rename(temp.constData(), name.constData()) != 0)
        fail(errno, path);
    removeTemp.dismiss();
    return missing;
}

int TextExport::writeInPlace(const ListModel& results, const QByteArray& name, const QString& path,
                             EventLoopService* events, bool regular)
{
    // Not blocking on the open: a pipe that nobody reads fails at once instead of hanging.
    Descriptor file{::open(name.constData(), O_WRONLY | O_CLOEXEC | O_NONBLOCK)};
    if (file.fd < 0)
        fail(errno, path);
    ::fcntl(file.fd, F_SETFL, ::fcntl(file.fd, F_GETFL) & ~O_NONBLOCK);
    if (regular) {
        // Room for every row is taken before the old text is touched: a disk too full for them
        // fails here, the file as it was.
        qint64 size = 0;
        const qint64 lineEnd = platformLineEnd().toUtf8().size();
        for (int i = 1; i <= results.count(); ++i)
            size += encodeFileName(results.text(i)).size() + lineEnd;
        if (size > 0 && ::fallocate(file.fd, 0, 0, size) != 0 && errno != EOPNOTSUPP)
            fail(errno, path);
    }
    qint64 written = 0;
    const int missing = writeRowsTo(results, events, [&](const QByteArray& block) {
        writeAll(file.fd, block, path);
        written += block.size();
    });
    if (regular && ::ftruncate(file.fd, written) != 0)
        fail(errno, path);
    if (::close(std::exchange(file.fd, -1)) != 0)
        fail(errno, path);
    return missing;
}

void TextExport::PushButton2_Click()
{
    ErrorReport report(*m_platform.messages,
                       ErrorReport::formLocation(QStringLiteral("PushButton2_Click")));
    QString path;
    report.line(100, [&] { path = m_platform.dialogs->saveFile(tr("Save"), dialogFilter()); });
    if (path.isEmpty())
        return;
    if (report.condition(102, [&] { return m_platform.files->pathExists(path); })) {
        const MessageAnswer answer =
            m_platform.messages->show(overwriteQuestion(path), MessageFlags::YesNo);
        if (answer != MessageAnswer::Yes)
            return;
    }
    report.line(104, [&] { m_pointer.setMousePointer(Pointer::Hourglass); });
    // One report when the file cannot be written, and no "Done." for a save that failed.
    const int before = report.reportCount();
    int missing = 0;
    report.line(106, [&] { missing = writeRows(m_results, path, m_platform.events); });
    // Rows removed during the save are reported once; the rows that were there are saved.
    if (missing > 0)
        report.line(106, [] {
            throw Failure(QStringLiteral("Index out of bounds"), ErrorCode::SubscriptOutOfRange);
        });
    if (report.reportCount() == before || missing > 0)
        report.line(108, [&] { m_platform.messages->show(tr("Done."), MessageFlags::Ok); });
    report.line(110, [&] { m_pointer.setMousePointer(Pointer::Default); });
}

} // namespace tagsifter
