#include "search/TagNames.h"

#include "exiftool/ExifTool.h"
#include "exiftool/ToolIdentity.h"
#include "search/MetadataReader.h"

#include <QFile>

namespace tagsifter {

TagNames::TagNames(const Platform& platform, ExifTool& exifTool, MetadataReader& reader)
    : m_platform(platform), m_exifTool(exifTool), m_reader(reader)
{
}

std::shared_ptr<const TagVocabulary> TagNames::of(const QString& program, DumpProgress progress)
{
    if (program.isEmpty())
        return std::make_shared<const TagVocabulary>();
    const QString key =
        ToolIdentity::programStamp(*m_platform.files, program) + QLatin1Char(' ') +
        ToolIdentity::configStamp(*m_platform.files, program, m_exifTool.workingFolder());
    if (key == m_key && m_vocabulary)
        return m_vocabulary;
    DumpStore* store = m_reader.cacheFile();
    std::optional<TagVocabulary> kept;
    if (store) {
        if (const std::optional<QByteArray> bytes = store->knownTagNames(key))
            kept = TagVocabulary::fromSerialized(*bytes);
    }
    std::shared_ptr<const TagVocabulary> vocabulary =
        kept ? std::make_shared<const TagVocabulary>(std::move(*kept))
             : listed(program, std::move(progress));
    if (vocabulary->isEmpty())
        return vocabulary;
    if (store && !kept)
        store->rememberTagNames(key, vocabulary->serialized());
    m_key = key;
    m_vocabulary = vocabulary;
    return vocabulary;
}

std::shared_ptr<const TagVocabulary> TagNames::listed(const QString& program, DumpProgress progress)
{
    const QString folder = m_exifTool.tempFolder();
    if (folder.isEmpty())
        return std::make_shared<const TagVocabulary>();
    const QString output = folder + QStringLiteral("/tagnames.xml");
    const int status = m_exifTool.RunAndWait(
        program, {QStringLiteral("-lang"), QStringLiteral("en"), QStringLiteral("-listx")},
        QByteArray(), output, std::move(progress));
    QFile file(output);
    QByteArray xml;
    if (file.open(QIODevice::ReadOnly))
        xml = file.readAll();
    file.close();
    m_platform.files->removeFile(output);
    if (status != 0 || m_exifTool.wasStopped())
        return std::make_shared<const TagVocabulary>();
    return std::make_shared<const TagVocabulary>(TagVocabulary::fromTagList(xml));
}

} // namespace tagsifter
