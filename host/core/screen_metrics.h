#pragma once
// The size of the primary screen.

#include <cstdint>

namespace pellarin {

// A size in pixels: the screen's, or a window's.
struct ScreenSize {
  std::int32_t width = 0;
  std::int32_t height = 0;
};

class ScreenMetrics {
 public:
  virtual ~ScreenMetrics() = default;
  // The primary monitor's size in pixels.
  virtual ScreenSize primaryScreenSize() = 0;
};

}  // namespace pellarin
