#pragma once
// Windows bitmap files of every layout the converter reads, built byte by byte for its tests.

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "tests/libs/support/lib_test_support.h"

namespace pellarin::testing {

using Rgb = std::array<std::uint8_t, 3>;

struct BitmapLayout {
  int bitCount = 24;         // 1, 4, 8 (with `palette`), 24 or 32
  std::vector<Rgb> palette;  // written as its own length of entries (colours used)
  bool bitFields = false;    // 32 bits with `masks` (red, green, blue)
  std::array<std::uint32_t, 3> masks = {};
  std::uint32_t headerSize = 40;  // 40, or 108 / 124 with the masks inside the header
  bool topDown = false;
};

// A bitmap file of width x height pixels whose stored values (palette indexes, or the pixel's
// 24 or 32 bits) come from value(column, row). Row padding is filled with 0xA5, so a reader
// that takes it for pixels or miscounts it shows.
Bytes makeBitmap(int width, int height, const BitmapLayout& layout,
                 const std::function<std::uint32_t(int, int)>& value);

// A bottom-up 24-bit bitmap of packed RGB pixels.
Bytes makeRgbBitmap(int width, int height, const Bytes& rgb);

}  // namespace pellarin::testing
