#pragma once
// Forms and controls are laid out in twips (1/1440 inch); the screen has 15 twips a pixel at
// 96 dots per inch, which is what this desktop is laid out for.

#include <cmath>

namespace pellarin {

inline constexpr int kTwipsPerPixel = 15;

inline int twipsToPixels(int twips, int twipsPerPixel = kTwipsPerPixel) {
  return static_cast<int>(std::lround(static_cast<double>(twips) / twipsPerPixel));
}

}  // namespace pellarin
