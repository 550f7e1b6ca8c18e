#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace tagsifter {

class RowTable;

/// The rows of `texts` (1-based positions) whose lower-cased text contains the lower-cased
/// `filter` (`containing`), or does not.
QList<int> rowsMatching(const QStringList& texts, const QString& filter, bool containing);
/// The same for the row texts of `rows`; neighbouring rows that share their text's storage (the
/// rows of an image) are tested once.
QList<int> rowsMatching(const RowTable& rows, const QString& filter, bool containing);
/// The distinct non-empty texts of `texts`, in order of first appearance; equal means equal
/// character for character.
QStringList distinctPaths(const QStringList& texts);

} // namespace tagsifter
