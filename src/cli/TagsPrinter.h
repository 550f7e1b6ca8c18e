#pragma once

#include "Printer.h"

#include <QHash>
#include <QStringList>

#include <memory>
#include <vector>

namespace tagsifter {

class TagVocabulary;

/// `tagsifter tags`: which tags the images hold, counted as the hits of a search that matches
/// every row come, and written when it ends: one line a tag, the number of images that hold it,
/// TAB, exiftool's tag name, TAB, the tag as the results list shows it; most common first, tags
/// as common as each other in the order they were first met. JSON Lines with --json.
class TagsPrinter : public Printer
{
public:
    TagsPrinter(Output& output, bool json) : m_output(output), m_json(json) {}
    /// The tag names of the exiftool that searched, for the name column.
    void setNames(std::shared_ptr<const TagVocabulary> names) { m_names = std::move(names); }
    void hits(const QString& path, const QList<TagValue>& hits) override;
    bool end(const SearchOutcome& outcome, std::FILE* err) override;

    /// The tags most common first, with the number of images that hold each.
    std::vector<std::pair<QString, qint64>> ranked() const;

private:
    Output& m_output;
    bool m_json;
    std::shared_ptr<const TagVocabulary> m_names;
    /// The tags in the order first met, and how many images hold each.
    QStringList m_order;
    QHash<QString, qint64> m_images;
};

} // namespace tagsifter
