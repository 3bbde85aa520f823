#pragma once
// Test double of the text seam: remembers what each call asked for.

#include <string>
#include <vector>

#include "host/controls/pixel_canvas.h"
#include "host/controls/text_painter.h"

namespace pellarin::testing {

struct RecordingTextPainter final : TextPainter {
  struct Call {
    std::string text;
    std::size_t underlineAt;
    Colour colour;
    FontSpec font;
  };
  void drawCentredLine(PixelCanvas&, const CanvasRect&, std::string_view text,
                       std::size_t underlineAt, Colour colour, const FontSpec& font) override {
    calls.push_back({std::string(text), underlineAt, colour, font});
  }
  std::vector<Call> calls;
};

}  // namespace pellarin::testing
