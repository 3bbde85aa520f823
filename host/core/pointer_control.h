#pragma once
// Shows and hides the mouse pointer for the whole screen.

#include <cstdint>

namespace pellarin {

class PointerControl {
 public:
  virtual ~PointerControl() = default;
  // Counts down on hide and up on show; the pointer is visible while the count is 0 or more.
  // Returns the new count (hiding a visible pointer gives -1).
  virtual std::int32_t showCursor(bool show) = 0;
};

}  // namespace pellarin
