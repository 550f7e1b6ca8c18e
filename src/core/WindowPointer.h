#pragma once

namespace tagsifter {

/// Mouse pointer modes, numbered as the window has always numbered them.
enum class Pointer { Default = 0, Arrow = 1, Hourglass = 11, Custom = 99 };

/// The main window's pointer mode. The hourglass also marks the window as busy: rows of the
/// file list are not removed while it shows.
class WindowPointer
{
public:
    virtual ~WindowPointer() = default;
    virtual Pointer mousePointer() const = 0;
    virtual void setMousePointer(Pointer mode) = 0;
    bool isBusy() const { return mousePointer() == Pointer::Hourglass; }
};

} // namespace tagsifter
