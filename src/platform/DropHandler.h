#pragma once

class QMimeData;

namespace tagsifter {

/// What a list does with things dragged onto it from outside.
class DropHandler
{
public:
    virtual ~DropHandler() = default;
    virtual bool canAccept(const QMimeData* data) const = 0;
    virtual void drop(const QMimeData* data) = 0;
};

} // namespace tagsifter
