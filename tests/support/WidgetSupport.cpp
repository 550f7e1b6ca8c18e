#include "WidgetSupport.h"

namespace tagsifter::test {

std::unique_ptr<ListView> resultsWith(const QList<QStringList>& rows)
{
    auto list = std::make_unique<ListView>();
    list->enableSortAndFilter();
    list->addColumn(QStringLiteral("Image"));
    list->addColumn(QStringLiteral("Metadata Tag"));
    list->addColumn(QStringLiteral("Value"));
    for (const QStringList& row : rows)
        list->addItem(row.value(0), {row.value(1), row.value(2)});
    return list;
}

} // namespace tagsifter::test
