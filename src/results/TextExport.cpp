#include "TextExport.h"

#include "LineEnd.h"
#include "core/ErrorReport.h"
#include "core/Failure.h"
#include "platform/ListView.h"

#include <QSaveFile>

namespace tagsifter {

TextExport::TextExport(const Platform& platform, ListView& results, WindowPointer& pointer)
    : m_platform(platform), m_results(results), m_pointer(pointer)
{
}

QString TextExport::overwriteQuestion(const QString& path)
{
    return tr("Are you sure you wish to overwrite ") + path + tr(" ?");
}

void TextExport::writeRows(const ListView& results, const QString& path, EventLoopService* events)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Failure(QStringLiteral("%1: %2").arg(file.errorString(), path));
    const QByteArray lineEnd = platformLineEnd().toUtf8();
    const int count = results.count();
    for (int i = 1; i <= count && i <= results.count(); ++i) {
        yieldSometimes(events);
        file.write(results.text(i).toUtf8());
        file.write(lineEnd);
    }
    if (!file.commit())
        throw Failure(QStringLiteral("%1: %2").arg(file.errorString(), path));
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
    report.line(106, [&] { writeRows(m_results, path, m_platform.events); });
    if (report.reportCount() == before)
        report.line(108, [&] { m_platform.messages->show(tr("Done."), MessageFlags::Ok); });
    report.line(110, [&] { m_pointer.setMousePointer(Pointer::Default); });
}

} // namespace tagsifter
