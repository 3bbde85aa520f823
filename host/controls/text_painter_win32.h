#pragma once
// TextPainter through GDI: DrawTextW onto a device-independent bitmap that holds the canvas.
//
// Implements: the font by family, size, weight, slant and character set (the desktop's font
// mapper picks a font of that character set when the family is not installed), the access
// character underlined by DrawTextW's own "&" rule, clipping to the rectangle. Missing against
// the Pango twin: nothing.

#include <windows.h>

#include "host/controls/text_painter.h"

namespace pellarin {

class GdiTextPainter final : public TextPainter {
 public:
  void drawCentredLine(PixelCanvas& canvas, const CanvasRect& rect, std::string_view text,
                       std::size_t underlineAt, Colour colour, const FontSpec& font) override;
};

// The GDI font for a font of the controls, sized for the screen's vertical dots per inch; the
// caller deletes it (DeleteObject). Null when GDI has none to give.
HFONT createGdiFont(const FontSpec& font);

}  // namespace pellarin
