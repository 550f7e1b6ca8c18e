#pragma once

#include "core/Process.h"

#include <QByteArray>

#include <utility>

namespace tagsifter::test {

/// A session's channel whose output the test hands over piece by piece; what the session
/// writes to it is kept.
class FeedChannel : public SessionChannel
{
public:
    bool isRunning() const override { return running; }
    void write(const QByteArray& bytes) override { written += bytes; }
    QByteArray readOutput() override { return std::exchange(m_output, QByteArray()); }
    bool waitForEnd(int) override { return !running; }
    void kill() override { running = false; }
    void feed(const QByteArray& piece)
    {
        m_output += piece;
        emit outputReady();
    }

    bool running = true;
    QByteArray written;

private:
    QByteArray m_output;
};

} // namespace tagsifter::test
