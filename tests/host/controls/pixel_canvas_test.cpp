#include "host/controls/pixel_canvas.h"

#include <gtest/gtest.h>

#include "recording_text_painter.h"

namespace pellarin {
namespace {

constexpr Colour kBg = 0x123456;
constexpr Colour kPen = 0x0000FF;
constexpr Colour kBrush = 0x00FF00;

// The set of pixels that differ from the background, as "x,y" strings in row order.
std::vector<std::string> painted(const PixelCanvas& canvas) {
  std::vector<std::string> out;
  for (int y = 0; y < canvas.height(); ++y) {
    for (int x = 0; x < canvas.width(); ++x) {
      if (canvas.getPixel(x, y) != kBg) out.push_back(std::to_string(x) + "," + std::to_string(y));
    }
  }
  return out;
}

TEST(PixelCanvasLine, CoversStartButNotEnd) {
  PixelCanvas canvas(10, 10, kBg);
  canvas.line(2, 1, 6, 1, kPen);
  EXPECT_EQ(painted(canvas), (std::vector<std::string>{"2,1", "3,1", "4,1", "5,1"}));

  PixelCanvas reversed(10, 10, kBg);
  reversed.line(6, 1, 2, 1, kPen);
  EXPECT_EQ(painted(reversed), (std::vector<std::string>{"3,1", "4,1", "5,1", "6,1"}));

  PixelCanvas vertical(10, 10, kBg);
  vertical.line(4, 7, 4, 4, kPen);
  EXPECT_EQ(painted(vertical), (std::vector<std::string>{"4,5", "4,6", "4,7"}));
}

TEST(PixelCanvasLine, OnePixelAndEmptyLines) {
  PixelCanvas canvas(5, 5, kBg);
  canvas.line(3, 3, 4, 3, kPen);
  EXPECT_EQ(painted(canvas), (std::vector<std::string>{"3,3"}));

  PixelCanvas empty(5, 5, kBg);
  empty.line(2, 2, 2, 2, kPen);
  EXPECT_TRUE(painted(empty).empty());
}

TEST(PixelCanvasLine, DiagonalAndClipping) {
  PixelCanvas canvas(5, 5, kBg);
  canvas.line(0, 0, 3, 3, kPen);
  EXPECT_EQ(painted(canvas), (std::vector<std::string>{"0,0", "1,1", "2,2"}));

  PixelCanvas clipped(4, 2, kBg);
  clipped.line(-3, 1, 10, 1, kPen);
  EXPECT_EQ(painted(clipped), (std::vector<std::string>{"0,1", "1,1", "2,1", "3,1"}));
}

TEST(PixelCanvasRectangle, OutlineAndFillStopBeforeRightAndBottom) {
  PixelCanvas canvas(8, 8, kBg);
  canvas.rectangle({1, 1, 5, 4}, kPen, kBrush);
  for (int x = 1; x <= 4; ++x) {
    EXPECT_EQ(canvas.getPixel(x, 1), kPen) << x;
    EXPECT_EQ(canvas.getPixel(x, 3), kPen) << x;
  }
  EXPECT_EQ(canvas.getPixel(1, 2), kPen);
  EXPECT_EQ(canvas.getPixel(4, 2), kPen);
  EXPECT_EQ(canvas.getPixel(2, 2), kBrush);
  EXPECT_EQ(canvas.getPixel(3, 2), kBrush);
  EXPECT_EQ(canvas.getPixel(5, 2), kBg);
  EXPECT_EQ(canvas.getPixel(2, 4), kBg);
  EXPECT_EQ(canvas.getPixel(0, 0), kBg);
}

TEST(PixelCanvasRectangle, HollowEmptyTinyAndReversed) {
  PixelCanvas hollow(6, 6, kBg);
  hollow.rectangle({0, 0, 6, 6}, kPen, std::nullopt);
  EXPECT_EQ(hollow.getPixel(2, 2), kBg);
  EXPECT_EQ(hollow.getPixel(5, 5), kPen);

  PixelCanvas empty(6, 6, kBg);
  empty.rectangle({2, 2, 2, 5}, kPen, kBrush);
  empty.rectangle({1, 3, 4, 3}, kPen, kBrush);
  EXPECT_TRUE(painted(empty).empty());

  PixelCanvas single(6, 6, kBg);
  single.rectangle({2, 2, 3, 3}, kPen, kBrush);
  EXPECT_EQ(painted(single), (std::vector<std::string>{"2,2"}));

  PixelCanvas reversed(6, 6, kBg);
  PixelCanvas forward(6, 6, kBg);
  reversed.rectangle({5, 4, 1, 1}, kPen, kBrush);
  forward.rectangle({1, 1, 5, 4}, kPen, kBrush);
  EXPECT_EQ(reversed.pixels(), forward.pixels());

  PixelCanvas noPen(6, 6, kBg);
  noPen.rectangle({1, 1, 4, 4}, std::nullopt, kBrush);
  EXPECT_EQ(noPen.getPixel(1, 1), kBrush);
  EXPECT_EQ(noPen.getPixel(3, 3), kBrush);
  EXPECT_EQ(noPen.getPixel(4, 4), kBg);
}

TEST(PixelCanvasRoundRect, CornersAreCutAndEdgesKept) {
  PixelCanvas canvas(20, 12, kBg);
  canvas.roundRect({0, 0, 20, 12}, 10, 10, kPen, kBrush);
  EXPECT_EQ(canvas.getPixel(0, 0), kBg);
  EXPECT_EQ(canvas.getPixel(19, 11), kBg);
  EXPECT_EQ(canvas.getPixel(10, 0), kPen);
  EXPECT_EQ(canvas.getPixel(0, 6), kPen);
  EXPECT_EQ(canvas.getPixel(19, 6), kPen);
  EXPECT_EQ(canvas.getPixel(10, 11), kPen);
  EXPECT_EQ(canvas.getPixel(10, 6), kBrush);
  // The outline stays closed: every cut corner pixel borders an outline pixel, never the fill.
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 20; ++x) {
      if (canvas.getPixel(x, y) != kBrush) continue;
      EXPECT_NE(canvas.getPixel(x - 1, y), kBg) << x << "," << y;
      EXPECT_NE(canvas.getPixel(x + 1, y), kBg) << x << "," << y;
      EXPECT_NE(canvas.getPixel(x, y - 1), kBg) << x << "," << y;
      EXPECT_NE(canvas.getPixel(x, y + 1), kBg) << x << "," << y;
    }
  }

