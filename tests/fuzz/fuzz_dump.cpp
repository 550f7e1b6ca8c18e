// Fuzz target for what the program makes of exiftool's output: the session reader, which
// finds each answer's end in pieces of output cut anywhere, and the dump parser behind it.
#include "core/DumpParser.h"
#include "search/MetadataReader.h"
#include "support/FeedChannel.h"
#include "support/FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace tagsifter;
using tagsifter::test::FeedChannel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int pieceSize = 1 + data[0] % 64;
    const QByteArray output(reinterpret_cast<const char*>(data + 1),
                            static_cast<qsizetype>(size - 1));

    // The parser: every entry comes from a line, trimmed, and matches what was searched.
    const QString text = decodeDump(output);
    for (const TagValue& entry : matchingEntries(text, QStringLiteral("a"))) {
        check(entry.value.contains(QLatin1Char('a'), Qt::CaseInsensitive));
        check(!entry.tag.startsWith(QLatin1Char(' ')) && !entry.value.endsWith(QLatin1Char(' ')));
    }

    // The session reader: the answer, when its marker's line came, is the output before it,
    // the same however the output was cut.
    auto channel = std::make_unique<FeedChannel>();
    FeedChannel* feed = channel.get();
    ExifSession session(std::move(channel));
    QString answer;
    bool answered = false;
    QObject::connect(&session, &ExifSession::finished,
                     [&](const QString&, const FileStamp&, const QString& dump) {
                         check(!answered);
                         answered = true;
                         answer = dump;
                     });
    session.request(QStringLiteral("/a.jpg"), FileStamp());
    for (qsizetype at = 0; at < output.size() && !answered; at += pieceSize)
        feed->feed(output.mid(at, pieceSize));
    // The answer is whole once the marker's line has ended.
    const qsizetype lineBefore = output.indexOf("\n{ready1}");
    const qsizetype markerAt = output.startsWith("{ready1}") ? 0
                               : lineBefore < 0              ? -1
                                                             : lineBefore + 1;
    check(answered == (markerAt >= 0 && output.indexOf('\n', markerAt + 8) >= 0));
    if (answered)
        check(answer == decodeDump(output.left(markerAt)));
    // Linear: each byte once, and a marker's length more for each piece.
    const qsizetype pieces = output.size() / pieceSize + 1;
    check(session.scannedBytes() <= output.size() + pieces * 9);
    feed->running = false;

    // A request of two images: each answered once, in order, and the same however the output
    // was cut.
    const auto batchAnswers = [&](int size) {
        auto owned = std::make_unique<FeedChannel>();
        FeedChannel* batchFeed = owned.get();
        ExifSession batch(std::move(owned));
        QStringList answers;
        QObject::connect(&batch, &ExifSession::finished,
                         [&](const QString& path, const FileStamp&, const QString& dump) {
                             check(path == QLatin1String(answers.isEmpty() ? "/a.jpg" : "/b.jpg"));
                             answers.append(dump);
                         });
        batch.request(
            {{QStringLiteral("/a.jpg"), FileStamp()}, {QStringLiteral("/b.jpg"), FileStamp()}});
        for (qsizetype at = 0; at < output.size(); at += size)
            batchFeed->feed(output.mid(at, size));
        batchFeed->running = false;
        return answers;
    };
    const QStringList whole = batchAnswers(static_cast<int>(output.size()) + 1);
    check(whole.size() <= 2);
    check(batchAnswers(pieceSize) == whole);
    return 0;
}
