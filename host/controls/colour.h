#pragma once
// Host colours: 24-bit red-green-blue held in 32 bits, red in the lowest byte (0x00BBGGRR).

#include <algorithm>
#include <cstdint>

namespace pellarin {

using Colour = std::uint32_t;

constexpr int redOf(Colour c) {
  return static_cast<int>(c & 0xFF);
}
constexpr int greenOf(Colour c) {
  return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int blueOf(Colour c) {
  return static_cast<int>((c >> 16) & 0xFF);
}

// Channels outside 0..255 are pinned so that one channel never spills into the next.
constexpr Colour makeColour(int red, int green, int blue) {
  return static_cast<Colour>(std::clamp(red, 0, 255)) |
         (static_cast<Colour>(std::clamp(green, 0, 255)) << 8) |
         (static_cast<Colour>(std::clamp(blue, 0, 255)) << 16);
}

// A colour written the way designers write it, 0xRRGGBB, turned into the host's byte order.
constexpr Colour fromRgbHex(std::uint32_t rrggbb) {
  return makeColour(static_cast<int>((rrggbb >> 16) & 0xFF), static_cast<int>((rrggbb >> 8) & 0xFF),
                    static_cast<int>(rrggbb & 0xFF));
}

inline constexpr Colour kBlack = 0x000000;
inline constexpr Colour kWhite = 0xFFFFFF;

}  // namespace pellarin
