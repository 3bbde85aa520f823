#pragma once
// The dialog's opening and closing zoom where the desktop has no call for it: a rectangle that
// moves and grows (or shrinks) from one place to another in the time the desktop's own caption
// animation takes. The view draws each rectangle; this decides which one, and when it is over.

#include <chrono>

#include "host/dialog/screen_geometry.h"

namespace pellarin {

class ZoomAnimation {
 public:
  static constexpr std::chrono::milliseconds kDuration{200};
  // Time between two drawn rectangles: about one screen refresh.
  static constexpr std::chrono::milliseconds kFrameInterval{15};

  ZoomAnimation(const ScreenRect& from, const ScreenRect& to) : from_(from), to_(to) {}

  // The rectangle to show `elapsed` after the start: each edge moves evenly from its start to
  // its end; the end rectangle from kDuration on. A negative time counts as the start.
  ScreenRect at(std::chrono::milliseconds elapsed) const;
  bool finished(std::chrono::milliseconds elapsed) const { return elapsed >= kDuration; }

 private:
  ScreenRect from_;
  ScreenRect to_;
};

}  // namespace pellarin
