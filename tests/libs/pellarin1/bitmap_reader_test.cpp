// The converter's bitmap reader, pixel for pixel, for each kind of layout it reads.
#include "libs/pellarin1/bitmap_reader.h"

#include <gtest/gtest.h>

#include <bit>

#include "tests/libs/pellarin1/bitmap_samples.h"

namespace pellarin::testing {
namespace {

// Colours whose channels all differ, so a swapped channel or entry shows.
const std::vector<Rgb> kColours = {{200, 30, 90},   {10, 220, 140},  {60, 70, 250},   {250, 240, 5},
                                   {0, 0, 0},       {255, 255, 255}, {128, 64, 32},   {33, 99, 177},
                                   {1, 2, 3},       {90, 180, 45},   {222, 111, 0},   {17, 34, 51},
                                   {240, 128, 128}, {5, 250, 250},   {100, 100, 200}, {77, 66, 55}};

std::vector<Rgb> firstColours(std::size_t count) {
  std::vector<Rgb> colours;
  for (std::size_t i = 0; i < count; ++i) colours.push_back(kColours[i % kColours.size()]);
  return colours;
}

// A pattern that changes from pixel to pixel and row to row, so bit order, row order and the
// row stride all show.
std::uint32_t index(int column, int row, std::size_t colours) {
  return static_cast<std::uint32_t>((column * 7 + row * 3 + column * row) % colours);
}

struct Case {
  const char* name;
  BitmapLayout layout;
  int width;
  // The stored value of a pixel, and the colour the reader must make of it.
  std::function<std::uint32_t(int, int)> value;
  std::function<Rgb(int, int)> expected;
};

Case paletteCase(const char* name, int bitCount, std::size_t colours, int width) {
  BitmapLayout layout;
  layout.bitCount = bitCount;
  layout.palette = firstColours(colours);
  return {name, layout, width, [colours](int c, int r) { return index(c, r, colours); },
          [colours](int c, int r) { return kColours[index(c, r, colours) % kColours.size()]; }};
}

// 32-bit pixels packed with `masks`; each channel's value is the mask's full range scaled from
// the expected colour, as an encoder would write it.
Case maskCase(const char* name, std::array<std::uint32_t, 3> masks, std::uint32_t headerSize) {
  BitmapLayout layout;
  layout.bitCount = 32;
  layout.bitFields = true;
  layout.masks = masks;
  layout.headerSize = headerSize;
  const auto colour = [](int c, int r) { return kColours[index(c, r, kColours.size())]; };
  const auto pack = [masks, colour](int c, int r) {
    std::uint32_t value = 0;
    for (int i = 0; i < 3; ++i) {
      const int shift = std::countr_zero(masks[i]);
      const std::uint32_t maximum = masks[i] >> shift;
      value |= (colour(c, r)[i] * maximum + 127) / 255 << shift;
    }
    return value;
  };
  return {name, layout, 13, pack, colour};
}

std::uint32_t bgr(const Rgb& colour) {
  return std::uint32_t{colour[2]} | std::uint32_t{colour[1]} << 8 | std::uint32_t{colour[0]} << 16;
}

TEST(BitmapReader, ReadsEveryLayoutPixelForPixel) {
  BitmapLayout plain32;
  plain32.bitCount = 32;
  BitmapLayout topDown24;
  topDown24.topDown = true;
  const auto colour = [](int c, int r) { return kColours[index(c, r, kColours.size())]; };
  // A channel as wide as the whole pixel: scaling it must not overflow 32 bits.
  BitmapLayout wideRed;
  wideRed.bitCount = 32;
  wideRed.bitFields = true;
  wideRed.masks = {0xFFFFFFFF, 0, 0};
  const auto redOnly = [&](int c, int r) { return Rgb{colour(c, r)[0], 0, 0}; };
  const auto wideRedValue = [&](int c, int r) {
    return static_cast<std::uint32_t>((std::uint64_t{colour(c, r)[0]} * 0xFFFFFFFFu + 127) / 255);
  };
  const Case cases[] = {
      // 21 pixels need row padding at 1, 4, 8 and 24 bits: 3, 11, 21 and 63 bytes.
      paletteCase("1-bit palette", 1, 2, 21),
      paletteCase("4-bit palette with 5 colours used", 4, 5, 21),
      paletteCase("8-bit palette", 8, 16, 21),
      {"24 bits top-down", topDown24, 21, [&](int c, int r) { return bgr(colour(c, r)); }, colour},
      {"32 bits plain", plain32, 13, [&](int c, int r) { return bgr(colour(c, r)) | 0x7F000000; },
       colour},
      maskCase("32-bit fields of 10 bits", {0x3FF00000, 0x000FFC00, 0x000003FF}, 40),
      maskCase("32-bit fields inside a 108-byte header", {0x0000FF00, 0x00FF0000, 0xFF000000}, 108),
      {"a 32-bit wide red field", wideRed, 13, wideRedValue, redOnly},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const int height = 11;
    const std::optional<DecodedBitmap> bitmap =
        decodeBitmap(makeBitmap(test.width, height, test.layout, test.value));
    if (!bitmap || bitmap->width != test.width || bitmap->height != height) {
      ADD_FAILURE() << (bitmap ? "wrong size" : "not read");
      continue;
    }
    int wrong = 0;
    for (int row = 0; row < height; ++row) {
      for (int column = 0; column < test.width; ++column) {
        const std::uint8_t* p =
            &bitmap->rgb[(static_cast<std::size_t>(row) * test.width + column) * 3];
        if (Rgb{p[0], p[1], p[2]} != test.expected(column, row) && wrong++ == 0) {
          ADD_FAILURE() << "first wrong pixel at " << column << ',' << row;
        }
      }
    }
  }
}

TEST(BitmapReader, RefusesWhatItCannotReadWhole) {
  BitmapLayout palette8;
  palette8.bitCount = 8;
  palette8.palette = firstColours(4);
  const auto four = [](int c, int r) { return index(c, r, 4); };
  const auto five = [](int c, int r) { return index(c, r, 5); };
  const Bytes good = makeBitmap(9, 5, palette8, four);
  const auto patched = [&good](std::size_t at, std::uint8_t value) {
    Bytes bytes = good;
    bytes[at] = value;
    return bytes;
  };
  const struct {
    const char* name;
    Bytes file;
  } rows[] = {
      {"an index past the palette's colours", makeBitmap(9, 5, palette8, five)},
      {"the last row cut short", Bytes(good.begin(), good.end() - 1)},
      {"16 bits per pixel", patched(28, 16)},
      {"run-length compression", patched(30, 1)},
  };
  for (const auto& row : rows) {
    EXPECT_FALSE(decodeBitmap(row.file).has_value()) << row.name;
  }
}

}  // namespace
}  // namespace pellarin::testing
