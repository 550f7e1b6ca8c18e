#pragma once

#include <QString>

namespace tagsifter {

/// The search text that finds `value` again: with `query`, the query `TAG="value"` (inside the
/// quotes `"` and `\` are written `\"` and `\\`; the tag is quoted the same way when it holds a
/// character that is neither a letter nor a digit, or is empty); otherwise the value as it is.
QString searchForValueText(const QString& tag, const QString& value, bool query);

} // namespace tagsifter
