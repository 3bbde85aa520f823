#include "host/controls/gfx_frame_x.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace pellarin {
namespace {

constexpr Colour kDialogBack = 0xE0E0E0;

Colour grey(int v) {
  return makeColour(v, v, v);
}

TEST(GFXFrameXBlend, DividesBeforeMultiplying) {
  EXPECT_EQ(GFXFrameX::Blend(kBlack, kDialogBack, 100, 50), grey(100));
  EXPECT_EQ(GFXFrameX::Blend(0x102030, 0xFFFFFF, 7, 0), 0x102030u);
  // k = n reaches b only up to what the division dropped.
  EXPECT_EQ(GFXFrameX::Blend(grey(100), kDialogBack, 7, 7), grey(219));
  EXPECT_EQ(GFXFrameX::Blend(makeColour(10, 200, 0), makeColour(250, 0, 90), 4, 2),
            makeColour(130, 100, 44));
}

TEST(GFXFrameXProperties, DefaultsAndSetterLimits) {
  GFXFrameX frame(0x336699);
  EXPECT_EQ(frame.FrameStyle(), 1);
  EXPECT_EQ(frame.ShadowOpacity(), 50);
  EXPECT_TRUE(frame.ShowShadow());
  EXPECT_EQ(frame.ShadowDepth(), 5);
  EXPECT_EQ(frame.FillColour(), 0x336699u);
  EXPECT_EQ(frame.BackColour(), 0x336699u);
  EXPECT_EQ(frame.BackColourIs(), 0);
  EXPECT_EQ(frame.BorderColour(), kBlack);
  EXPECT_EQ(frame.CornerDepth(), 10);

  std::vector<std::string> changes;
  frame.onPropertyChanged = [&](std::string_view name) { changes.emplace_back(name); };
  const std::vector<std::pair<std::int16_t, std::int16_t>> depths = {{1, 2},   {-7, 2},  {2, 2},
                                                                     {40, 40}, {41, 50}, {300, 50}};
  for (auto [given, stored] : depths) {
    frame.setShadowDepth(given);
    EXPECT_EQ(frame.ShadowDepth(), stored) << given;
  }
  frame.setCornerDepth(80);
  EXPECT_EQ(frame.CornerDepth(), 50);
  frame.setCornerDepth(-3);
  EXPECT_EQ(frame.CornerDepth(), 0);
  frame.setShadowOpacity(-5);
  EXPECT_EQ(frame.ShadowOpacity(), 0);
  frame.setShadowOpacity(101);
  EXPECT_EQ(frame.ShadowOpacity(), 100);
  frame.setFrameStyle(7);
  EXPECT_EQ(frame.FrameStyle(), 7);
  EXPECT_EQ(changes.size(), depths.size() + 5);
  EXPECT_EQ(changes.front(), "ShadowDepth");
  EXPECT_EQ(changes.back(), "FrameStyle");
}

TEST(GFXFrameXDraw, WithoutShadowOneShapeOverTheWholeControl) {
  GFXFrameX frame(kDialogBack);
  frame.setSizeTwips(300, 150);  // 20 x 10 pixels
  frame.setFillColour(0x00FF00);
  frame.setBorderColour(0x0000FF);
  frame.setShowShadow(false);
  const PixelCanvas& c = frame.canvas();
  ASSERT_EQ(c.width(), 20);
  ASSERT_EQ(c.height(), 10);
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 20; ++x) {
      const bool edge = x == 0 || y == 0 || x == 19 || y == 9;
      EXPECT_EQ(c.getPixel(x, y), edge ? 0x0000FFu : 0x00FF00u) << x << "," << y;
    }
  }
}

// The colour a square frame on background bk must show at (x, y): the face (0, 0, W-d, H-d)
// above the rings i = 0..d, each the hollow outline of (2d-i, 2d-i, W-d+i, H-d+i).
Colour expectedSquare(int x, int y, int w, int h, int d, Colour bk, Colour shadow, Colour fill,
                      Colour border) {
  if (x < w - d && y < h - d) {
    return (x == 0 || y == 0 || x == w - d - 1 || y == h - d - 1) ? border : fill;
  }
  Colour colour = bk;
  for (int i = 0; i <= d; ++i) {
    const int l = 2 * d - i, t = 2 * d - i, r = w - d + i, b = h - d + i;
    const bool inside = x >= l && x < r && y >= t && y < b;
    const bool onEdge = inside && (x == l || x == r - 1 || y == t || y == b - 1);
    if (onEdge) colour = GFXFrameX::Blend(shadow, bk, d, i);
  }
  return colour;
}

