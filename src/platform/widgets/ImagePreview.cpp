#include "ImagePreview.h"

#include "core/FileNameBytes.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QPointer>
#include <QProcess>

#include <limits>

namespace tagsifter {

ImagePreview::ImagePreview(QObject* parent) : ImagePreview(Limits(), parent) {}

ImagePreview::ImagePreview(const Limits& limits, QObject* parent)
    : QObject(parent), m_limits(limits),
      m_kept(static_cast<int>(std::min<qint64>(limits.keptBytes, std::numeric_limits<int>::max())))
{
    m_pool.setMaxThreadCount(1);
}

ImagePreview::~ImagePreview()
{
    m_latest = std::numeric_limits<quint64>::max();
    m_pool.clear();
    m_pool.waitForDone();
}

void ImagePreview::request(const QString& path)
{
    const quint64 mine = ++m_latest;
    if (const Result* kept = m_kept.object(path)) {
        emit shown(path, kept->picture, kept->reason);
        return;
    }
    const Limits limits = m_limits;
    const QString exiftool = m_exiftool;
    m_pool.start([this, path, mine, limits, exiftool] {
        // A later request has come: this one is passed over.
        if (m_latest != mine)
            return;
        Result result = decode(path, limits, exiftool);
        QMetaObject::invokeMethod(
            this,
            [this, path, mine, result = std::move(result)] {
                const auto cost = static_cast<int>(result.picture.sizeInBytes() + 64);
                m_kept.insert(path, new Result(result), cost);
                if (m_latest == mine)
                    emit shown(path, result.picture, result.reason);
            },
            Qt::QueuedConnection);
    });
}

ImagePreview::Result ImagePreview::decode(const QString& path, const Limits& limits,
                                          const QString& exiftool)
{
    if (!QFileInfo(path).isFile())
        return {QImage(), missingText()};
    QImageReader reader(path);
    if (reader.canRead() || exiftool.isEmpty())
        return decode(reader, limits);
    // A format Qt cannot read (a raw photo): the preview the camera embedded in it.
    QByteArray embedded = embeddedPreview(path, exiftool, limits.decodeBytes);
    if (embedded.isEmpty())
        return {QImage(), unreadableText()};
    QBuffer buffer(&embedded);
    QImageReader fromBytes(&buffer);
    return decode(fromBytes, limits);
}

ImagePreview::Result ImagePreview::decode(QImageReader& reader, const Limits& limits)
{
    reader.setAutoTransform(true);
    reader.setAllocationLimit(static_cast<int>(std::max<qint64>(limits.decodeBytes >> 20, 1)));
    const QSize size = reader.size();
    if (!reader.canRead() || !size.isValid())
        return {QImage(), unreadableText()};
    const bool scalesWhileReading = reader.format() == "jpeg";
    // What the decoder holds at once: a JPEG's at an eighth of its sides at the least, any
    // other format's whole.
    const qint64 held = scalesWhileReading
                            ? qint64(size.width() / 8 + 1) * (size.height() / 8 + 1) * 4
                            : qint64(size.width()) * size.height() * 4;
    if (held > limits.decodeBytes)
        return {QImage(), tooLargeText()};
    if (size.width() > limits.box.width() || size.height() > limits.box.height())
        reader.setScaledSize(size.scaled(limits.box, Qt::KeepAspectRatio));
    QImage picture = reader.read();
    if (picture.isNull())
        return {QImage(), unreadableText()};
    return {picture, QString()};
}

QByteArray ImagePreview::embeddedPreview(const QString& path, const QString& exiftool,
                                         qint64 maxBytes)
{
    const QByteArray name = encodeFileName(path);
    if (name.contains('\n'))
        return QByteArray();
    for (const char* tag : {"-PreviewImage", "-JpgFromRaw", "-ThumbnailImage"}) {
        QProcess process;
        // The name goes on standard input as its bytes.
        process.start(exiftool, {QStringLiteral("-b"), QString::fromLatin1(tag),
                                 QStringLiteral("-@"), QStringLiteral("-")});
        if (!process.waitForStarted(5000))
            return QByteArray();
        process.write(name + '\n');
        process.closeWriteChannel();
        QByteArray bytes;
        while (process.state() != QProcess::NotRunning && bytes.size() <= maxBytes) {
            if (!process.waitForReadyRead(10000) && process.state() != QProcess::NotRunning)
                break;
            bytes += process.readAllStandardOutput();
        }
        bytes += process.readAllStandardOutput();
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(1000);
        }
        if (!bytes.isEmpty() && bytes.size() <= maxBytes)
            return bytes;
    }
    return QByteArray();
}

} // namespace tagsifter
