#include "host/controls/canvas_paint_win32.h"

#include <cstdint>
#include <vector>

namespace pellarin {

void paintCanvas(HDC dc, const PixelCanvas& canvas, int left, int top) {
  const int w = canvas.width();
  const int h = canvas.height();
  if (w <= 0 || h <= 0) return;
  // A top-down 32-bit DIB holds blue in its lowest byte; the canvas holds red there.
  std::vector<std::uint32_t> bits(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  const std::vector<Colour>& pixels = canvas.pixels();
  for (std::size_t i = 0; i < bits.size(); ++i) {
    const Colour c = pixels[i];
    bits[i] = static_cast<std::uint32_t>(redOf(c)) << 16 |
              static_cast<std::uint32_t>(greenOf(c)) << 8 | static_cast<std::uint32_t>(blueOf(c));
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  ::SetDIBitsToDevice(dc, left, top, static_cast<DWORD>(w), static_cast<DWORD>(h), 0, 0, 0,
                      static_cast<UINT>(h), bits.data(), &info, DIB_RGB_COLORS);
}

}  // namespace pellarin
