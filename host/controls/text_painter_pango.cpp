#include "host/controls/text_painter_pango.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <cstdint>
#include <cstring>

#include "common/debug_log.h"
#include "host/controls/pixel_canvas.h"

namespace pellarin {

namespace {

std::size_t utf8Length(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

}  // namespace

void PangoTextPainter::drawCentredLine(PixelCanvas& canvas, const CanvasRect& rect,
                                       std::string_view text, std::size_t underlineAt,
                                       Colour colour, const FontSpec& font) {
  const int w = canvas.width();
  const int h = canvas.height();
  if (w <= 0 || h <= 0 || rect.width() <= 0 || rect.height() <= 0) return;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    debugLog("text painter: no cairo surface %dx%d\n", w, h);
    cairo_surface_destroy(surface);
    return;
  }
  // The canvas keeps red in the low byte; cairo keeps it in the third.
  auto toCairo = [](Colour c) -> std::uint32_t {
    return static_cast<std::uint32_t>(redOf(c)) << 16 |
           static_cast<std::uint32_t>(greenOf(c)) << 8 | static_cast<std::uint32_t>(blueOf(c));
  };
  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (int x = 0; x < w; ++x) row[x] = toCairo(canvas.getPixel(x, y));
  }
  cairo_surface_mark_dirty(surface);

  cairo_t* cr = cairo_create(surface);
  cairo_rectangle(cr, rect.left, rect.top, rect.width(), rect.height());
  cairo_clip(cr);
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* description = pango_font_description_new();
  pango_font_description_set_family(description, font.family.c_str());
  pango_font_description_set_size(description,
                                  static_cast<gint>(font.sizePoints * PANGO_SCALE + 0.5));
  pango_font_description_set_weight(description,
                                    font.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_style(description,
                                   font.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  pango_layout_set_font_description(layout, description);
  pango_font_description_free(description);
  pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
  if (underlineAt < text.size()) {
    PangoAttrList* attributes = pango_attr_list_new();
    PangoAttribute* underline = pango_attr_underline_new(PANGO_UNDERLINE_SINGLE);
    underline->start_index = static_cast<guint>(underlineAt);
    underline->end_index =
        static_cast<guint>(underlineAt + utf8Length(static_cast<unsigned char>(text[underlineAt])));
    pango_attr_list_insert(attributes, underline);
    pango_layout_set_attributes(layout, attributes);
    pango_attr_list_unref(attributes);
  }
  int textWidth = 0;
  int textHeight = 0;
  pango_layout_get_pixel_size(layout, &textWidth, &textHeight);
  cairo_set_source_rgb(cr, redOf(colour) / 255.0, greenOf(colour) / 255.0, blueOf(colour) / 255.0);
  cairo_move_to(cr, rect.left + (rect.width() - textWidth) / 2,
                rect.top + (rect.height() - textHeight) / 2);
  pango_cairo_show_layout(cr, layout);
  g_object_unref(layout);
  cairo_destroy(cr);
  cairo_surface_flush(surface);

  for (int y = rect.top; y < rect.bottom; ++y) {
    if (y < 0 || y >= h) continue;
    const auto* row =
        reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (int x = rect.left; x < rect.right; ++x) {
      if (x < 0 || x >= w) continue;
      const std::uint32_t p = row[x];
      canvas.setPixel(x, y, makeColour((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
    }
  }
  cairo_surface_destroy(surface);
}

}  // namespace pellarin
