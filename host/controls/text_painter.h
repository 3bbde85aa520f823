#pragma once
// Seam: draws one line of text onto a pixel canvas. The caller has already resolved the
// access-key markers, so the painter only lays out, centres, clips and underlines.

#include <cstddef>
#include <string>
#include <string_view>

#include "host/controls/colour.h"

namespace pellarin {

class PixelCanvas;

struct CanvasRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool operator==(const CanvasRect&) const = default;
};

struct FontSpec {
  std::string family;
  double sizePoints = 0.0;
  bool bold = false;
  bool italic = false;
  // The desktop's character-set number the font is asked for with (128 Japanese); 0 the
  // default. Where fonts are chosen by family and text alone it is not needed.
  int charset = 0;
  bool operator==(const FontSpec&) const = default;
};

class TextPainter {
 public:
  static constexpr std::size_t kNoUnderline = static_cast<std::size_t>(-1);

  virtual ~TextPainter() = default;

  // Draws text centred horizontally and vertically in rect, clipped to it. underlineAt is the
  // byte offset of the UTF-8 character to underline, or kNoUnderline.
  virtual void drawCentredLine(PixelCanvas& canvas, const CanvasRect& rect, std::string_view text,
                               std::size_t underlineAt, Colour colour, const FontSpec& font) = 0;
};

}  // namespace pellarin
