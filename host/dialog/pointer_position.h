#pragma once
// Seam: where the mouse pointer is on the screen.

#include <optional>

#include "host/controls/button_window.h"

namespace pellarin {

class PointerPosition {
 public:
  virtual ~PointerPosition() = default;
  virtual std::optional<ScreenPoint> pointerPosition() = 0;
};

}  // namespace pellarin
