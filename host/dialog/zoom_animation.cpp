#include "host/dialog/zoom_animation.h"

#include <algorithm>
#include <cstdint>

namespace pellarin {

namespace {

// Rounded to the nearest pixel; 64 bits so that far-apart edges cannot overflow.
int between(int from, int to, std::int64_t step, std::int64_t steps) {
  const std::int64_t travelled = (static_cast<std::int64_t>(to) - from) * step;
  const std::int64_t rounded =
      travelled >= 0 ? (travelled + steps / 2) / steps : -((-travelled + steps / 2) / steps);
  return static_cast<int>(from + rounded);
}

}  // namespace

ScreenRect ZoomAnimation::at(std::chrono::milliseconds elapsed) const {
  const std::int64_t steps = kDuration.count();
  const std::int64_t step = std::clamp<std::int64_t>(elapsed.count(), 0, steps);
  return {between(from_.left, to_.left, step, steps), between(from_.top, to_.top, step, steps),
          between(from_.right, to_.right, step, steps),
          between(from_.bottom, to_.bottom, step, steps)};
}

}  // namespace pellarin
