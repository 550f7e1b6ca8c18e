#pragma once

#include <QCache>
#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <QObject>
#include <QSize>
#include <QThreadPool>

#include <atomic>

namespace tagsifter {

/// Small pictures of images, decoded on a thread of their own and kept for a while: a JPEG
/// decoded at a fraction of its size (its decoder scales while it reads), other formats Qt reads
/// whole when that fits the memory allowed. A request made while another waits replaces it, so
/// rows passed quickly cost nothing.
class ImagePreview : public QObject
{
    Q_OBJECT
public:
    struct Limits
    {
        /// The picture fits this box.
        QSize box{240, 240};
        /// The most memory one decode may take.
        qint64 decodeBytes = qint64(48) << 20;
        /// The most memory the pictures kept take.
        qint64 keptBytes = qint64(24) << 20;
    };
    explicit ImagePreview(QObject* parent = nullptr);
    ImagePreview(const Limits& limits, QObject* parent);
    ~ImagePreview() override;

    /// The exiftool that gives the previews embedded in the files Qt cannot read (raw photos);
    /// empty: none.
    void setExifTool(const QString& program) { m_exiftool = program; }
    /// Asks for the picture of `path`: shown() brings it, or the reason there is none.
    void request(const QString& path);
    const Limits& limits() const { return m_limits; }

    static QString missingText() { return tr("The file is not there."); }
    static QString unreadableText() { return tr("No preview: the file cannot be read."); }
    static QString tooLargeText() { return tr("No preview: the picture is too large."); }

signals:
    void shown(const QString& path, const QImage& picture, const QString& reason);

private:
    struct Result
    {
        QImage picture;
        QString reason;
    };
    static Result decode(const QString& path, const Limits& limits, const QString& exiftool);
    static Result decode(QImageReader& reader, const Limits& limits);
    /// The largest preview exiftool finds embedded in the file at `path`; empty when none.
    static QByteArray embeddedPreview(const QString& path, const QString& exiftool,
                                      qint64 maxBytes);

    Limits m_limits;
    QString m_exiftool;
    QThreadPool m_pool;
    QCache<QString, Result> m_kept;
    std::atomic<quint64> m_latest{0};
};

} // namespace tagsifter
