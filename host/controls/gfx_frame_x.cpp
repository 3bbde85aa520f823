#include "host/controls/gfx_frame_x.h"

#include <algorithm>
#include <cmath>

namespace pellarin {

namespace {

constexpr int kSmallestShadowDepth = 2;
constexpr int kLargestPlainShadowDepth = 40;
constexpr int kOversizedShadowDepth = 50;
constexpr int kLargestCornerDepth = 50;

}  // namespace

GFXFrameX::GFXFrameX(Colour containerBackColour, int twipsPerPixel)
    : twipsPerPixel_(std::max(1, twipsPerPixel)),
      containerBackColour_(containerBackColour),
      fillColour_(containerBackColour),
      backColour_(containerBackColour) {}

Colour GFXFrameX::Blend(Colour a, Colour b, int n, int k) {
  if (n == 0) return a;
  auto channel = [n, k](int ca, int cb) { return ca - ((ca - cb) / n) * k; };
  return makeColour(channel(redOf(a), redOf(b)), channel(greenOf(a), greenOf(b)),
                    channel(blueOf(a), blueOf(b)));
}

void GFXFrameX::changed(std::string_view name) {
  if (onPropertyChanged) onPropertyChanged(name);
  redraw();
}

void GFXFrameX::setFrameStyle(std::int32_t value) {
  frameStyle_ = value;
  changed("FrameStyle");
}

void GFXFrameX::setShadowOpacity(std::int16_t value) {
  shadowOpacity_ = std::clamp<std::int16_t>(value, 0, 100);
  changed("ShadowOpacity");
}

void GFXFrameX::setShowShadow(bool value) {
  showShadow_ = value;
  changed("ShowShadow");
}

void GFXFrameX::setShadowDepth(std::int16_t value) {
  if (value < kSmallestShadowDepth) {
    shadowDepth_ = kSmallestShadowDepth;
  } else if (value > kLargestPlainShadowDepth) {
    shadowDepth_ = kOversizedShadowDepth;
  } else {
    shadowDepth_ = value;
  }
  changed("ShadowDepth");
}

void GFXFrameX::setFillColour(Colour value) {
  fillColour_ = value;
  changed("FillColour");
}

void GFXFrameX::setBackColour(Colour value) {
  backColour_ = value;
  changed("BackColour");
}

void GFXFrameX::setBackColourIs(std::int32_t value) {
  backColourIs_ = value;
  changed("BackColourIs");
}

void GFXFrameX::setBorderColour(Colour value) {
  borderColour_ = value;
  changed("BorderColour");
}

void GFXFrameX::setCornerDepth(std::int16_t value) {
  cornerDepth_ = std::clamp<std::int16_t>(value, 0, kLargestCornerDepth);
  changed("CornerDepth");
}

void GFXFrameX::setSizeTwips(int widthTwips, int heightTwips) {
  canvas_.resize(twipsToPixels(widthTwips, twipsPerPixel_),
                 twipsToPixels(heightTwips, twipsPerPixel_), containerBackColour_);
  redraw();
}

void GFXFrameX::setContainerBackColour(Colour colour) {
  containerBackColour_ = colour;
  redraw();
}

void GFXFrameX::loadProperties(const PropertyBag& bag) {
  frameStyle_ = static_cast<std::int32_t>(bag.readInt("FrameStyle", kDefaultFrameStyle));
  shadowOpacity_ = static_cast<std::int16_t>(bag.readInt("ShadowOpacity", kDefaultShadowOpacity));
  showShadow_ = bag.readInt("ShowShadow", kDefaultShowShadow ? -1 : 0) == -1;
  shadowDepth_ = static_cast<std::int16_t>(bag.readInt("ShadowDepth", kDefaultShadowDepth));
  fillColour_ = static_cast<Colour>(bag.readInt("FillColour", containerBackColour_));
  backColour_ = static_cast<Colour>(bag.readInt("BackColour", containerBackColour_));
  backColourIs_ = static_cast<std::int32_t>(bag.readInt("BackColourIs", kDefaultBackColourIs));
  borderColour_ = static_cast<Colour>(bag.readInt("BorderColour", kDefaultBorderColour));
  cornerDepth_ = static_cast<std::int16_t>(bag.readInt("CornerDepth", kDefaultCornerDepth));
  redraw();
}

void GFXFrameX::saveProperties(PropertyBag& bag) const {
  if (frameStyle_ != kDefaultFrameStyle) bag.writeInt("FrameStyle", frameStyle_);
  if (shadowOpacity_ != kDefaultShadowOpacity) bag.writeInt("ShadowOpacity", shadowOpacity_);
  if (showShadow_ != kDefaultShowShadow) bag.writeInt("ShowShadow", showShadow_ ? -1 : 0);
  if (shadowDepth_ != kDefaultShadowDepth) bag.writeInt("ShadowDepth", shadowDepth_);
  if (fillColour_ != containerBackColour_) bag.writeInt("FillColour", fillColour_);
  if (backColour_ != containerBackColour_) bag.writeInt("BackColour", backColour_);
  if (backColourIs_ != kDefaultBackColourIs) bag.writeInt("BackColourIs", backColourIs_);
  if (borderColour_ != kDefaultBorderColour) bag.writeInt("BorderColour", borderColour_);
  if (cornerDepth_ != kDefaultCornerDepth) bag.writeInt("CornerDepth", cornerDepth_);
}

void GFXFrameX::redraw() {
  const Colour background = backColourIs_ != 0 ? backColour_ : containerBackColour_;
  canvas_.clear(background);
  const int w = canvas_.width();
  const int h = canvas_.height();
  // A depth below the setter's minimum can only come from saved properties; drawing it as the
  // minimum keeps the ring blend from dividing by zero.
  const int d = std::max<int>(shadowDepth_, kSmallestShadowDepth);
  const int c = cornerDepth_;
  const bool rounded = frameStyle_ == kRoundedStyle;
  if (!rounded && frameStyle_ != kSquareStyle) {
    if (onRedrawn) onRedrawn();
    return;
  }
  auto shape = [&](const CanvasRect& rect, Colour pen, std::optional<Colour> brush) {
    if (rounded) {
      canvas_.roundRect(rect, c, c, pen, brush);
    } else {
      canvas_.rectangle(rect, pen, brush);
    }
  };
  if (!showShadow_) {
    shape({0, 0, w, h}, borderColour_, fillColour_);
  } else {
    const Colour shadow = Blend(kBlack, background, 100, 100 - shadowOpacity_);
    for (int i = 0; i <= d; ++i) {
      shape({2 * d - i, 2 * d - i, w - d + i, h - d + i}, Blend(shadow, background, d, i),
            std::nullopt);
    }
    if (rounded) smoothCorners(d, c, background);
    shape({0, 0, w - d, h - d}, borderColour_, fillColour_);
  }
  if (onRedrawn) onRedrawn();
}

void GFXFrameX::smoothCorners(int d, int c, Colour background) {
  const int w = canvas_.width();
  const int h = canvas_.height();
  auto neighbour = [&](int x, int y) {
    return canvas_.contains(x, y) ? canvas_.getPixel(x, y) : background;
  };
  auto visit = [&](int xFrom, int xTo, int yFrom, int yTo) {
    for (int x = xFrom; x <= xTo; ++x) {
      for (int y = yFrom; y <= yTo; ++y) {
        if (!canvas_.contains(x, y) || canvas_.getPixel(x, y) != background) continue;
        const Colour around[4] = {neighbour(x, y - 1), neighbour(x + 1, y), neighbour(x, y + 1),
                                  neighbour(x - 1, y)};
        auto average = [&around](int (*channel)(Colour)) {
          const int sum =
              channel(around[0]) + channel(around[1]) + channel(around[2]) + channel(around[3]);
          return static_cast<int>(std::nearbyint(sum / 4.0));
        };
        canvas_.setPixel(x, y, makeColour(average(redOf), average(greenOf), average(blueOf)));
      }
    }
  };
  visit(w - 2 * c, w - 3, h - 2 * c, h - 3);
  visit(w - 2 * c, w - 3, d, 4 * d);
  visit(d, 4 * d, h - 2 * c, h - 3);
}

}  // namespace pellarin
