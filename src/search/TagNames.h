#pragma once

#include "core/SystemServices.h"
#include "exiftool/DumpProgress.h"
#include "query/TagVocabulary.h"

#include <QString>

#include <memory>

namespace tagsifter {

class ExifTool;
class MetadataReader;

/// The tag names of the exiftool a search runs, for reading queries: kept in memory, in the
/// cache file under that exiftool (its program file and configuration), or else listed by it
/// once (`exiftool -lang en -listx`, a second or two).
class TagNames
{
public:
    TagNames(const SystemServices& system, ExifTool& exifTool, MetadataReader& reader);

    /// The vocabulary of the exiftool at `program`; empty when it cannot be had (no exiftool,
    /// or a stop request while it lists its tags).
    std::shared_ptr<const TagVocabulary> of(const QString& program, DumpProgress progress);

    /// The vocabulary `of` gave last; null before.
    std::shared_ptr<const TagVocabulary> last() const { return m_vocabulary; }
    /// The vocabulary known without asking exiftool: the last one, or else the one the cache
    /// file keeps for the exiftool at `program` (looked for once); null when there is none.
    std::shared_ptr<const TagVocabulary> kept(const QString& program);

private:
    std::shared_ptr<const TagVocabulary> listed(const QString& program, DumpProgress progress);

    SystemServices m_system;
    ExifTool& m_exifTool;
    MetadataReader& m_reader;
    /// The key of the exiftool at `program`: its program file and configuration.
    QString keyOf(const QString& program) const;

    QString m_key;
    bool m_keptTried = false;
    std::shared_ptr<const TagVocabulary> m_vocabulary;
};

} // namespace tagsifter
