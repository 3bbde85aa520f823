#include "libs/pellarin1/bitmap_reader.h"

#include <array>
#include <bit>

namespace pellarin {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kCompressionRgb = 0;
constexpr std::uint32_t kCompressionBitfields = 3;
// Pictures larger than this are refused rather than risking huge allocations.
constexpr std::uint64_t kMaxPixels = 1u << 26;
constexpr int kMaxSide = 1 << 16;

std::uint32_t le16(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8;
}

std::uint32_t le32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return le16(bytes, at) | le16(bytes, at + 2) << 16;
}

// One channel out of a 32-bit pixel, scaled to 8 bits. Scaled in 64 bits: a mask may be as wide
// as the whole pixel, and 255 times its largest value does not fit in 32.
std::uint8_t channel(std::uint32_t pixel, std::uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const std::uint64_t maximum = mask >> shift;
  const std::uint64_t value = (pixel & mask) >> shift;
  return static_cast<std::uint8_t>((value * 255u + maximum / 2) / maximum);
}

}  // namespace

std::optional<DecodedBitmap> decodeBitmap(std::span<const std::uint8_t> file) {
  if (file.size() < kFileHeaderSize + kInfoHeaderSize) return std::nullopt;
  if (file[0] != 'B' || file[1] != 'M') return std::nullopt;
  const std::uint32_t pixelOffset = le32(file, 10);
  const std::uint32_t headerSize = le32(file, 14);
  if (headerSize < kInfoHeaderSize || headerSize > file.size() - kFileHeaderSize) {
    return std::nullopt;
  }
  const auto width = static_cast<std::int32_t>(le32(file, 18));
  const auto rawHeight = static_cast<std::int32_t>(le32(file, 22));
  const std::uint32_t planes = le16(file, 26);
  const std::uint32_t bitCount = le16(file, 28);
  const std::uint32_t compression = le32(file, 30);
  const std::uint32_t coloursUsed = le32(file, 46);

  if (planes != 1 || width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN) return std::nullopt;
  const bool topDown = rawHeight < 0;
  const std::int32_t height = topDown ? -rawHeight : rawHeight;
  if (width > kMaxSide || height > kMaxSide ||
      static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > kMaxPixels) {
    return std::nullopt;
  }

  std::array<std::uint32_t, 3> masks = {0x00FF0000u, 0x0000FF00u, 0x000000FFu};
  std::vector<std::array<std::uint8_t, 3>> palette;
  const std::size_t afterHeader = kFileHeaderSize + headerSize;
  switch (bitCount) {
    case 1:
    case 4:
    case 8: {
      if (compression != kCompressionRgb) return std::nullopt;
      const std::uint32_t maximum = 1u << bitCount;
      const std::uint32_t entries = coloursUsed == 0 ? maximum : coloursUsed;
      if (entries > maximum || afterHeader + entries * 4ull > file.size()) return std::nullopt;
      for (std::uint32_t i = 0; i < entries; ++i) {
        const std::size_t at = afterHeader + i * 4;
        palette.push_back({file[at + 2], file[at + 1], file[at]});
      }
      break;
    }
    case 24:
      if (compression != kCompressionRgb) return std::nullopt;
      break;
    case 32:
      if (compression == kCompressionBitfields) {
        // The masks follow a 40-byte header, or sit inside a longer one at the same place.
        if (kFileHeaderSize + kInfoHeaderSize + 12 > file.size()) return std::nullopt;
        for (std::size_t i = 0; i < 3; ++i) masks[i] = le32(file, kFileHeaderSize + 40 + i * 4);
      } else if (compression != kCompressionRgb) {
        return std::nullopt;
      }
      break;
    default:
      return std::nullopt;
  }

  const std::uint64_t rowSize = (static_cast<std::uint64_t>(width) * bitCount + 31) / 32 * 4;
  if (pixelOffset < afterHeader ||
      pixelOffset + rowSize * static_cast<std::uint64_t>(height) > file.size()) {
    return std::nullopt;
  }

  DecodedBitmap bitmap;
  bitmap.width = width;
  bitmap.height = height;
  bitmap.rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
  for (std::int32_t row = 0; row < height; ++row) {
    const std::int32_t y = topDown ? row : height - 1 - row;
    const std::uint8_t* source =
        file.data() + pixelOffset + rowSize * static_cast<std::size_t>(row);
    std::uint8_t* target = bitmap.rgb.data() + static_cast<std::size_t>(y) * width * 3;
    for (std::int32_t x = 0; x < width; ++x) {
      std::uint8_t* out = target + static_cast<std::size_t>(x) * 3;
      if (bitCount == 24) {
        out[0] = source[x * 3 + 2];
        out[1] = source[x * 3 + 1];
        out[2] = source[x * 3 + 0];
      } else if (bitCount == 32) {
        const std::uint32_t pixel = static_cast<std::uint32_t>(source[x * 4]) |
                                    static_cast<std::uint32_t>(source[x * 4 + 1]) << 8 |
                                    static_cast<std::uint32_t>(source[x * 4 + 2]) << 16 |
                                    static_cast<std::uint32_t>(source[x * 4 + 3]) << 24;
        out[0] = channel(pixel, masks[0]);
        out[1] = channel(pixel, masks[1]);
        out[2] = channel(pixel, masks[2]);
      } else {
        const std::size_t bit = static_cast<std::size_t>(x) * bitCount;
        const std::uint8_t byte = source[bit / 8];
        const unsigned shift = 8 - bitCount - static_cast<unsigned>(bit % 8);
        const std::uint32_t index = (byte >> shift) & ((1u << bitCount) - 1);
        if (index >= palette.size()) return std::nullopt;
        out[0] = palette[index][0];
        out[1] = palette[index][1];
        out[2] = palette[index][2];
      }
    }
  }
  return bitmap;
}

}  // namespace pellarin
