#pragma once
// Looks windows up by title, across all processes on the display.

#include <string_view>

namespace pellarin {

class WindowFinder {
 public:
  virtual ~WindowFinder() = default;
  // True when any window, shown or hidden, carries exactly this title.
  virtual bool windowWithTitleExists(std::string_view title) = 0;
};

}  // namespace pellarin
