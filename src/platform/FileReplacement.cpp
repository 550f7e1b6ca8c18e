#include "LocalFileSystem.h"

#include "FileNames.h"
#include "core/Failure.h"

#include <QScopeGuard>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
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

/// Written beside the file, put in its place by a rename.
class FileBeside : public FileReplacement
{
public:
    FileBeside(QByteArray name, QByteArray temp, int fd, QString path)
        : m_name(std::move(name)), m_temp(std::move(temp)), m_file{fd}, m_path(std::move(path))
    {
    }
    ~FileBeside() override
    {
        if (!m_committed)
            ::unlink(m_temp.constData());
    }
    void write(const QByteArray& bytes) override { writeAll(m_file.fd, bytes, m_path); }
    void commit() override
    {
        if (::fsync(m_file.fd) != 0 && errno != EINVAL)
            fail(errno, m_path);
        if (::close(std::exchange(m_file.fd, -1)) != 0)
            fail(errno, m_path);
        if (::rename(m_temp.constData(), m_name.constData()) != 0)
            fail(errno, m_path);
        m_committed = true;
    }

private:
    QByteArray m_name;
    QByteArray m_temp;
    Descriptor m_file;
    QString m_path;
    bool m_committed = false;
};

/// Written over the file as it stands: a device or a pipe, or a file in a folder where no
/// file can be made beside it (room for every row taken before the old text is touched).
class FileInPlace : public FileReplacement
{
public:
    FileInPlace(int fd, QString path, bool regular)
        : m_file{fd}, m_path(std::move(path)), m_regular(regular)
    {
    }
    void write(const QByteArray& bytes) override
    {
        writeAll(m_file.fd, bytes, m_path);
        m_written += bytes.size();
    }
    void commit() override
    {
        if (m_regular && ::ftruncate(m_file.fd, m_written) != 0)
            fail(errno, m_path);
        if (::close(std::exchange(m_file.fd, -1)) != 0)
            fail(errno, m_path);
    }

private:
    Descriptor m_file;
    QString m_path;
    bool m_regular;
    qint64 m_written = 0;
};

std::unique_ptr<FileReplacement> inPlace(const QByteArray& name, const QString& path, bool regular,
                                         const std::function<qint64()>& size)
{
    // Not blocking on the open: a pipe that nobody reads fails at once instead of hanging.
    const int fd = ::open(name.constData(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        fail(errno, path);
    auto file = std::make_unique<FileInPlace>(fd, path, regular);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // A disk too full for the rows fails here, the file as it was.
    if (const qint64 bytes = regular ? size() : 0;
        bytes > 0 && ::fallocate(fd, 0, 0, bytes) != 0 && errno != EOPNOTSUPP)
        fail(errno, path);
    return file;
}

} // namespace

std::unique_ptr<FileReplacement> LocalFileSystem::replaceFile(const QString& path,
                                                              const std::function<qint64()>& size)
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
        return inPlace(name, path, false, size);
    // A link is followed: the file it names is replaced, the link stays.
    if (exists) {
        if (char* real = ::realpath(name.constData(), nullptr)) {
            name = real;
            std::free(real);
        }
    }
    const qsizetype slash = name.lastIndexOf('/');
    QByteArray temp = (slash < 0 ? QByteArray(".") : name.left(slash)) + "/.tagsifter-save-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        // A folder that lets the file be changed but no file be made beside it.
        if (exists && ::access(name.constData(), W_OK) == 0)
            return inPlace(name, path, true, size);
        fail(error, path);
    }
    auto file = std::make_unique<FileBeside>(name, temp, fd, path);
    // The old file's permissions stay; a new file gets those the umask leaves, as any other.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, exists ? info.st_mode & 07777 : 0666 & ~mask);
    return file;
}

} // namespace tagsifter
