#pragma once
// GFXFrameX: a container panel drawn as a filled rectangle or rounded rectangle with a border
// and an optional soft shadow toward the lower right. It draws onto its own pixel canvas; a
// platform view shows the canvas and places child controls over it.

#include <cstdint>
#include <functional>
#include <string_view>

#include "host/controls/colour.h"
#include "host/controls/pixel_canvas.h"
#include "host/controls/property_bag.h"
#include "host/controls/twips.h"

namespace pellarin {

class GFXFrameX {
 public:
  static constexpr std::int32_t kRoundedStyle = 0;
  static constexpr std::int32_t kSquareStyle = 1;

  static constexpr std::int32_t kDefaultFrameStyle = kSquareStyle;
  static constexpr std::int16_t kDefaultShadowOpacity = 50;
  static constexpr bool kDefaultShowShadow = true;
  static constexpr std::int16_t kDefaultShadowDepth = 5;
  static constexpr std::int32_t kDefaultBackColourIs = 0;
  static constexpr Colour kDefaultBorderColour = kBlack;
  static constexpr std::int16_t kDefaultCornerDepth = 10;

  // containerBackColour: the background of the form or panel that holds the frame.
  explicit GFXFrameX(Colour containerBackColour, int twipsPerPixel = kTwipsPerPixel);

  std::int32_t FrameStyle() const { return frameStyle_; }
  std::int16_t ShadowOpacity() const { return shadowOpacity_; }
  bool ShowShadow() const { return showShadow_; }
  std::int16_t ShadowDepth() const { return shadowDepth_; }
  Colour FillColour() const { return fillColour_; }
  Colour BackColour() const { return backColour_; }
  std::int32_t BackColourIs() const { return backColourIs_; }
  Colour BorderColour() const { return borderColour_; }
  std::int16_t CornerDepth() const { return cornerDepth_; }

  void setFrameStyle(std::int32_t value);
  void setShadowOpacity(std::int16_t value);
  void setShowShadow(bool value);
  void setShadowDepth(std::int16_t value);
  void setFillColour(Colour value);
  void setBackColour(Colour value);
  void setBackColourIs(std::int32_t value);
  void setBorderColour(Colour value);
  void setCornerDepth(std::int16_t value);
  void Refresh() { redraw(); }

  // Size in twips, turned into pixels with the horizontal twips-per-pixel factor.
  void setSizeTwips(int widthTwips, int heightTwips);
  // The container's background changed (an ambient property).
  void setContainerBackColour(Colour colour);
  Colour containerBackColour() const { return containerBackColour_; }

  // Missing values take the defaults; the setter limits are not applied.
  void loadProperties(const PropertyBag& bag);
  // Only values that differ from the defaults are stored.
  void saveProperties(PropertyBag& bag) const;

  const PixelCanvas& canvas() const { return canvas_; }

  // Per channel: a - ((a - b) / n) * k, dividing first (truncating toward zero).
  static Colour Blend(Colour a, Colour b, int n, int k);

  // Raised with the property's name whenever a setter stores a value.
  std::function<void(std::string_view)> onPropertyChanged;
  // Raised after every redraw, so a view can show the new pixels.
  std::function<void()> onRedrawn;

 private:
  void changed(std::string_view name);
  void redraw();
  void smoothCorners(int d, int c, Colour background);

  int twipsPerPixel_;
  Colour containerBackColour_;
  std::int32_t frameStyle_ = kDefaultFrameStyle;
  std::int16_t shadowOpacity_ = kDefaultShadowOpacity;
  bool showShadow_ = kDefaultShowShadow;
  std::int16_t shadowDepth_ = kDefaultShadowDepth;
  Colour fillColour_;
  Colour backColour_;
  std::int32_t backColourIs_ = kDefaultBackColourIs;
  Colour borderColour_ = kDefaultBorderColour;
  std::int16_t cornerDepth_ = kDefaultCornerDepth;
  PixelCanvas canvas_;
};

}  // namespace pellarin
