#include "FakeServices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tagsifter::test {

void writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
}

QString corpusFolder()
{
    return QStringLiteral(TAGSIFTER_SOURCE_DIR "/tests/data/corpus");
}

QString samplesFolder()
{
    return QStringLiteral(TAGSIFTER_SOURCE_DIR "/resources/Samples");
}

} // namespace tagsifter::test
