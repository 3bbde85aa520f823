#pragma once
// A picture as the host keeps it: rows top to bottom, three bytes per pixel (red, green, blue).

#include <cstdint>
#include <span>

namespace pellarin {

struct PictureView {
  int width = 0;
  int height = 0;
  std::span<const std::uint8_t> rgb;  // width * height * 3 bytes
};

}  // namespace pellarin
