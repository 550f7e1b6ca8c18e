#include "TagsPrinter.h"

#include "TagName.h"

#include "core/OutputFormat.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>

namespace tagsifter {

void TagsPrinter::hits(const QString&, const QList<TagValue>& hits)
{
    // A tag that an image holds twice (two groups print the same description) counts once.
    QSet<QString> seen;
    for (const TagValue& hit : hits) {
        if (seen.contains(hit.tag))
            continue;
        seen.insert(hit.tag);
        auto it = m_images.find(hit.tag);
        if (it == m_images.end()) {
            m_order.append(hit.tag);
            m_images.insert(hit.tag, 1);
        } else {
            ++it.value();
        }
    }
}

std::vector<std::pair<QString, qint64>> TagsPrinter::ranked() const
{
    std::vector<std::pair<QString, qint64>> tags;
    tags.reserve(m_order.size());
    for (const QString& tag : m_order)
        tags.emplace_back(tag, m_images.value(tag));
    std::stable_sort(tags.begin(), tags.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    return tags;
}

bool TagsPrinter::end(const SearchOutcome&, std::FILE*)
{
    QByteArray lines;
    for (const auto& [tag, images] : ranked()) {
        if (m_json) {
            const QJsonObject object{{QStringLiteral("images"), images},
                                     {QStringLiteral("name"), tagNameOf(tag, m_names.get())},
                                     {QStringLiteral("tag"), tag}};
            lines += QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
        } else {
            lines += QByteArray::number(images) + '\t' +
                     OutputFormat::escapeField(tagNameOf(tag, m_names.get()).toUtf8()) + '\t' +
                     OutputFormat::escapeField(tag.toUtf8()) + '\n';
        }
    }
    if (!m_output.ended())
        m_output.write(lines);
    return true;
}

} // namespace tagsifter
