#pragma once
// TextPainter through Pango and cairo.

#include "host/controls/text_painter.h"

namespace pellarin {

class PangoTextPainter final : public TextPainter {
 public:
  void drawCentredLine(PixelCanvas& canvas, const CanvasRect& rect, std::string_view text,
                       std::size_t underlineAt, Colour colour, const FontSpec& font) override;
};

}  // namespace pellarin
