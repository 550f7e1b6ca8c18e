#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace tagsifter {

/// The forms in which the program writes its hits as text, one home for all of them.
namespace OutputFormat {

/// A field as one line of output holds it: TAB, CR, LF and backslash written "\t", "\r",
/// "\n" and "\\", all other bytes as they are. exiftool's argument file reads the same form
/// after "#[CSTR]".
QByteArray escapeField(const QByteArray& field);
/// Appends `field` to `out` as escapeField writes it.
void appendEscaped(QByteArray& out, QByteArrayView field);

/// One hit as a line of tab-separated text: path (its bytes on disk), tag and value (UTF-8),
/// each escaped, and LF.
QByteArray hitLine(const QByteArray& path, const QString& tag, const QString& value);
/// The same with the tag and value in UTF-8.
QByteArray hitLineUtf8(const QByteArray& path, QByteArrayView tag, QByteArrayView value);

/// One hit as a JSON object on a line of its own (JSON Lines): "path", "tag" and "value". A
/// path that is not UTF-8 is written with U+FFFD for its stray bytes, and its bytes as they
/// are on disk follow in base64 as "path_base64".
QByteArray jsonLine(const QByteArray& path, const QString& tag, const QString& value);
/// The same with the tag and value in valid UTF-8.
QByteArray jsonLineUtf8(const QByteArray& path, QByteArrayView tag, QByteArrayView value);
/// What jsonLine writes of `path`, the same for every hit of an image.
QByteArray jsonPathPart(const QByteArray& path);
/// Appends the jsonLine of a hit whose path jsonPathPart gave as `pathPart`.
/// The member that names the XMP sidecar a row came from (`,"sidecar":"..."`), to follow
/// jsonPathPart.
QByteArray jsonSidecarPart(const QByteArray& sidecar);
void appendJsonLine(QByteArray& out, const QByteArray& pathPart, QByteArrayView tag,
                    QByteArrayView value);

/// One hit as a line of CSV after RFC 4180: path (its bytes on disk), tag and value, a field
/// with a comma, double quote, CR or LF in double quotes (its double quotes doubled), and CR LF.
QByteArray csvLine(const QByteArray& path, const QString& tag, const QString& value);
/// The same with the tag and value in UTF-8.
QByteArray csvLineUtf8(const QByteArray& path, QByteArrayView tag, QByteArrayView value);
/// What csvLine writes of `path`: its field.
QByteArray csvPathPart(const QByteArray& path);
/// Appends the csvLine of a hit whose path csvPathPart gave as `pathPart`.
void appendCsvLine(QByteArray& out, const QByteArray& pathPart, QByteArrayView tag,
                   QByteArrayView value);
/// A field of CSV after RFC 4180, quoted where it needs to be.
QByteArray csvField(QByteArrayView field);

/// The tally a count prints: "N images searched, M with hits, H hits" and LF.
QByteArray countLine(int imagesSearched, int imagesWithHits, qint64 hits);

} // namespace OutputFormat

} // namespace tagsifter