TEST(GFXFrameXDraw, DialogFramePixelByPixel) {
  GFXFrameX frame(kDialogBack);
  frame.setShadowDepth(7);
  frame.setSizeTwips(7155, 2595);
  const PixelCanvas& c = frame.canvas();
  ASSERT_EQ(c.width(), 477);
  ASSERT_EQ(c.height(), 173);
  const Colour shadow = GFXFrameX::Blend(kBlack, kDialogBack, 100, 50);
  ASSERT_EQ(shadow, grey(100));
  for (int y = 0; y < c.height(); ++y) {
    for (int x = 0; x < c.width(); ++x) {
      ASSERT_EQ(c.getPixel(x, y),
                expectedSquare(x, y, 477, 173, 7, kDialogBack, shadow, kDialogBack, kBlack))
          << x << "," << y;
    }
  }
  // Spelled out: square black corner, then the visible rings 1..7 along the right edge.
  EXPECT_EQ(c.getPixel(0, 0), kBlack);
  EXPECT_EQ(c.getPixel(469, 165), kBlack);
  const int ramp[] = {117, 134, 151, 168, 185, 202, 219};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(c.getPixel(470 + i, 80), grey(ramp[i])) << i;
  // Above the face's corner the rings step outward: ring i's top edge is row 14 - i.
  EXPECT_EQ(c.getPixel(470, 13), grey(117));
  EXPECT_EQ(c.getPixel(470, 12), grey(134));
  EXPECT_EQ(c.getPixel(470, 7), grey(219));
  EXPECT_EQ(c.getPixel(470, 6), kDialogBack);
  EXPECT_EQ(c.getPixel(476, 172), grey(219));
  EXPECT_EQ(c.getPixel(6, 172), kDialogBack);
}

TEST(GFXFrameXDraw, OpacityEnds) {
  GFXFrameX frame(kDialogBack);
  frame.setSizeTwips(600, 600);  // 40 x 40, depth 5
  frame.setShadowOpacity(100);
  EXPECT_EQ(GFXFrameX::Blend(kBlack, kDialogBack, 100, 100 - 100), kBlack);
  // Ring 1 is the first one the face leaves visible: black + 44 with depth 5.
  EXPECT_EQ(frame.canvas().getPixel(35, 20), grey(44));

  frame.setShadowOpacity(0);
  const Colour bk = makeColour(0x37, 0xC8, 0xFF);
  frame.setBackColour(bk);
  frame.setBackColourIs(1);
  const Colour s = GFXFrameX::Blend(kBlack, bk, 100, 100);
  EXPECT_EQ(s, makeColour(0, 200, 200));  // the background's channels cut to whole hundreds
  EXPECT_EQ(frame.canvas().getPixel(35, 20), GFXFrameX::Blend(s, bk, 5, 1));
  EXPECT_EQ(frame.canvas().getPixel(39, 39), GFXFrameX::Blend(s, bk, 5, 5));
}

TEST(GFXFrameXDraw, OtherStylesShowOnlyTheBackground) {
  GFXFrameX frame(kDialogBack);
  frame.setSizeTwips(450, 300);
  frame.setFrameStyle(2);
  for (Colour p : frame.canvas().pixels()) ASSERT_EQ(p, kDialogBack);
  frame.setBackColour(0x0000FF);
  frame.setBackColourIs(-1);
  for (Colour p : frame.canvas().pixels()) ASSERT_EQ(p, 0x0000FFu);
  frame.setContainerBackColour(0x00FF00);
  for (Colour p : frame.canvas().pixels()) ASSERT_EQ(p, 0x0000FFu);
  frame.setBackColourIs(0);
  for (Colour p : frame.canvas().pixels()) ASSERT_EQ(p, 0x00FF00u);
}

