#include "core/OutputFormat.h"

#include <QStringDecoder>

namespace tagsifter::OutputFormat {

namespace {

void appendJsonString(QByteArray& out, const QString& text)
{
    out += '"';
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        switch (u) {
        case u'"':
            out += "\\\"";
            break;
        case u'\\':
            out += "\\\\";
            break;
        case u'\n':
            out += "\\n";
            break;
        case u'\r':
            out += "\\r";
            break;
        case u'\t':
            out += "\\t";
            break;
        default:
            if (u < 0x20) {
                out += "\\u00";
                out += "0123456789abcdef"[u >> 4];
                out += "0123456789abcdef"[u & 0xf];
            } else {
                out += QString(c).toUtf8();
            }
        }
    }
    out += '"';
}

} // namespace

QByteArray escapeField(const QByteArray& field)
{
    QByteArray out;
    out.reserve(field.size());
    for (const char c : field) {
        switch (c) {
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            out += c;
        }
    }
    return out;
}

QByteArray hitLine(const QByteArray& path, const QString& tag, const QString& value)
{
    return escapeField(path) + '\t' + escapeField(tag.toUtf8()) + '\t' +
           escapeField(value.toUtf8()) + '\n';
}

QByteArray jsonLine(const QByteArray& path, const QString& tag, const QString& value)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString pathText = decoder.decode(path);
    QByteArray out = "{\"path\":";
    // Surrogates (the stray bytes of a path read as text) cannot stand in JSON as they are.
    QString shown = pathText;
    for (QChar& c : shown) {
        if (c.isSurrogate())
            c = QChar::ReplacementCharacter;
    }
    appendJsonString(out, shown);
    if (decoder.hasError())
        out += ",\"path_base64\":\"" + path.toBase64() + '"';
    out += ",\"tag\":";
    appendJsonString(out, tag);
    out += ",\"value\":";
    appendJsonString(out, value);
    out += "}\n";
    return out;
}

QByteArray csvField(const QByteArray& field)
{
    bool quoted = false;
    for (const char c : field)
        quoted = quoted || c == ',' || c == '"' || c == '\r' || c == '\n';
    if (!quoted)
        return field;
    QByteArray out = field;
    out.replace('"', "\"\"");
    return '"' + out + '"';
}

QByteArray csvLine(const QByteArray& path, const QString& tag, const QString& value)
{
    return csvField(path) + ',' + csvField(tag.toUtf8()) + ',' + csvField(value.toUtf8()) + "\r\n";
}

QByteArray countLine(int imagesSearched, int imagesWithHits, qint64 hits)
{
    return QByteArray::number(imagesSearched) + " images searched, " +
           QByteArray::number(imagesWithHits) + " with hits, " + QByteArray::number(hits) +
           " hits\n";
}

} // namespace tagsifter::OutputFormat
