#include "core/OutputFormat.h"

#include <QStringDecoder>

namespace tagsifter::OutputFormat {

namespace {

/// `text` (valid UTF-8) as a JSON string: quotes, backslashes and control characters escaped,
/// every other byte as it is.
void appendJsonString(QByteArray& out, QByteArrayView text)
{
    out += '"';
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        out.append(text.data() + start, i - start);
        start = i + 1;
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += "\\u00";
            out += "0123456789abcdef"[c >> 4];
            out += "0123456789abcdef"[c & 0xf];
        }
    }
    out.append(text.data() + start, text.size() - start);
    out += '"';
}

/// Appends `field` as CSV writes it: in double quotes, its own doubled, when it holds a comma,
/// a double quote, a CR or an LF.
void appendCsvField(QByteArray& out, QByteArrayView field)
{
    bool quoted = false;
    for (const char c : field)
        quoted = quoted || c == ',' || c == '"' || c == '\r' || c == '\n';
    if (!quoted) {
        out.append(field.data(), field.size());
        return;
    }
    out += '"';
    qsizetype start = 0;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] != '"')
            continue;
        out.append(field.data() + start, i + 1 - start);
        out += '"';
        start = i + 1;
    }
    out.append(field.data() + start, field.size() - start);
    out += '"';
}

} // namespace

void appendEscaped(QByteArray& out, QByteArrayView field)
{
    qsizetype start = 0;
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c != '\t' && c != '\r' && c != '\n' && c != '\\')
            continue;
        out.append(field.data() + start, i - start);
        out += c == '\t' ? "\\t" : c == '\r' ? "\\r" : c == '\n' ? "\\n" : "\\\\";
        start = i + 1;
    }
    out.append(field.data() + start, field.size() - start);
}

QByteArray escapeField(const QByteArray& field)
{
    QByteArray out;
    out.reserve(field.size());
    appendEscaped(out, field);
    return out;
}

QByteArray hitLineUtf8(const QByteArray& path, QByteArrayView tag, QByteArrayView value)
{
    QByteArray out;
    out.reserve(path.size() + tag.size() + value.size() + 3);
    appendEscaped(out, path);
    out += '\t';
    appendEscaped(out, tag);
    out += '\t';
    appendEscaped(out, value);
    out += '\n';
    return out;
}

QByteArray hitLine(const QByteArray& path, const QString& tag, const QString& value)
{
    return hitLineUtf8(path, tag.toUtf8(), value.toUtf8());
}

QByteArray jsonPathPart(const QByteArray& path)
{
    // A path that is not UTF-8 is shown with U+FFFD for its stray bytes, its bytes in base64.
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString shown = decoder.decode(path);
    QByteArray out = "{\"path\":";
    appendJsonString(out, shown.toUtf8());
    if (decoder.hasError())
        out += ",\"path_base64\":\"" + path.toBase64() + '"';
    return out;
}

QByteArray jsonSidecarPart(const QByteArray& sidecar)
{
    QByteArray out = ",\"sidecar\":";
    appendJsonString(out, QString::fromUtf8(sidecar).toUtf8());
    return out;
}

void appendJsonLine(QByteArray& out, const QByteArray& pathPart, QByteArrayView tag,
                    QByteArrayView value)
{
    out += pathPart;
    out += ",\"tag\":";
    appendJsonString(out, tag);
    out += ",\"value\":";
    appendJsonString(out, value);
    out += "}\n";
}

QByteArray jsonLineUtf8(const QByteArray& path, QByteArrayView tag, QByteArrayView value)
{
    QByteArray out;
    appendJsonLine(out, jsonPathPart(path), tag, value);
    return out;
}

QByteArray jsonLine(const QByteArray& path, const QString& tag, const QString& value)
{
    return jsonLineUtf8(path, tag.toUtf8(), value.toUtf8());
}

QByteArray csvField(QByteArrayView field)
{
    QByteArray out;
    appendCsvField(out, field);
    return out;
}

QByteArray csvPathPart(const QByteArray& path)
{
    return csvField(path);
}

void appendCsvLine(QByteArray& out, const QByteArray& pathPart, QByteArrayView tag,
                   QByteArrayView value)
{
    out += pathPart;
    out += ',';
    appendCsvField(out, tag);
    out += ',';
    appendCsvField(out, value);
    out += "\r\n";
}

QByteArray csvLineUtf8(const QByteArray& path, QByteArrayView tag, QByteArrayView value)
{
    QByteArray out;
    appendCsvLine(out, csvPathPart(path), tag, value);
    return out;
}

QByteArray csvLine(const QByteArray& path, const QString& tag, const QString& value)
{
    return csvLineUtf8(path, tag.toUtf8(), value.toUtf8());
}

QByteArray countLine(int imagesSearched, int imagesWithHits, qint64 hits)
{
    return QByteArray::number(imagesSearched) + " images searched, " +
           QByteArray::number(imagesWithHits) + " with hits, " + QByteArray::number(hits) +
           " hits\n";
}

} // namespace tagsifter::OutputFormat
