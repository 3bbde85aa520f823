#pragma once
// A window of the desktop named by number, as other programs hand it over: an X window id on
// X11, a window handle on Windows. Both fit in 32 bits.

#include <cstdint>

namespace pellarin {

using WindowId = std::uint64_t;

}  // namespace pellarin
