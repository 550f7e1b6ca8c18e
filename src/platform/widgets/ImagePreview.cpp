#include "ImagePreview.h"

#include <QFileInfo>
#include <QImageReader>
#include <QPointer>

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
    m_pool.start([this, path, mine, limits] {
        // A later request has come: this one is passed over.
        if (m_latest != mine)
            return;
        Result result = decode(path, limits);
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

ImagePreview::Result ImagePreview::decode(const QString& path, const Limits& limits)
{
    if (!QFileInfo(path).isFile())
        return {QImage(), missingText()};
    QImageReader reader(path);
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

} // namespace tagsifter
