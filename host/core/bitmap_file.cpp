#include "host/core/bitmap_file.h"

#include <array>
#include <vector>

namespace pellarin {

namespace {

void putLe16(std::uint8_t* out, std::uint32_t value) {
  out[0] = static_cast<std::uint8_t>(value);
  out[1] = static_cast<std::uint8_t>(value >> 8);
}

void putLe32(std::uint8_t* out, std::uint32_t value) {
  putLe16(out, value);
  putLe16(out + 2, value >> 16);
}

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;

}  // namespace

std::vector<std::uint8_t> bitmapFileBytes(const PictureView& picture) {
  if (picture.width <= 0 || picture.height <= 0 || picture.width > 0x7FFF ||
      picture.height > 0x7FFF) {
    return {};
  }
  const auto width = static_cast<std::size_t>(picture.width);
  const auto height = static_cast<std::size_t>(picture.height);
  if (picture.rgb.size() != width * height * 3) return {};

  const std::size_t rowSize = (width * 3 + 3) / 4 * 4;
  const std::size_t pixelBytes = rowSize * height;
  const std::size_t headerBytes = kFileHeaderSize + kInfoHeaderSize;

  std::array<std::uint8_t, kFileHeaderSize + kInfoHeaderSize> header{};
  header[0] = 'B';
  header[1] = 'M';
  putLe32(&header[2], static_cast<std::uint32_t>(headerBytes + pixelBytes));
  putLe32(&header[10], static_cast<std::uint32_t>(headerBytes));
  std::uint8_t* info = &header[kFileHeaderSize];
  putLe32(info + 0, kInfoHeaderSize);
  putLe32(info + 4, static_cast<std::uint32_t>(picture.width));
  putLe32(info + 8, static_cast<std::uint32_t>(picture.height));  // positive: bottom-up
  putLe16(info + 12, 1);                                          // planes
  putLe16(info + 14, 24);                                         // bits per pixel
  putLe32(info + 20, static_cast<std::uint32_t>(pixelBytes));
  putLe32(info + 24, 3780);  // 96 dots per inch
  putLe32(info + 28, 3780);

  std::vector<std::uint8_t> bytes(header.begin(), header.end());
  bytes.resize(headerBytes + pixelBytes, 0);
  for (std::size_t y = 0; y < height; ++y) {
    const std::uint8_t* source = picture.rgb.data() + (height - 1 - y) * width * 3;
    std::uint8_t* target = bytes.data() + headerBytes + y * rowSize;
    for (std::size_t x = 0; x < width; ++x) {
      target[x * 3 + 0] = source[x * 3 + 2];
      target[x * 3 + 1] = source[x * 3 + 1];
      target[x * 3 + 2] = source[x * 3 + 0];
    }
  }

  return bytes;
}

}  // namespace pellarin
