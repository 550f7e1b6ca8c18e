#pragma once

#include <QString>

namespace tagsifter {

/// The application title from the product name: the last word is removed, then further words
/// while the title is longer than 40 characters. A name of one word stays whole.
QString appTitleFrom(const QString& productName);

/// The title that message and input boxes show when they name none of their own.
QString applicationTitle();
void setApplicationTitle(const QString& title);

} // namespace tagsifter
