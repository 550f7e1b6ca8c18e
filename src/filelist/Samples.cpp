#include "Samples.h"

#include "platform/FileNames.h"
#include "platform/ListModel.h"

#include <QUrl>

#include <utility>

namespace tagsifter {

namespace {

QByteArray keyBytes(const QString& key)
{
    return key.toLatin1();
}

} // namespace

QString ScrambleText(const QString& text, const QString& key, EventLoopService* events)
{
    const QByteArray bytes = text.toUtf8();
    const QByteArray k = keyBytes(key);
    QString out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        yieldSometimes(events);
        int sum = static_cast<unsigned char>(bytes.at(i)) +
                  static_cast<unsigned char>(k.at(i % k.size()));
        if (sum > 255)
            sum -= 255;
        out.append(QChar(static_cast<char16_t>(sum)));
    }
    return out;
}

QString UnscrambleText(const QString& text, const QString& key, EventLoopService* events)
{
    const QByteArray k = keyBytes(key);
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        yieldSometimes(events);
        // A character beyond one byte cannot come from scrambling; it stands for "?".
        const int code = text.at(i).unicode() <= 255 ? text.at(i).unicode() : '?';
        int difference = code - static_cast<unsigned char>(k.at(i % k.size()));
        if (difference < 1)
            difference += 255;
        bytes.append(static_cast<char>(difference));
    }
    return QString::fromUtf8(bytes);
}

bool ListContains(const ListModel& list, const QString& text)
{
    const int count = list.count();
    for (int i = 1; i <= count; ++i) {
        if (list.text(i) == text)
            return true;
    }
    return false;
}

Samples::Samples(const WindowServices& services, QString applicationFolder)
    : m_services(services), m_applicationFolder(std::move(applicationFolder))
{
}

QString Samples::samplesFolder() const
{
    return m_applicationFolder + QLatin1String("/Samples");
}

QString Samples::openFolderQuestion()
{
    return tr("Would you like this software to open the folder where these sample "
              "files are stored (so that you can view them before working with "
              "them)?");
}

void Samples::TakeSampleSnapshot()
{
    QStringList names;
    try {
        names = m_services.system.files->listFiles(samplesFolder() + QLatin1Char('/'),
                                                   QStringLiteral("*.*"));
    } catch (...) {
        // A missing Samples folder records an empty snapshot, taken again next start.
    }
    QStringList paths;
    for (const QString& name : std::as_const(names))
        paths.append(samplesFolder() + QLatin1Char('/') + name);
    m_services.system.settings->write(
        Setting::Snapshot,
        ScrambleText(paths.join(QLatin1Char('|')), scramblingKey(), m_services.system.events));
}

void Samples::checkSnapshot()
{
    if (m_services.system.settings->read(Setting::Snapshot).isEmpty())
        TakeSampleSnapshot();
}

void Samples::LoadSampleFiles(ListModel& list)
{
    const QString stored = m_services.system.settings->read(Setting::Snapshot);
    const QString text = UnscrambleText(stored, scramblingKey(), m_services.system.events);
    const QStringList paths = text.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    for (const QString& path : paths) {
        if (m_services.system.files->pathExists(path) && !ListContains(list, path))
            list.addItem(path);
    }
    if (m_services.user.messages->show(openFolderQuestion(), MessageFlags::YesNo) ==
        MessageAnswer::Yes)
        m_services.desktop.shell->openUrl(fileUrl(samplesFolder()));
}

} // namespace tagsifter
