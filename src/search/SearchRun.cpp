#include "SearchRun.h"

#include "DumpParser.h"
#include "app/ErrorReport.h"
#include "platform/Failure.h"
#include "platform/ListView.h"

#include <QProgressBar>
#include <QPushButton>

#include <cmath>
#include <utility>

namespace tagsifter {

SearchRun::SearchRun(const Platform& platform, SearchControls controls, QString exiftool)
    : m_platform(platform), m_controls(std::move(controls)),
      m_exifTool(platform, std::move(exiftool)), m_reader(platform, m_exifTool)
{
    m_exifTool.setStopRequest([this] { return m_stop; });
}

QString SearchRun::exiftoolMissingMessage()
{
    return QStringLiteral("exiftool could not be found or started, so no image can be searched."
                          "\r\rPlease install exiftool (on Debian: sudo apt-get install "
                          "libimage-exiftool-perl) and try again.");
}

void SearchRun::abort()
{
    m_stop = true;
    m_reader.closeSessions();
}

void SearchRun::PushButton1_Click()
{
    ErrorReport report(*m_platform.messages,
                       ErrorReport::formLocation(QStringLiteral("PushButton1_Click")));
    ListView& files = *m_controls.fileList;
    QPushButton& button = *m_controls.button;
    QProgressBar& progress = *m_controls.progress;

    // A click while a run is in progress is the stop request.
    if (report.condition(100, [&] { return button.text() == stopCaption(); })) {
        report.line(222, [&] { button.setText(m_savedCaption); });
        report.line(224, [&] { files.setHeaderText(1, QStringLiteral("File(s)")); });
        report.line(226, [&] { m_stop = true; });
        return;
    }
    if (report.condition(102, [&] { return files.count() == 0; })) {
        report.line(218, [&] { m_platform.messages->show(noFilesMessage(), MessageFlags::Ok); });
        report.line(220, [&] { m_stop = true; });
        return;
    }
    const QString searchText = m_controls.searchText();
    if (report.condition(104, [&] { return trimSpaces(searchText).isEmpty(); })) {
        report.line(216,
                    [&] { m_platform.messages->show(noSearchTextMessage(), MessageFlags::Ok); });
        return;
    }
    report.line(106, [&] { m_controls.pointer->setMousePointer(Pointer::Hourglass); });
    report.line(108, [&] { m_controls.results->clear(); });
    report.line(110, [&] { m_savedCaption = button.text(); });
    report.line(112, [&] { button.setText(stopCaption()); });
    report.line(114, [&] { m_stop = false; });
    m_running = true;

    QString program;
    report.line(118, [&] { program = m_exifTool.EnsureExifTool(); });
    bool exiftoolMissing = program.isEmpty();

    const int n = exiftoolMissing ? 0 : report.value(120, [&] { return files.count(); }, 0);
    for (int i = 1; i <= n; ++i) {
        // A row removed during the run reads as no path, never as the previous image's.
        QString path;
        report.line(122, [&] { path = files.text(i); });
        report.line(124, [&] {
            const int count = files.count();
            if (count == 0)
                throw Failure(QStringLiteral("Division by zero"), 11);
            progress.setValue(static_cast<int>(std::lround(double(i) / count * 100.0)));
        });
        report.line(126, [&] {
            progress.setFormat(QStringLiteral("Processing: ") + ExifTool::FileNameOf(path));
        });
        report.line(128, [&] { m_platform.events->yield(); });
        if (report.condition(130, [&] { return m_stop; }))
            break;
        if (path.isEmpty())
            continue;
        QString dump;
        bool stopped = false;
        report.line(146, [&] {
            DumpProgress shown{&progress, progress.format(), progress.value(), files.count()};
            if (m_oneShot) {
                dump = m_exifTool.DumpMetadata(path, shown);
                stopped = m_exifTool.wasStopped();
                return;
            }
            // The next images are read ahead by the other sessions while this one is used.
            const int ahead = std::min(files.count(), i + 2 * m_reader.sessionCount());
            for (int j = i + 1; j <= ahead; ++j)
                m_reader.prefetch(program, files.text(j));
            m_exifTool.resetStartFailed();
            dump = m_reader.read(program, path, shown);
            stopped = m_reader.wasStopped();
        });
        if (m_exifTool.startFailed()) {
            exiftoolMissing = true;
            report.line(192, [&] { m_exifTool.removeTempFiles(); });
            break;
        }
        // An image cut short by Stop is not searched: its output is incomplete.
        if (!stopped && report.condition(152, [&] { return !dump.isEmpty(); })) {
            const QList<TagValue> entries =
                report.value(154, [&] { return matchingEntries(dump, searchText); },
                             QList<TagValue>());
            for (const TagValue& entry : entries)
                report.line(184, [&] { m_controls.results->addItem(path, {entry.tag, entry.value}); });
        }
        report.line(192, [&] { m_exifTool.removeTempFiles(); });
    }
    finish(report, !exiftoolMissing);
    if (exiftoolMissing)
        m_platform.messages->show(exiftoolMissingMessage(), MessageFlags::Exclamation);
}

void SearchRun::finish(ErrorReport& report, bool showDone)
{
    m_running = false;
    report.line(202, [&] { m_controls.button->setText(m_savedCaption); });
    report.line(204, [&] { m_stop = true; });
    report.line(206, [&] { m_controls.fileList->setHeaderText(1, QStringLiteral("Image(s)")); });
    report.line(208, [&] { m_controls.pointer->setMousePointer(Pointer::Default); });
    report.line(210, [&] {
        m_controls.progress->setValue(0);
        m_controls.progress->setFormat(QStringLiteral("Progress Bar"));
    });
    if (showDone)
        report.line(214, [&] { m_platform.messages->show(doneMessage(), MessageFlags::Ok); });
}

} // namespace tagsifter
