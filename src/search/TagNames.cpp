#include "search/TagNames.h"

#include "exiftool/ExifTool.h"
#include "exiftool/ToolIdentity.h"
#include "search/MetadataReader.h"

#include "core/Process.h"

#include <QFile>

namespace tagsifter {

TagNames::TagNames(const SystemServices& system, ExifTool& exifTool, MetadataReader& reader)
    : m_system(system), m_exifTool(exifTool), m_reader(reader)
{
}

std::shared_ptr<const TagVocabulary> TagNames::of(const QString& program, DumpProgress progress)
{
    if (program.isEmpty())
        return std::make_shared<const TagVocabulary>();
    const QString key = keyOf(program);
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

QString TagNames::keyOf(const QString& program) const
{
    return ToolIdentity::programStamp(*m_system.files, program) + QLatin1Char(' ') +
           ToolIdentity::configStamp(*m_system.files, program, m_exifTool.workingFolder());
}

std::shared_ptr<const TagVocabulary> TagNames::kept(const QString& program)
{
    if (m_vocabulary || m_keptTried || program.isEmpty())
        return m_vocabulary;
    m_keptTried = true;
    DumpStore* store = m_reader.cacheFile();
    const QString key = keyOf(program);
    if (const std::optional<QByteArray> bytes = store ? store->knownTagNames(key) : std::nullopt) {
        if (std::optional<TagVocabulary> names = TagVocabulary::fromSerialized(*bytes)) {
            m_key = key;
            m_vocabulary = std::make_shared<const TagVocabulary>(std::move(*names));
        }
    }
    return m_vocabulary;
}

std::shared_ptr<const TagVocabulary> TagNames::listed(const QString& program, DumpProgress progress)
{
    const QString folder = m_exifTool.tempFolder();
    if (folder.isEmpty())
        return std::make_shared<const TagVocabulary>();
    const QString output = folder + QStringLiteral("/tagnames.xml");
    std::unique_ptr<ProcessHandle> process = m_system.processes->start(
        program, {QStringLiteral("-lang"), QStringLiteral("en"), QStringLiteral("-listx")},
        QByteArray(), output, m_exifTool.workingFolder());
    if (!process)
        return std::make_shared<const TagVocabulary>();
    // No stop request ends it: it runs before a search starts, and an exiftool that hangs is
    // ended after the silence limit of an image.
    bool ended = false;
    for (int polls = 0; !ended && polls < ExifTool::kSilencePolls; ++polls) {
        m_system.events->yield();
        ended = process->waitForEnd(ExifTool::kPollMs);
        progress.showWait(polls + 1);
    }
    progress.endWait();
    if (!ended)
        process->kill();
    const int status = ended && process->exitedNormally() ? process->exitCode() : -1;
    QFile file(output);
    QByteArray xml;
    if (file.open(QIODevice::ReadOnly))
        xml = file.readAll();
    file.close();
    m_system.files->removeFile(output);
    if (status != 0)
        return std::make_shared<const TagVocabulary>();
    return std::make_shared<const TagVocabulary>(TagVocabulary::fromTagList(xml));
}

} // namespace tagsifter
