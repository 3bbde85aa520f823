#pragma once
// An RGB pixel surface with the drawing operations the owner-drawn controls need, following the
// desktop's classic raster rules: a line covers its start point but not its end point, and a
// shape given as (left, top, right, bottom) covers the pixels left .. right - 1 and
// top .. bottom - 1. Drawing outside the surface is cut off.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/controls/colour.h"
#include "host/controls/text_painter.h"

namespace pellarin {

// A caption with its "&" markers resolved: "&&" becomes "&", the first single "&" marks the
// character after it (byte offset underlineAt), further single markers are dropped.
struct MarkedText {
  std::string text;
  std::size_t underlineAt = TextPainter::kNoUnderline;
};
MarkedText resolveAccessMarkers(std::string_view caption);

class PixelCanvas {
 public:
  // Value of getPixel outside the surface.
  static constexpr Colour kInvalidColour = 0xFFFFFFFF;

  PixelCanvas() = default;
  PixelCanvas(int width, int height, Colour background = kWhite);

  int width() const { return width_; }
  int height() const { return height_; }
  const std::vector<Colour>& pixels() const { return pixels_; }

  // Changes the size; every pixel becomes background.
  void resize(int width, int height, Colour background);
  void clear(Colour colour);

  bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  Colour getPixel(int x, int y) const;
  void setPixel(int x, int y, Colour colour);

  // From (x0, y0) to (x1, y1): the start is drawn, the end is not.
  void line(int x0, int y0, int x1, int y1, Colour pen);
  void fillRect(const CanvasRect& rect, Colour colour);
  // Outline with pen (none: no outline) and fill the inside with brush (none: hollow).
  void rectangle(const CanvasRect& rect, std::optional<Colour> pen, std::optional<Colour> brush);
  // The same with corners cut along an ellipse ellipseWidth wide and ellipseHeight high.
  void roundRect(const CanvasRect& rect, int ellipseWidth, int ellipseHeight,
                 std::optional<Colour> pen, std::optional<Colour> brush);
  // Inverts every other pixel of the rectangle's edge, so drawing it twice removes it.
  void focusRect(const CanvasRect& rect);
  // One line of text centred in rect; "&" marks the underlined access character.
  void drawText(const CanvasRect& rect, std::string_view caption, Colour colour,
                const FontSpec& font, TextPainter& painter);

 private:
  void paintShape(const CanvasRect& rect, int ellipseWidth, int ellipseHeight,
                  std::optional<Colour> pen, std::optional<Colour> brush);

  int width_ = 0;
  int height_ = 0;
  std::vector<Colour> pixels_;
};

}  // namespace pellarin
