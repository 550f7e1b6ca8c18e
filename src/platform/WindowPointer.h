#pragma once

namespace tagsifter {

/// Mouse pointer modes of the main window.
namespace Pointer {
constexpr int Default = 0;
constexpr int Arrow = 1;
constexpr int Hourglass = 11;
constexpr int Custom = 99;
} // namespace Pointer

/// The main window's pointer mode. The hourglass also marks the window as busy: rows of the
/// file list are not removed while it shows.
class WindowPointer
{
public:
    virtual ~WindowPointer() = default;
    virtual int mousePointer() const = 0;
    virtual void setMousePointer(int mode) = 0;
    bool isBusy() const { return mousePointer() == Pointer::Hourglass; }
};

} // namespace tagsifter
