#pragma once

namespace tagsifter {

/// True when there is a display the window can be shown on; without one, making the window's
/// application would end the program with an abort.
bool displayAvailable();

} // namespace tagsifter
