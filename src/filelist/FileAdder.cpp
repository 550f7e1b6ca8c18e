#include "FileAdder.h"

#include "core/ErrorReport.h"
#include "core/Failure.h"
#include "core/PathRules.h"
#include "platform/ListModel.h"

#include <QHash>

#include <utility>

namespace tagsifter {

FileAdder::FileAdder(const WindowServices& services, ListModel& fileList, WindowPointer& pointer)
    : m_services(services), m_fileList(fileList), m_pointer(pointer),
      m_scan(services.system, *services.user.messages, appendTo(fileList))
{
}

QString FileAdder::openDialogTitle()
{
    return tr("Add File(s) - Use Ctrl & Shift to select multiple files");
}

QString FileAdder::openDialogFilter()
{
    // The designed entry first; after it the photo, RAW and video types exiftool reads.
    static const QString kPhotoTypes = QStringLiteral(
        "*.jpg;*.jpeg;*.jpe;*.heic;*.heif;*.avif;*.png;*.tif;*.tiff;*.webp;*.jxl;*.gif;*.bmp;"
        "*.dng;*.cr2;*.cr3;*.crw;*.nef;*.nrw;*.arw;*.srf;*.sr2;*.raf;*.rw2;*.raw;*.orf;*.pef;"
        "*.srw;*.x3f;*.3fr;*.erf;*.mef;*.mos;*.iiq;*.kdc;*.dcr;*.rwl;*.xmp;*.mov;*.mp4;*.m4v;"
        "*.avi;*.mts;*.m2ts;*.3gp;*.mkv;*.wmv");
    return tr("Image Files (*.jpg;*.jpeg)|*.jpg;*.jpeg|") + tr("Photos and Videos") +
           QStringLiteral(" (") + kPhotoTypes + QStringLiteral(")|") + kPhotoTypes +
           QStringLiteral("|");
}

QString FileAdder::extensionPrompt()
{
    return tr("Enter file extension to load:\r\r(* for all files, txt for all txt "
              "files, doc for all doc files, etc.)");
}

QString FileAdder::tooManyFilesMessage()
{
    return tr("You've selected too many files to add.\r\rPlease try adding via the "
              "\"Add All\" button.");
}

int FileAdder::dialogBufferLength(const OpenFilesAnswer& answer)
{
    int length = answer.folder.isEmpty() ? 0 : static_cast<int>(answer.folder.size()) + 1;
    for (const QString& name : answer.names)
        length += static_cast<int>(name.size()) + 1;
    return length + 1;
}

void FileAdder::PushButton3_Click()
{
    ErrorReport report(*m_services.user.messages,
                       ErrorReport::formLocation(QStringLiteral("PushButton3_Click")));
    OpenFilesAnswer answer;
    report.line(100, [&] {
        answer = m_services.user.dialogs->openFiles(openDialogTitle(), openDialogFilter());
    });
    if (answer.names.isEmpty())
        return;
    if (dialogBufferLength(answer) > kDialogBufferSize) {
        m_services.user.messages->show(tooManyFilesMessage(), MessageFlags::Ok);
        return;
    }
    if (answer.folder.isEmpty()) {
        // Each file with its own full path.
        for (const QString& path : std::as_const(answer.names))
            report.line(102, [&] { m_fileList.addItem(path); });
        return;
    }
    for (const QString& name : std::as_const(answer.names)) {
        report.line(104, [&] {
            m_fileList.addItem(CollapseBackslashes(answer.folder + QLatin1Char('/') + name));
        });
    }
}

void FileAdder::PushButton4_Click()
{
    ErrorReport report(*m_services.user.messages,
                       ErrorReport::formLocation(QStringLiteral("PushButton4_Click")));
    QString extension;
    report.line(100, [&] {
        extension = m_services.user.input->ask(
            extensionPrompt(), m_services.system.settings->read(Setting::Extension));
    });
    if (report.condition(102, [&] { return !extension.isEmpty(); }))
        report.line(104, [&] { m_services.system.settings->write(Setting::Extension, extension); });
    if (extension.isEmpty())
        return;
    report.line(106,
                [&] { m_lastFolderPath = m_services.system.settings->read(Setting::LastFolder); });
    QString folder;
    report.line(108, [&] {
        folder =
            m_services.user.dialogs->browseFolder(tr("Please select folder:"), m_lastFolderPath);
    });
    if (folder.isEmpty())
        return;
    m_lastFolderPath = folder;
    report.line(110, [&] { m_services.system.settings->write(Setting::LastFolder, folder); });
    m_pointer.setMousePointer(Pointer::Hourglass);
    // Each extension is used as typed: "*" gives "*.*", a leading dot gives two dots in a row.
    // Several ("jpg cr2") walk the tree once each, and a file two of them match is listed once.
    const QStringList extensions = splitExtensions(extension);
    report.line(112, [&] {
        if (extensions.size() < 2) {
            m_scan.CollectFolderTree(folder, QStringLiteral("*.") + extension);
            return;
        }
        QHash<QString, bool> listed;
        FolderScan scan(m_services.system, *m_services.user.messages, [&](const QString& path) {
            if (!std::exchange(listed[path], true))
                m_fileList.addItem(path);
        });
        for (const QString& one : extensions)
            scan.CollectFolderTree(folder, QStringLiteral("*.") + one);
    });
    m_pointer.setMousePointer(Pointer::Default);
}

} // namespace tagsifter