  PixelCanvas square(20, 12, kBg);
  PixelCanvas plain(20, 12, kBg);
  square.roundRect({2, 2, 15, 9}, 0, 0, kPen, kBrush);
  plain.rectangle({2, 2, 15, 9}, kPen, kBrush);
  EXPECT_EQ(square.pixels(), plain.pixels());
}

TEST(PixelCanvasPixels, OutsideIsIgnoredAndInvalid) {
  PixelCanvas canvas(3, 2, kBg);
  canvas.setPixel(3, 0, kPen);
  canvas.setPixel(-1, 1, kPen);
  canvas.setPixel(2, 1, 0xFF00FF00);
  EXPECT_EQ(canvas.getPixel(2, 1), 0x00FF00u);
  EXPECT_EQ(canvas.getPixel(3, 0), PixelCanvas::kInvalidColour);
  EXPECT_EQ(canvas.getPixel(0, -1), PixelCanvas::kInvalidColour);
  canvas.fillRect({-5, -5, 50, 50}, kBrush);
  for (Colour c : canvas.pixels()) EXPECT_EQ(c, kBrush);
}

TEST(PixelCanvasFocusRect, DottedAndUndoneByASecondCall) {
  PixelCanvas canvas(10, 10, 0x000000);
  canvas.focusRect({1, 1, 7, 6});
  EXPECT_EQ(canvas.getPixel(1, 1), 0xFFFFFFu);
  EXPECT_EQ(canvas.getPixel(2, 1), 0x000000u);
  EXPECT_EQ(canvas.getPixel(3, 1), 0xFFFFFFu);
  EXPECT_EQ(canvas.getPixel(6, 2), 0xFFFFFFu);
  EXPECT_EQ(canvas.getPixel(6, 3), 0x000000u);
  EXPECT_EQ(canvas.getPixel(1, 4), 0x000000u);
  EXPECT_EQ(canvas.getPixel(5, 5), 0xFFFFFFu);
  EXPECT_EQ(canvas.getPixel(4, 5), 0x000000u);
  EXPECT_EQ(canvas.getPixel(7, 6), 0x000000u);
  EXPECT_EQ(canvas.getPixel(3, 3), 0x000000u);
  canvas.focusRect({1, 1, 7, 6});
  for (Colour c : canvas.pixels()) EXPECT_EQ(c, 0u);
}

TEST(AccessMarkers, DoubledAndTrailingMarkers) {
  EXPECT_EQ(resolveAccessMarkers("Save && E&xit").text, "Save & Exit");
  EXPECT_EQ(resolveAccessMarkers("Save && E&xit").underlineAt, 8u);
  EXPECT_EQ(resolveAccessMarkers("&A").underlineAt, 0u);
  EXPECT_EQ(resolveAccessMarkers("A&").text, "A");
  EXPECT_EQ(resolveAccessMarkers("A&").underlineAt, TextPainter::kNoUnderline);
  EXPECT_EQ(resolveAccessMarkers("&&").text, "&");
  EXPECT_EQ(resolveAccessMarkers("&&").underlineAt, TextPainter::kNoUnderline);
  EXPECT_EQ(resolveAccessMarkers("&a&b").text, "ab");
  EXPECT_EQ(resolveAccessMarkers("&a&b").underlineAt, 0u);
}

TEST(PixelCanvasText, HandsResolvedTextToThePainter) {
  testing::RecordingTextPainter painter;
  PixelCanvas canvas(20, 10, kBg);
  const FontSpec font{"Sans", 9.0, false, false};
  canvas.drawText({2, 2, 18, 8}, "E&xit", kPen, font, painter);
  canvas.drawText({2, 2, 18, 8}, "", kPen, font, painter);
  ASSERT_EQ(painter.calls.size(), 1u);
  EXPECT_EQ(painter.calls[0].text, "Exit");
  EXPECT_EQ(painter.calls[0].underlineAt, 1u);
  EXPECT_EQ(painter.calls[0].rect, (CanvasRect{2, 2, 18, 8}));
  EXPECT_EQ(painter.calls[0].font, font);
  EXPECT_EQ(canvas.getPixel(10, 5), kPen);
}

}  // namespace
}  // namespace pellarin
