#include "Output.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <utility>

namespace tagsifter {

bool Output::write(const QByteArray& bytes)
{
    if (m_readerGone || m_failed)
        return false;
    if (m_closed)
        return fail(EBADF);
    // A terminal would take a line at a time; a million hits go out in far fewer writes.
    m_pending += bytes;
    return m_pending.size() < kBlockSize || drain();
}

bool Output::drain()
{
    const QByteArray block = std::exchange(m_pending, QByteArray());
    const int fd = fileno(m_out);
    // Past stdio, which would write a terminal a line at a time.
    if (fd < 0 || std::fflush(m_out) != 0) {
        if (std::fwrite(block.constData(), 1, block.size(), m_out) !=
            static_cast<size_t>(block.size()))
            return fail(errno);
        return true;
    }
    for (qsizetype done = 0; done < block.size();) {
        const ssize_t written = ::write(fd, block.constData() + done, block.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return fail(errno);
        done += written;
    }
    return true;
}

bool Output::flush()
{
    if (m_readerGone || m_failed || m_closed)
        return !m_readerGone && !m_failed;
    if (!m_pending.isEmpty() && !drain())
        return false;
    if (std::fflush(m_out) != 0)
        return fail(errno);
    return true;
}

bool Output::isTerminal() const
{
    return !m_closed && ::isatty(fileno(m_out)) == 1;
}

bool Output::fail(int error)
{
    if (error == EPIPE) {
        m_readerGone = true;
        return false;
    }
    m_failed = true;
    std::fprintf(m_err, "tagsifter: write error: %s\n", std::strerror(error));
    return false;
}

} // namespace tagsifter
