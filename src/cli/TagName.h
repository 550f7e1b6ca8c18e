#pragma once

#include <QString>

namespace tagsifter {

class TagVocabulary;

/// exiftool's name of the tag that the results list shows as `description` ("Camera Model
/// Name" is Model), as `names` knows it; else the description without its spaces.
QString tagNameOf(const QString& description, const TagVocabulary* names = nullptr);

} // namespace tagsifter
