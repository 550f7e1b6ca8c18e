#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QUrl>

namespace tagsifter {

// File names are bytes here, and old archives hold names that are not UTF-8 (Latin-1 from
// Windows or FAT media). A name round-trips byte for byte: each byte that is not part of valid
// UTF-8 is held as U+DC80 + byte, and written back as that byte wherever the path leaves the
// program. Shown on screen, such a character looks like a replacement mark.

/// The text of a file name's bytes.
QString decodeFileName(QByteArrayView bytes);
/// The bytes of a file name decoded by decodeFileName.
QByteArray encodeFileName(const QString& name);

/// The file URL of `path`, each byte of the name percent-encoded as it is.
QUrl fileUrl(const QString& path);
/// The local path a file URL names, its bytes decoded by decodeFileName; empty for another URL.
QString localPath(const QUrl& url);

} // namespace tagsifter
