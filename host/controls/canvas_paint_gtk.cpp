#include "host/controls/canvas_paint_gtk.h"

#include <cstdint>

namespace pellarin {

void paintCanvas(cairo_t* cr, const PixelCanvas& canvas,
                 const std::function<bool(int, int)>& shown) {
  const int w = canvas.width();
  const int h = canvas.height();
  if (w <= 0 || h <= 0) return;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return;
  }
  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (int x = 0; x < w; ++x) {
      if (shown && !shown(x, y)) {
        row[x] = 0;
        continue;
      }
      const Colour c = canvas.getPixel(x, y);
      row[x] = 0xFF000000u | static_cast<std::uint32_t>(redOf(c)) << 16 |
               static_cast<std::uint32_t>(greenOf(c)) << 8 | static_cast<std::uint32_t>(blueOf(c));
    }
  }
  cairo_surface_mark_dirty(surface);
  cairo_set_source_surface(cr, surface, 0, 0);
  cairo_paint(cr);
  cairo_surface_destroy(surface);
}

}  // namespace pellarin
