#include "Output.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace tagsifter {

Output::Output(std::FILE* out, std::FILE* err, bool closed)
    : m_out(out), m_err(err), m_closed(closed)
{
    // A terminal would take a line at a time; a million hits go out in far fewer writes.
    if (!m_closed)
        std::setvbuf(m_out, nullptr, _IOFBF, kBufferSize);
}

bool Output::write(const QByteArray& bytes)
{
    if (m_readerGone || m_failed)
        return false;
    if (m_closed)
        return fail(EBADF);
    if (std::fwrite(bytes.constData(), 1, bytes.size(), m_out) != static_cast<size_t>(bytes.size()))
        return fail(errno);
    return true;
}

bool Output::flush()
{
    if (m_readerGone || m_failed || m_closed)
        return !m_readerGone && !m_failed;
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
