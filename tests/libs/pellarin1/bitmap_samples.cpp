#include "tests/libs/pellarin1/bitmap_samples.h"

namespace pellarin::testing {

namespace {

void put16(Bytes& bytes, std::uint32_t value) {
  bytes.push_back(static_cast<std::uint8_t>(value));
  bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(Bytes& bytes, std::uint32_t value) {
  put16(bytes, value & 0xFFFF);
  put16(bytes, value >> 16);
}

}  // namespace

Bytes makeBitmap(int width, int height, const BitmapLayout& layout,
                 const std::function<std::uint32_t(int, int)>& value) {
  const std::size_t rowSize = (static_cast<std::size_t>(width) * layout.bitCount + 31) / 32 * 4;
  const bool masksAfterHeader = layout.bitFields && layout.headerSize == 40;
  const std::size_t pixelOffset =
      14 + layout.headerSize + (masksAfterHeader ? 12 : 0) + layout.palette.size() * 4;

  Bytes file = {'B', 'M'};
  put32(file, static_cast<std::uint32_t>(pixelOffset + rowSize * height));
  put32(file, 0);
  put32(file, static_cast<std::uint32_t>(pixelOffset));
  put32(file, layout.headerSize);
  put32(file, static_cast<std::uint32_t>(width));
  put32(file, static_cast<std::uint32_t>(layout.topDown ? -height : height));
  put16(file, 1);
  put16(file, static_cast<std::uint32_t>(layout.bitCount));
  put32(file, layout.bitFields ? 3 : 0);
  put32(file, static_cast<std::uint32_t>(rowSize * height));
  put32(file, 2835);
  put32(file, 2835);
  put32(file, static_cast<std::uint32_t>(layout.palette.size()));
  put32(file, 0);
  if (layout.bitFields) {
    for (std::uint32_t mask : layout.masks) put32(file, mask);
  }
  file.resize(14 + layout.headerSize + (masksAfterHeader ? 12 : 0), 0);
  for (const Rgb& colour : layout.palette) {
    file.insert(file.end(), {colour[2], colour[1], colour[0], 0});
  }

  for (int stored = 0; stored < height; ++stored) {
    const int row = layout.topDown ? stored : height - 1 - stored;
    Bytes line(rowSize, 0);
    for (int column = 0; column < width; ++column) {
      const std::uint32_t v = value(column, row);
      if (layout.bitCount < 8) {
        const std::size_t bit = static_cast<std::size_t>(column) * layout.bitCount;
        line[bit / 8] |= static_cast<std::uint8_t>(v << (8 - layout.bitCount - bit % 8));
      } else {
        for (int byte = 0; byte < layout.bitCount / 8; ++byte) {
          line[static_cast<std::size_t>(column) * (layout.bitCount / 8) + byte] =
              static_cast<std::uint8_t>(v >> (8 * byte));
        }
      }
    }
    const std::size_t used = (static_cast<std::size_t>(width) * layout.bitCount + 7) / 8;
    std::fill(line.begin() + static_cast<std::ptrdiff_t>(used), line.end(), 0xA5);
    file.insert(file.end(), line.begin(), line.end());
  }
  return file;
}

Bytes makeRgbBitmap(int width, int height, const Bytes& rgb) {
  return makeBitmap(width, height, BitmapLayout{}, [&](int column, int row) {
    const std::uint8_t* p = &rgb[(static_cast<std::size_t>(row) * width + column) * 3];
    return std::uint32_t{p[2]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[0]} << 16;
  });
}

}  // namespace pellarin::testing
