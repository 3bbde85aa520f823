#pragma once
// Reads Windows bitmap files into plain RGB pixels.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace pellarin {

struct DecodedBitmap {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // rows top to bottom, red, green, blue
};

// The picture of a bitmap file's bytes: BITMAPINFOHEADER or a later header; 1, 4 and 8 bits with a
// palette, 24 bits, and 32 bits plain or with bit-field masks; bottom-up or top-down. Nothing for
// anything else, for compressed bitmaps, and for a file cut short.
std::optional<DecodedBitmap> decodeBitmap(std::span<const std::uint8_t> file);

}  // namespace pellarin
