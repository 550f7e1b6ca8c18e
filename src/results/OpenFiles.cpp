#include "OpenFiles.h"

#include "core/ErrorReport.h"
#include "core/RowSelection.h"
#include "core/RowTable.h"
#include "platform/ChosenRow.h"
#include "platform/FileNames.h"

#include <QUrl>

#include <algorithm>

namespace tagsifter {

OpenFiles::OpenFiles(const WindowServices& services, RowTable& results, ChosenRow& chosen,
                     WindowPointer& pointer)
    : m_services(services), m_results(results), m_chosen(chosen), m_pointer(pointer)
{
}

void OpenFiles::open(const QString& path)
{
    m_services.desktop.shell->openUrl(fileUrl(path));
}

void OpenFiles::openEach(const QStringList& paths)
{
    for (const QString& path : paths) {
        if (m_services.system.files->pathExists(path))
            open(path);
        else
            m_services.user.messages->show(missingFileMessage(), MessageFlags::Ok);
    }
}

void OpenFiles::openRows(const QList<int>& rows)
{
    if (rows.isEmpty()) {
        m_services.user.messages->show(noSelectionMessage(), MessageFlags::Ok);
        return;
    }
    QStringList texts;
    for (const int row : rows)
        texts.append(m_results.text(row));
    openEach(distinctPaths(texts));
}

void OpenFiles::openFolders(const QList<int>& rows)
{
    if (rows.isEmpty()) {
        m_services.user.messages->show(noSelectionMessage(), MessageFlags::Ok);
        return;
    }
    QStringList folders;
    for (const int row : rows) {
        const QString path = m_results.text(row);
        folders.append(path.left(std::max<qsizetype>(path.lastIndexOf(QLatin1Char('/')), 1)));
    }
    openEach(distinctPaths(folders));
}

void OpenFiles::PushButton15_Click()
{
    ErrorReport report(*m_services.user.messages,
                       ErrorReport::formLocation(QStringLiteral("PushButton15_Click")));
    // Rows but no current row is the same missing selection as no rows at all: one message.
    if (report.condition(100, [&] { return m_results.count() == 0 || m_chosen.index() == 0; })) {
        m_services.user.messages->show(noSelectionMessage(), MessageFlags::Ok);
        return;
    }
    QString path;
    report.line(102, [&] { path = m_chosen.text(); });
    if (report.condition(104, [&] { return !m_services.system.files->pathExists(path); })) {
        m_services.user.messages->show(missingFileMessage(), MessageFlags::Ok);
        return;
    }
    report.line(106, [&] { open(m_chosen.text()); });
}

void OpenFiles::PushButton16_Click()
{
    ErrorReport report(*m_services.user.messages,
                       ErrorReport::formLocation(QStringLiteral("PushButton16_Click")));
    if (report.condition(100, [&] { return m_results.count() == 0; })) {
        m_services.user.messages->show(emptyListMessage(), MessageFlags::Ok);
        return;
    }
    report.line(102, [&] { m_pointer.setMousePointer(Pointer::Hourglass); });
    QStringList texts;
    report.line(104, [&] { texts = m_results.texts(); });
    const QStringList paths = distinctPaths(texts);
    for (const QString& path : paths) {
        report.line(106, [&] { openEach({path}); });
    }
    report.line(108, [&] { m_pointer.setMousePointer(Pointer::Default); });
}

} // namespace tagsifter
