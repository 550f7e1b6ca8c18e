#pragma once

#include <QString>

namespace tagsifter {

/// The application title from the product name: the last word is removed, then further words
/// while the title is longer than 40 characters. A name of one word stays whole.
QString appTitleFrom(const QString& productName);

} // namespace tagsifter
