#include "host/controls/gfx_frame_x.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

namespace pellarin {
namespace {

constexpr Colour kDialogBack = 0xE0E0E0;

Colour grey(int v) {
  return makeColour(v, v, v);
}

bool allPixelsAre(const GFXFrameX& frame, Colour colour) {
  return std::ranges::all_of(frame.canvas().pixels(), [&](Colour p) { return p == colour; });
}

TEST(GFXFrameX, BlendDividesBeforeMultiplyingPerChannel) {
  // k = n reaches b only up to what the division dropped.
  EXPECT_EQ(GFXFrameX::Blend(grey(100), kDialogBack, 7, 7), grey(219));
  EXPECT_EQ(GFXFrameX::Blend(makeColour(10, 200, 0), makeColour(250, 0, 90), 4, 2),
            makeColour(130, 100, 44));
}

TEST(GFXFrameX, SetterLimitsAndChangeNotices) {
  GFXFrameX frame(0x336699);
  int changes = 0;
  frame.onPropertyChanged = [&](std::string_view) { ++changes; };
  const std::pair<std::int16_t, std::int16_t> depths[] = {{-7, 2}, {40, 40}, {41, 50}};
  for (auto [given, stored] : depths) {
    frame.setShadowDepth(given);
    EXPECT_EQ(frame.ShadowDepth(), stored) << given;
  }
  frame.setCornerDepth(80);
  frame.setShadowOpacity(101);
  EXPECT_EQ(frame.CornerDepth(), 50);
  EXPECT_EQ(frame.ShadowOpacity(), 100);
  frame.setCornerDepth(-3);
  frame.setShadowOpacity(-5);
  EXPECT_EQ(frame.CornerDepth(), 0);
  EXPECT_EQ(frame.ShadowOpacity(), 0);
  EXPECT_EQ(changes, 7);
}

TEST(GFXFrameX, WithoutShadowOneShapeOverTheWholeControl) {
  GFXFrameX frame(kDialogBack);
  frame.setSizeTwips(300, 150);  // 20 x 10 pixels
  frame.setFillColour(0x00FF00);
  frame.setBorderColour(0x0000FF);
  frame.setShowShadow(false);
  PixelCanvas expected(20, 10, kDialogBack);
  expected.rectangle({0, 0, 20, 10}, 0x0000FF, 0x00FF00);
  EXPECT_EQ(frame.canvas().pixels(), expected.pixels());
}

// The colour a square frame on background bk must show at (x, y): the face (0, 0, W-d, H-d)
// above the rings i = 0..d, each the hollow outline of (2d-i, 2d-i, W-d+i, H-d+i).
Colour expectedSquare(int x, int y, int w, int h, int d, Colour bk, Colour shadow) {
  if (x < w - d && y < h - d) {
    return (x == 0 || y == 0 || x == w - d - 1 || y == h - d - 1) ? kBlack : bk;
  }
  Colour colour = bk;
  for (int i = 0; i <= d; ++i) {
    const int l = 2 * d - i, r = w - d + i, b = h - d + i;
    const bool inside = x >= l && x < r && y >= l && y < b;
    if (inside && (x == l || x == r - 1 || y == l || y == b - 1)) {
      colour = GFXFrameX::Blend(shadow, bk, d, i);
    }
  }
  return colour;
}

TEST(GFXFrameX, DialogFramePixelByPixel) {
  GFXFrameX frame(kDialogBack);
  frame.setShadowDepth(7);
  frame.setSizeTwips(7155, 2595);
  const PixelCanvas& c = frame.canvas();
  ASSERT_EQ(c.width(), 477);
  ASSERT_EQ(c.height(), 173);
  for (int y = 0; y < c.height(); ++y) {
    for (int x = 0; x < c.width(); ++x) {
      ASSERT_EQ(c.getPixel(x, y), expectedSquare(x, y, 477, 173, 7, kDialogBack, grey(100)))
          << x << "," << y;
    }
  }
  // Spelled out: square black corners, then the visible rings 1..7 along the right edge.
  EXPECT_EQ(c.getPixel(0, 0), kBlack);
  EXPECT_EQ(c.getPixel(469, 165), kBlack);
  const int ramp[] = {117, 134, 151, 168, 185, 202, 219};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(c.getPixel(470 + i, 80), grey(ramp[i])) << i;
  // Above the face's corner the rings step outward: ring i's top edge is row 14 - i.
  EXPECT_EQ(c.getPixel(470, 7), grey(219));
  EXPECT_EQ(c.getPixel(470, 6), kDialogBack);
}

TEST(GFXFrameX, OpacityEnds) {
  GFXFrameX frame(kDialogBack);
  frame.setSizeTwips(600, 600);  // 40 x 40, depth 5
  frame.setShadowOpacity(100);
  // Ring 1 is the first one the face leaves visible: black + 44 with depth 5.
  EXPECT_EQ(frame.canvas().getPixel(35, 20), grey(44));

  frame.setShadowOpacity(0);
  const Colour bk = makeColour(0x37, 0xC8, 0xFF);
  frame.setBackColour(bk);
  frame.setBackColourIs(1);
  const Colour s = makeColour(0, 200, 200);  // the background's channels cut to whole hundreds
  EXPECT_EQ(frame.canvas().getPixel(35, 20), GFXFrameX::Blend(s, bk, 5, 1));
  EXPECT_EQ(frame.canvas().getPixel(39, 39), GFXFrameX::Blend(s, bk, 5, 5));
}

TEST(GFXFrameX, OtherStylesShowOnlyTheBackground) {
  GFXFrameX frame(kDialogBack);
  frame.setSizeTwips(450, 300);
  frame.setFrameStyle(2);
  EXPECT_TRUE(allPixelsAre(frame, kDialogBack));
  frame.setBackColour(0x0000FF);
  frame.setBackColourIs(-1);
  EXPECT_TRUE(allPixelsAre(frame, 0x0000FF));
  frame.setContainerBackColour(0x00FF00);
  frame.setBackColourIs(0);
  EXPECT_TRUE(allPixelsAre(frame, 0x00FF00));
}

TEST(GFXFrameX, LoadedOutOfRangeValuesDrawSafely) {
  // Depth 0 draws as the smallest depth instead of dividing by zero.
  PropertyBag loaded;
  loaded.writeInt("ShadowDepth", 0);
  GFXFrameX zero(kDialogBack), two(kDialogBack);
  zero.setSizeTwips(600, 450);
  zero.loadProperties(loaded);
  EXPECT_EQ(zero.ShadowDepth(), 0);
  two.setSizeTwips(600, 450);
  two.setShadowDepth(2);
  EXPECT_EQ(zero.canvas().pixels(), two.canvas().pixels());

  // Opacity beyond 100 would push the shadow below black; every channel stays in range.
  PropertyBag dark;
  dark.writeInt("ShadowOpacity", 400);
  const Colour bk = makeColour(0x40, 0x80, 0xC0);
  GFXFrameX clamped(bk);
  clamped.setSizeTwips(600, 450);
  clamped.loadProperties(dark);
  EXPECT_EQ(clamped.canvas().getPixel(35, 15), GFXFrameX::Blend(kBlack, bk, 5, 1));
}

}  // namespace
}  // namespace pellarin
