#include "host/controls/text_painter_win32.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "common/debug_log.h"
#include "common/win32_text.h"
#include "host/controls/pixel_canvas.h"

namespace pellarin {

namespace {

constexpr double kPointsPerInch = 72.0;

// The text as DrawTextW takes it: its own "&" doubled, and one "&" before the character to
// underline (underlineAt counts UTF-8 bytes, the wide text counts UTF-16 units).
std::wstring withAccessMarker(std::string_view text, std::size_t underlineAt) {
  const std::size_t at =
      underlineAt < text.size() ? wideText(text.substr(0, underlineAt)).size() : std::wstring::npos;
  const std::wstring wide = wideText(text);
  std::wstring marked;
  for (std::size_t i = 0; i < wide.size(); ++i) {
    if (i == at) marked += L'&';
    if (wide[i] == L'&') marked += L'&';
    marked += wide[i];
  }
  return marked;
}

}  // namespace

HFONT createGdiFont(const FontSpec& font) {
  HDC screen = ::GetDC(nullptr);
  const int dotsPerInch = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ::ReleaseDC(nullptr, screen);
  // A negative height asks for the character height without the internal leading: the
  // point size proper.
  const int height = -static_cast<int>(std::lround(font.sizePoints * dotsPerInch / kPointsPerInch));
  const std::wstring family = wideText(font.family);
  LOGFONTW description{};
  description.lfHeight = height;
  description.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
  description.lfItalic = font.italic ? TRUE : FALSE;
  description.lfCharSet = static_cast<BYTE>(font.charset);
  description.lfOutPrecision = OUT_DEFAULT_PRECIS;
  description.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  description.lfQuality = DEFAULT_QUALITY;
  description.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  family.copy(description.lfFaceName, LF_FACESIZE - 1);
  HFONT created = ::CreateFontIndirectW(&description);
  if (!created) debugLog("text painter: no font for %s\n", font.family.c_str());
  return created;
}

void GdiTextPainter::drawCentredLine(PixelCanvas& canvas, const CanvasRect& rect,
                                     std::string_view text, std::size_t underlineAt, Colour colour,
                                     const FontSpec& font) {
  const int w = canvas.width();
  const int h = canvas.height();
  if (w <= 0 || h <= 0 || rect.width() <= 0 || rect.height() <= 0) return;
  HDC dc = ::CreateCompatibleDC(nullptr);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // top-down: row y is the canvas's row y
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* data = nullptr;
  HBITMAP surface = dc ? ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &data, nullptr, 0) : nullptr;
  HFONT gdiFont = surface ? createGdiFont(font) : nullptr;
  if (!gdiFont) {
    debugLog("text painter: no surface %dx%d\n", w, h);
    if (surface) ::DeleteObject(surface);
    if (dc) ::DeleteDC(dc);
    return;
  }
  // The DIB keeps blue in the lowest byte; the canvas keeps red there.
  auto* bits = static_cast<std::uint32_t*>(data);
  auto swap = [](std::uint32_t c) -> std::uint32_t {
    return (c & 0xFF) << 16 | (c & 0xFF00) | ((c >> 16) & 0xFF);
  };
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) bits[y * w + x] = swap(canvas.getPixel(x, y));
  }
  HGDIOBJ oldSurface = ::SelectObject(dc, surface);
  HGDIOBJ oldFont = ::SelectObject(dc, gdiFont);
  ::SetBkMode(dc, TRANSPARENT);
  // Host colours and GDI's COLORREF share their layout: red in the lowest byte.
  ::SetTextColor(dc, static_cast<COLORREF>(colour & 0xFFFFFF));
  RECT box{rect.left, rect.top, rect.right, rect.bottom};
  const std::wstring shown = withAccessMarker(text, underlineAt);
  ::DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &box,
              DT_SINGLELINE | DT_VCENTER | DT_CENTER);
  ::GdiFlush();
  for (int y = std::max(rect.top, 0); y < std::min(rect.bottom, h); ++y) {
    for (int x = std::max(rect.left, 0); x < std::min(rect.right, w); ++x) {
      canvas.setPixel(x, y, swap(bits[y * w + x]));
    }
  }
  ::SelectObject(dc, oldFont);
  ::SelectObject(dc, oldSurface);
  ::DeleteObject(gdiFont);
  ::DeleteObject(surface);
  ::DeleteDC(dc);
}

}  // namespace pellarin
