#include "FakePlatform.h"

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

std::unique_ptr<ListView> resultsWith(const QList<QStringList>& rows)
{
    auto list = std::make_unique<ListView>();
    list->addColumn(QStringLiteral("Image"));
    list->addColumn(QStringLiteral("Metadata Tag"));
    list->addColumn(QStringLiteral("Value"));
    for (const QStringList& row : rows)
        list->addItem(row.value(0), {row.value(1), row.value(2)});
    return list;
}

} // namespace tagsifter::test
