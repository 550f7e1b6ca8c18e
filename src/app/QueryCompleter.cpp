#include "app/QueryCompleter.h"

#include <QLineEdit>

namespace tagsifter {

namespace {

/// Where the word being typed begins in `text`: after the last space or parenthesis, and
/// after a `-` that negates it.
qsizetype wordStart(const QString& text)
{
    qsizetype start = text.size();
    while (start > 0 && !text.at(start - 1).isSpace() && text.at(start - 1) != QLatin1Char('(') &&
           text.at(start - 1) != QLatin1Char(')'))
        --start;
    if (start < text.size() && text.at(start) == QLatin1Char('-'))
        ++start;
    return start;
}

} // namespace

QueryCompleter::QueryCompleter(QObject* parent) : QCompleter(parent)
{
    setModel(&m_tags);
    setCaseSensitivity(Qt::CaseInsensitive);
    setModelSorting(QCompleter::UnsortedModel);
    setCompletionMode(QCompleter::PopupCompletion);
    setMaxVisibleItems(12);
}

void QueryCompleter::setTags(const QStringList& tags)
{
    m_tags.setStringList(tags);
}

QStringList QueryCompleter::splitPath(const QString& path) const
{
    const QString word = path.mid(wordStart(path));
    // A word that has its operator already, or is quoted, is not a tag being typed.
    if (word.isEmpty() || word.contains(QLatin1Char(':')) || word.contains(QLatin1Char('=')) ||
        word.contains(QLatin1Char('<')) || word.contains(QLatin1Char('>')) ||
        word.startsWith(QLatin1Char('"')) || word.startsWith(QLatin1Char('/')))
        return {QStringLiteral("\x01")};
    return {word};
}

QString QueryCompleter::pathFromIndex(const QModelIndex& index) const
{
    const auto* box = qobject_cast<const QLineEdit*>(widget());
    const QString text = box ? box->text() : QString();
    return text.left(wordStart(text)) + index.data().toString() + QLatin1Char(':');
}

} // namespace tagsifter
