#pragma once
// Test double of the text seam: remembers each call and marks the centre of the text rectangle
// with the text colour, so a test can see both what was asked and that it landed on the canvas.

#include <string>
#include <vector>

#include "host/controls/pixel_canvas.h"
#include "host/controls/text_painter.h"

namespace pellarin::testing {

struct TextCall {
  CanvasRect rect;
  std::string text;
  std::size_t underlineAt;
  Colour colour;
  FontSpec font;
};

class RecordingTextPainter final : public TextPainter {
 public:
  void drawCentredLine(PixelCanvas& canvas, const CanvasRect& rect, std::string_view text,
                       std::size_t underlineAt, Colour colour, const FontSpec& font) override {
    calls.push_back({rect, std::string(text), underlineAt, colour, font});
    canvas.setPixel((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2, colour);
  }
  std::vector<TextCall> calls;
};

}  // namespace pellarin::testing
