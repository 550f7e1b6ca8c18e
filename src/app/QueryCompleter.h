#pragma once

#include <QCompleter>
#include <QStringListModel>

namespace tagsifter {

/// Offers tags while a query is typed: the word at the end of the search box is completed
/// with a tag and its colon, the text before it kept.
class QueryCompleter : public QCompleter
{
    Q_OBJECT
public:
    explicit QueryCompleter(QObject* parent = nullptr);

    /// The tags offered, the most frequent first.
    void setTags(const QStringList& tags);

    QStringList splitPath(const QString& path) const override;
    QString pathFromIndex(const QModelIndex& index) const override;

private:
    QStringListModel m_tags;
};

} // namespace tagsifter
