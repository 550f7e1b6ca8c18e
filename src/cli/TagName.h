#pragma once

#include <QString>

namespace tagsifter {

/// exiftool's name of the tag that the results list shows as `description` ("Exposure Time"
/// is ExposureTime): for now the description without its spaces.
QString tagNameOf(const QString& description);

} // namespace tagsifter
