#include "host/controls/pixel_canvas.h"

#include <gtest/gtest.h>

#include <tuple>

#include "recording_text_painter.h"

namespace pellarin {
namespace {

constexpr Colour kBg = 0x123456;
constexpr Colour kPen = 0x0000FF;
constexpr Colour kBrush = 0x00FF00;

// The canvas as rows joined by '|': '.' background, 'P' pen, 'B' brush, '?' anything else.
std::string picture(const PixelCanvas& c) {
  std::string out;
  for (int y = 0; y < c.height(); ++y) {
    if (y > 0) out += '|';
    for (int x = 0; x < c.width(); ++x) {
      const Colour p = c.getPixel(x, y);
      out += p == kBg ? '.' : p == kPen ? 'P' : p == kBrush ? 'B' : '?';
    }
  }
  return out;
}

TEST(PixelCanvas, LinesStopBeforeTheEndPointAndClip) {
  const std::tuple<int, int, int, int, const char*> cases[] = {
      {1, 1, 5, 1, "......|.PPPP.|......|......"},  // end point excluded
      {5, 1, 1, 1, "......|..PPPP|......|......"},  // reversed: start drawn, end not
      {2, 3, 2, 0, "......|..P...|..P...|..P..."},
      {2, 2, 2, 2, "......|......|......|......"},  // empty
      {0, 0, 3, 3, "P.....|.P....|..P...|......"},
      {-3, 3, 3, 3, "......|......|......|PPP..."},
  };
  for (auto [x0, y0, x1, y1, expected] : cases) {
    PixelCanvas canvas(6, 4, kBg);
    canvas.line(x0, y0, x1, y1, kPen);
    EXPECT_EQ(picture(canvas), expected) << x0 << "," << y0 << " -> " << x1 << "," << y1;
  }
}

TEST(PixelCanvas, RectanglesExcludeRightAndBottom) {
  using Case = std::tuple<CanvasRect, std::optional<Colour>, std::optional<Colour>, const char*>;
  const Case cases[] = {
      {{1, 1, 5, 4}, kPen, kBrush, "......|.PPPP.|.PBBP.|.PPPP.|......"},
      {{5, 4, 1, 1}, kPen, kBrush, "......|.PPPP.|.PBBP.|.PPPP.|......"},  // reversed corners
      {{0, 0, 6, 5}, kPen, std::nullopt, "PPPPPP|P....P|P....P|P....P|PPPPPP"},
      {{1, 1, 4, 4}, std::nullopt, kBrush, "......|.BBB..|.BBB..|.BBB..|......"},
      {{2, 2, 3, 3}, kPen, kBrush, "......|......|..P...|......|......"},
      {{2, 2, 2, 5}, kPen, kBrush, "......|......|......|......|......"},  // empty
  };
  for (const auto& [rect, pen, brush, expected] : cases) {
    PixelCanvas canvas(6, 5, kBg);
    canvas.rectangle(rect, pen, brush);
    EXPECT_EQ(picture(canvas), expected)
        << rect.left << "," << rect.top << " " << rect.right << "," << rect.bottom;
  }
}

TEST(PixelCanvas, RoundRectCutsCornersWithAClosedOutline) {
  PixelCanvas canvas(20, 12, kBg);
  canvas.roundRect({0, 0, 20, 12}, 10, 10, kPen, kBrush);
  EXPECT_EQ(canvas.getPixel(0, 0), kBg);
  EXPECT_EQ(canvas.getPixel(19, 6), kPen);
  EXPECT_EQ(canvas.getPixel(10, 6), kBrush);
  const std::pair<int, int> neighbours[] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
  // No fill pixel touches the background: the outline has no gaps at the cut corners.
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 20; ++x) {
      if (canvas.getPixel(x, y) != kBrush) continue;
      for (auto [dx, dy] : neighbours) {
        EXPECT_NE(canvas.getPixel(x + dx, y + dy), kBg) << x << "," << y;
      }
    }
  }
  PixelCanvas square(20, 12, kBg), plain(20, 12, kBg);
  square.roundRect({2, 2, 15, 9}, 0, 0, kPen, kBrush);
  plain.rectangle({2, 2, 15, 9}, kPen, kBrush);
  EXPECT_EQ(square.pixels(), plain.pixels());
}

TEST(PixelCanvas, OutsidePixelsAreIgnoredAndColoursMasked) {
  PixelCanvas canvas(3, 2, kBg);
  canvas.setPixel(3, 0, kPen);
  canvas.setPixel(-1, 1, kPen);
  canvas.setPixel(2, 1, 0xFF00FF00);
  EXPECT_EQ(picture(canvas), "...|..B");
  EXPECT_EQ(canvas.getPixel(0, -1), PixelCanvas::kInvalidColour);
  canvas.fillRect({-5, -5, 50, 50}, kBrush);
  EXPECT_EQ(picture(canvas), "BBB|BBB");
}

TEST(PixelCanvas, TextGoesToThePainterWithoutMarkers) {
  testing::RecordingTextPainter painter;
  PixelCanvas canvas(20, 10, kBg);
  const FontSpec font{"Sans", 9.0, false, false};
  canvas.drawText({2, 2, 18, 8}, "E&xit", kPen, font, painter);
  canvas.drawText({2, 2, 18, 8}, "", kPen, font, painter);
  ASSERT_EQ(painter.calls.size(), 1u);  // nothing for an empty text
  EXPECT_EQ(painter.calls[0].text, "Exit");
  EXPECT_EQ(painter.calls[0].underlineAt, 1u);
  EXPECT_EQ(painter.calls[0].font, font);
}

}  // namespace
}  // namespace pellarin
