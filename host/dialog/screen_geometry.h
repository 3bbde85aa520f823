#pragma once
// Screen positions and sizes, in pixels. The size is the start-up's own: one type for the
// screen's and a window's size in the whole host.

#include "host/core/screen_metrics.h"

namespace pellarin {

struct ScreenRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool operator==(const ScreenRect&) const = default;
};

}  // namespace pellarin
