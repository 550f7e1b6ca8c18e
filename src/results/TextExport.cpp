#include "TextExport.h"

#include "LineEnd.h"
#include "core/ErrorReport.h"
#include "core/Failure.h"
#include "platform/FileNames.h"
#include "platform/ListModel.h"

#include <QSaveFile>

namespace tagsifter {

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
    QSaveFile file(path);
    // A folder that lets the file be replaced but not a new file be made beside it gets the
    // file written in place.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        throw Failure(QStringLiteral("%1: %2").arg(file.errorString(), path));
    const QByteArray lineEnd = platformLineEnd().toUtf8();
    // The count is read once: rows removed while the loop yields are missing at its end.
    const int count = results.count();
    int missing = 0;
    for (int i = 1; i <= count; ++i) {
        yieldSometimes(events);
        if (i > results.count()) {
            ++missing;
            continue;
        }
        // A path goes out as the bytes of its name on disk.
        file.write(encodeFileName(results.text(i)));
        file.write(lineEnd);
    }
    if (!file.commit())
        throw Failure(QStringLiteral("%1: %2").arg(file.errorString(), path));
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
