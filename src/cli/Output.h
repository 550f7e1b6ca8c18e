#pragma once

#include <QByteArray>

#include <cstdio>

namespace tagsifter {

/// Standard output, written as the hits come. A reader that has gone (`| head`) ends the
/// search quietly; any other failure to write is an error, said once on standard error.
class Output
{
public:
    /// `closed`: the program started with its standard output closed, so that anything
    /// written to it is an error.
    /// The output is written in blocks, on a terminal too: flush() sends what waits.
    Output(std::FILE* out, std::FILE* err, bool closed) : m_out(out), m_err(err), m_closed(closed)
    {
    }
    bool write(const QByteArray& bytes);
    bool flush();
    /// True once nothing more can be written.
    bool ended() const { return m_readerGone || m_failed; }
    bool failed() const { return m_failed; }
    /// True when standard output is a terminal.
    bool isTerminal() const;

private:
    bool fail(int error);
    /// Writes what waits; false when it cannot be written.
    bool drain();
    static constexpr qsizetype kBlockSize = 64 * 1024;
    QByteArray m_pending;
    std::FILE* m_out;
    std::FILE* m_err;
    bool m_closed;
    bool m_readerGone = false;
    bool m_failed = false;
};

} // namespace tagsifter
