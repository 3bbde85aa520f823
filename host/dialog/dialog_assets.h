#pragma once
// The settings dialog's built-in pictures, drawn by tools/make_dialog_assets at build time.

#include <cstdint>

namespace pellarin::dialog_assets {

// Pixels row by row as 0xAARRGGBB (straight alpha).
struct AssetImage {
  int width;
  int height;
  const std::uint32_t* pixels;
};

// 12 x 12 option marks.
AssetImage optionMark(bool selected);
// Frames 1 to 24 of the animation, 120 x 50.
AssetImage animationFrame(int frame);
// 32 x 32 pointing hand.
AssetImage handPointer();
inline constexpr int kHandHotSpotX = 12;
inline constexpr int kHandHotSpotY = 1;

}  // namespace pellarin::dialog_assets
