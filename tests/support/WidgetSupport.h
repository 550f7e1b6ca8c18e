#pragma once

#include "platform/widgets/ListView.h"

#include <QList>
#include <QStringList>

#include <memory>

namespace tagsifter::test {

/// A results list with its three columns, holding `rows` of path, tag and value.
std::unique_ptr<ListView> resultsWith(const QList<QStringList>& rows);

} // namespace tagsifter::test
