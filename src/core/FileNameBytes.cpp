#include "core/FileNameBytes.h"

namespace tagsifter {

namespace {

constexpr char16_t kHeldByte = 0xDC00;

bool isContinuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

// The length of the valid UTF-8 sequence at `at`, or 0 when the byte there does not start one
// (overlong forms, surrogates and code points beyond U+10FFFF are not valid).
qsizetype sequenceLength(QByteArrayView bytes, qsizetype at)
{
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[at + i]); };
    const qsizetype left = bytes.size() - at;
    const unsigned char c = byte(0);
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF)
        return left >= 2 && isContinuation(byte(1)) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        if (left < 3 || !isContinuation(byte(1)) || !isContinuation(byte(2)))
            return 0;
        if ((c == 0xE0 && byte(1) < 0xA0) || (c == 0xED && byte(1) >= 0xA0))
            return 0;
        return 3;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (left < 4 || !isContinuation(byte(1)) || !isContinuation(byte(2)) ||
            !isContinuation(byte(3)))
            return 0;
        if ((c == 0xF0 && byte(1) < 0x90) || (c == 0xF4 && byte(1) >= 0x90))
            return 0;
        return 4;
    }
    return 0;
}

bool isHeldByte(char16_t unit)
{
    return unit >= kHeldByte + 0x80 && unit <= kHeldByte + 0xFF;
}

} // namespace

QString decodeFileName(QByteArrayView bytes)
{
    QString name;
    name.reserve(bytes.size());
    qsizetype at = 0;
    while (at < bytes.size()) {
        qsizetype valid = at;
        qsizetype length = 0;
        while (valid < bytes.size() && (length = sequenceLength(bytes, valid)) > 0)
            valid += length;
        if (valid > at)
            name += QString::fromUtf8(bytes.sliced(at, valid - at));
        if (valid < bytes.size()) {
            name +=
                QChar(static_cast<char16_t>(kHeldByte + static_cast<unsigned char>(bytes[valid])));
            ++valid;
        }
        at = valid;
    }
    return name;
}

QByteArray encodeFileName(const QString& name)
{
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype start = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t unit = name.at(i).unicode();
        // A held byte is a low surrogate on its own, never the second half of a pair.
        const bool paired = i > 0 && name.at(i - 1).isHighSurrogate();
        if (!isHeldByte(unit) || paired)
            continue;
        bytes += QStringView(name).mid(start, i - start).toUtf8();
        bytes += static_cast<char>(unit - kHeldByte);
        start = i + 1;
    }
    bytes += QStringView(name).mid(start).toUtf8();
    return bytes;
}

QUrl fileUrl(const QString& path)
{
    return QUrl::fromEncoded("file://" + encodeFileName(path).toPercentEncoding("/"));
}

QString localPath(const QUrl& url)
{
    if (!url.isLocalFile())
        return QString();
    return decodeFileName(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}

} // namespace tagsifter
