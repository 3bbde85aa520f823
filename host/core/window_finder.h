#pragma once
// Looks windows up on the display, across all processes.

#include <string_view>

#include "host/core/window_id.h"

namespace pellarin {

class WindowFinder {
 public:
  virtual ~WindowFinder() = default;
  // True when any window, shown or hidden, carries exactly this title.
  virtual bool windowWithTitleExists(std::string_view title) = 0;
  // The same, counting only windows inside `ancestor` (its children, theirs, and so on); false
  // when ancestor names no window.
  virtual bool windowWithTitleExistsInside(WindowId ancestor, std::string_view title) = 0;
  // True when the number names a window that exists now.
  virtual bool windowExists(WindowId window) = 0;
  // The screen's root window: the desktop that every top-level window lies inside.
  virtual WindowId rootWindow() = 0;
};

}  // namespace pellarin
