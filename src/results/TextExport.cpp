#include "TextExport.h"

#include "LineEnd.h"
#include "core/ErrorReport.h"
#include "core/Failure.h"
#include "core/FileSystem.h"
#include "core/RowTable.h"
#include "platform/FileNames.h"

#include <functional>

namespace tagsifter {

namespace {

/// Hands `put` the row texts of `results` with their line ends, a block at a time, yielding
/// as it goes; returns how many rows were removed while it yielded.
int writeRowsTo(const RowTable& results, EventLoopService* events,
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

TextExport::TextExport(const WindowServices& services, RowTable& results, WindowPointer& pointer)
    : m_services(services), m_results(results), m_pointer(pointer)
{
}

QString TextExport::overwriteQuestion(const QString& path)
{
    return tr("Are you sure you wish to overwrite ") + path + tr(" ?");
}

int TextExport::writeRows(const RowTable& results, const QString& path, FileSystem& files,
                          EventLoopService* events)
{
    const QByteArray lineEnd = platformLineEnd().toUtf8();
    // The rows are written beside the file and put in its place only when every one of them is
    // on the disk: a save that fails (a full disk) leaves the old file as it was.
    const std::unique_ptr<FileReplacement> file = files.replaceFile(path, [&] {
        qint64 size = 0;
        for (int i = 1; i <= results.count(); ++i)
            size += encodeFileName(results.text(i)).size() + lineEnd.size();
        return size;
    });
    const int missing =
        writeRowsTo(results, events, [&](const QByteArray& block) { file->write(block); });
    file->commit();
    return missing;
}

void TextExport::PushButton2_Click()
{
    ErrorReport report(*m_services.user.messages,
                       ErrorReport::formLocation(QStringLiteral("PushButton2_Click")));
    QString path;
    report.line(100, [&] { path = m_services.user.dialogs->saveFile(tr("Save"), dialogFilter()); });
    if (path.isEmpty())
        return;
    if (report.condition(102, [&] { return m_services.system.files->pathExists(path); })) {
        const MessageAnswer answer =
            m_services.user.messages->show(overwriteQuestion(path), MessageFlags::YesNo);
        if (answer != MessageAnswer::Yes)
            return;
    }
    report.line(104, [&] { m_pointer.setMousePointer(Pointer::Hourglass); });
    // One report when the file cannot be written, and no "Done." for a save that failed.
    const int before = report.reportCount();
    int missing = 0;
    report.line(106, [&] {
        missing = writeRows(m_results, path, *m_services.system.files, m_services.system.events);
    });
    // Rows removed during the save are reported once; the rows that were there are saved.
    if (missing > 0)
        report.line(106, [] {
            throw Failure(QStringLiteral("Index out of bounds"), ErrorCode::SubscriptOutOfRange);
        });
    if (report.reportCount() == before || missing > 0)
        report.line(108, [&] { m_services.user.messages->show(tr("Done."), MessageFlags::Ok); });
    report.line(110, [&] { m_pointer.setMousePointer(Pointer::Default); });
}

} // namespace tagsifter