TEST(GFXFrameXDraw, RoundedShadowCornersAreSmoothed) {
  GFXFrameX frame(kDialogBack);
  frame.setFrameStyle(GFXFrameX::kRoundedStyle);
  frame.setSizeTwips(900, 600);  // 60 x 40, depth 5, corner 10
  const PixelCanvas& c = frame.canvas();
  // Not a visited region: the cut upper-left corner keeps the plain background.
  EXPECT_EQ(c.getPixel(0, 0), kDialogBack);
  std::set<Colour> drawn{kDialogBack, kBlack};
  const Colour shadow = GFXFrameX::Blend(kBlack, kDialogBack, 100, 50);
  for (int i = 0; i <= 5; ++i) drawn.insert(GFXFrameX::Blend(shadow, kDialogBack, 5, i));
  int blended = 0;
  for (int y = 40 - 20; y <= 40 - 3; ++y) {
    for (int x = 60 - 20; x <= 60 - 3; ++x) blended += drawn.contains(c.getPixel(x, y)) ? 0 : 1;
  }
  EXPECT_GT(blended, 0);
  // Outside the visited regions nothing is blended.
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 60; ++x) {
      const bool lowerRight = x >= 40 && x <= 57 && y >= 20 && y <= 37;
      const bool upperRight = x >= 40 && x <= 57 && y >= 5 && y <= 20;
      const bool lowerLeft = x >= 5 && x <= 20 && y >= 20 && y <= 37;
      if (lowerRight || upperRight || lowerLeft) continue;
      EXPECT_TRUE(drawn.contains(c.getPixel(x, y))) << x << "," << y;
    }
  }
}

TEST(GFXFrameXPersistence, SavesOnlyDifferencesAndLoadsWithoutLimits) {
  GFXFrameX frame(kDialogBack);
  PropertyBag empty;
  frame.saveProperties(empty);
  EXPECT_EQ(empty.size(), 0u);

  frame.setShadowDepth(7);
  frame.setFillColour(0x112233);
  PropertyBag bag;
  frame.saveProperties(bag);
  EXPECT_EQ(bag.size(), 2u);
  EXPECT_EQ(bag.readInt("ShadowDepth", 0), 7);
  EXPECT_EQ(bag.readInt("FillColour", 0), 0x112233);
  // The colour default is the container's background at the moment of saving.
  frame.setContainerBackColour(0x112233);
  PropertyBag later;
  frame.saveProperties(later);
  EXPECT_FALSE(later.contains("FillColour"));

  PropertyBag loaded;
  loaded.writeInt("ShadowOpacity", 150);
  loaded.writeInt("CornerDepth", 99);
  loaded.writeInt("ShowShadow", 1);  // only -1 is true
  GFXFrameX other(kDialogBack);
  other.loadProperties(loaded);
  EXPECT_EQ(other.ShadowOpacity(), 150);
  EXPECT_EQ(other.CornerDepth(), 99);
  EXPECT_FALSE(other.ShowShadow());
  EXPECT_EQ(other.ShadowDepth(), 5);
  EXPECT_EQ(other.FillColour(), kDialogBack);
}

TEST(GFXFrameXPersistence, LoadedZeroDepthDrawsAsTheSmallestDepth) {
  PropertyBag loaded;
  loaded.writeInt("ShadowDepth", 0);
  GFXFrameX zero(kDialogBack);
  zero.setSizeTwips(600, 450);
  zero.loadProperties(loaded);
  EXPECT_EQ(zero.ShadowDepth(), 0);

  GFXFrameX two(kDialogBack);
  two.setSizeTwips(600, 450);
  two.setShadowDepth(2);
  EXPECT_EQ(zero.canvas().pixels(), two.canvas().pixels());

  // Out-of-range opacity from a saved form keeps every channel in range.
  PropertyBag dark;
  dark.writeInt("ShadowOpacity", 400);
  GFXFrameX clamped(makeColour(0x40, 0x80, 0xC0));  // the shadow would go below black
  clamped.setSizeTwips(600, 450);
  clamped.loadProperties(dark);
  const Colour bk = makeColour(0x40, 0x80, 0xC0);
  EXPECT_EQ(clamped.canvas().getPixel(35, 15), GFXFrameX::Blend(kBlack, bk, 5, 1));
}

}  // namespace
}  // namespace pellarin
