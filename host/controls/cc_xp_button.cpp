#include "host/controls/cc_xp_button.h"

#include <algorithm>
#include <cmath>

namespace pellarin {

namespace {

constexpr Colour kNone = 0;

struct StateColours {
  Colour outline;
  Colour highlight1;
  Colour highlight2;
  Colour shade3;
  Colour shade4;
  Colour cornerA;
  Colour cornerB;
  Colour cornerC;
  Colour bandTop;
  Colour bandBottom;
};

// Indexed by state: disabled, normal, focused, hot, pressed. Entries the drawing never reads
// for a state are kNone.
constexpr std::array<StateColours, 5> kStateColours = {{
    {fromRgbHex(0xC9C7BA), kNone, kNone, kNone, kNone, fromRgbHex(0xC4B18C), fromRgbHex(0xCEC7BD),
     fromRgbHex(0xC4B18C), kNone, kNone},
    {fromRgbHex(0x003C74), fromRgbHex(0xFFFFFF), fromRgbHex(0xFEFEFE), fromRgbHex(0xE2DFD6),
     fromRgbHex(0xD6D0C5), fromRgbHex(0x215584), fromRgbHex(0x7B96AD), fromRgbHex(0x527DA5),
     fromRgbHex(0xFCFCFB), fromRgbHex(0xECEBE6)},
    {fromRgbHex(0x003C74), fromRgbHex(0xCEE7FF), fromRgbHex(0xBDD7F7), fromRgbHex(0x8CAEE7),
     fromRgbHex(0x6B82EF), fromRgbHex(0x215584), fromRgbHex(0x7B96AD), fromRgbHex(0x527DA5),
     fromRgbHex(0xBDD3F7), fromRgbHex(0x8CAEE7)},
    {fromRgbHex(0x003C74), fromRgbHex(0xFFF3CE), fromRgbHex(0xFFDB8C), fromRgbHex(0xFFB231),
     fromRgbHex(0xE69600), fromRgbHex(0x215584), fromRgbHex(0x7B96AD), fromRgbHex(0x527DA5),
     fromRgbHex(0xE1DF9C), fromRgbHex(0xFFB630)},
    {fromRgbHex(0x003C74), kNone, kNone, kNone, kNone, fromRgbHex(0x215584), fromRgbHex(0x7B96AD),
     fromRgbHex(0x527DA5), kNone, kNone},
}};

constexpr Colour kFaceTop = fromRgbHex(0xFCFCFB);
constexpr Colour kFaceBottom = fromRgbHex(0xECEBE6);
constexpr Colour kDisabledFace = fromRgbHex(0xF5F4EA);
constexpr Colour kPressedFace = fromRgbHex(0xE7E3DE);
constexpr Colour kDisabledText = fromRgbHex(0xA1A192);

std::string lowerAccessCharacter(const MarkedText& marked) {
  if (marked.underlineAt == TextPainter::kNoUnderline) return {};
  const auto lead = static_cast<unsigned char>(marked.text[marked.underlineAt]);
  std::size_t length = 1;
  if (lead >= 0xF0) {
    length = 4;
  } else if (lead >= 0xE0) {
    length = 3;
  } else if (lead >= 0xC0) {
    length = 2;
  }
  std::string key = marked.text.substr(marked.underlineAt, length);
  if (length == 1 && lead >= 'A' && lead <= 'Z') key[0] = static_cast<char>(lead - 'A' + 'a');
  return key;
}

}  // namespace

const FontSpec& ccXPButton::defaultFont() {
  static const FontSpec font{"Verdana", 8.25, false, false};
  return font;
}

ccXPButton::ccXPButton(Colour containerBackColour, TextPainter& painter, ButtonWindow* window,
                       int twipsPerPixel)
    : painter_(painter),
      window_(window),
      containerBackColour_(containerBackColour),
      twipsPerPixel_(std::max(1, twipsPerPixel)),
      font_(defaultFont()) {
  accessKey_ = lowerAccessCharacter(resolveAccessMarkers(caption_));
}

void ccXPButton::changed(std::string_view name) {
  if (onPropertyChanged) onPropertyChanged(name);
}

void ccXPButton::setCaption(std::string_view caption) {
  caption_ = std::string(caption);
  accessKey_ = lowerAccessCharacter(resolveAccessMarkers(caption_));
  changed("Caption");
  draw(state_);
}

void ccXPButton::setEnabled(bool enabled) {
  enabled_ = enabled;
  changed("Enabled");
  if (window_) window_->setWindowEnabled(enabled);
  drawLock_ = false;
  if (mouseOver_ && enabled) {
    draw(kHot);
  } else if (isDefault_ && enabled) {
    draw(kFocused);
  } else {
    drawIfDifferent(enabled ? kNormal : kDisabled);
  }
}

void ccXPButton::setForeColor(Colour colour) {
  foreColor_ = colour;
  changed("ForeColor");
  draw(state_);
}

void ccXPButton::setFont(const FontSpec& font) {
  font_ = font;
  changed("Font");
  draw(state_);
}

void ccXPButton::setFocusRect(bool show) {
  focusRect_ = show;
  changed("FocusRect");
  if (hasFocus_) draw(state_);
}

void ccXPButton::initNew(std::string_view controlName,
                         const std::vector<std::string>& formCaptions) {
  std::string joined;
  for (const auto& caption : formCaptions) joined += "|" + caption;
  joined += "|";
  std::string caption(controlName);
  for (const char* candidate : {"&OK", "&Cancel", "&Apply"}) {
    if (joined.find("|" + std::string(candidate) + "|") == std::string::npos) {
      caption = candidate;
      break;
    }
  }
  caption_ = caption;
  accessKey_ = lowerAccessCharacter(resolveAccessMarkers(caption_));
  foreColor_ = kDefaultForeColor;
  focusRect_ = true;
  setEnabled(true);
}

void ccXPButton::loadProperties(const PropertyBag& bag) {
  caption_ = bag.readString("Caption", kDefaultCaption);
  accessKey_ = lowerAccessCharacter(resolveAccessMarkers(caption_));
  enabled_ = bag.readInt("Enabled", -1) != 0;
  foreColor_ = static_cast<Colour>(bag.readInt("ForeColor", kDefaultForeColor));
  focusRect_ = bag.readInt("FocusRect", -1) != 0;
  font_.family = bag.readString("Font.Name", defaultFont().family);
  font_.sizePoints = bag.readDouble("Font.Size", defaultFont().sizePoints);
  font_.bold = bag.readInt("Font.Bold", 0) != 0;
  font_.italic = bag.readInt("Font.Italic", 0) != 0;
  font_.charset = static_cast<int>(bag.readInt("Font.Charset", defaultFont().charset));
  if (window_) window_->setWindowEnabled(enabled_);
  drawLock_ = false;
  // The look must match the loaded Enabled value from the first paint on, before any event.
  settleState();
}

void ccXPButton::saveProperties(PropertyBag& bag) const {
  if (caption_ != kDefaultCaption) bag.writeString("Caption", caption_);
  if (!enabled_) bag.writeInt("Enabled", 0);
  if (foreColor_ != kDefaultForeColor) bag.writeInt("ForeColor", foreColor_);
  if (!focusRect_) bag.writeInt("FocusRect", 0);
  bag.writeString("Font.Name", font_.family);
  bag.writeDouble("Font.Size", font_.sizePoints);
  bag.writeInt("Font.Bold", font_.bold ? -1 : 0);
  bag.writeInt("Font.Italic", font_.italic ? -1 : 0);
  bag.writeInt("Font.Charset", font_.charset);
}

void ccXPButton::settleState() {
  if (!enabled_) {
    draw(kDisabled);
  } else if (mouseOver_) {
    draw(kHot);
  } else if (hasFocus_ || isDefault_) {
    draw(kFocused);
  } else {
    draw(kNormal);
  }
}

void ccXPButton::setSizeTwips(int widthTwips, int heightTwips) {
  widthTwips_ = std::max(widthTwips, kMinimumSizeTwips);
  heightTwips_ = std::max(heightTwips, kMinimumSizeTwips);
  canvas_.resize(twipsToPixels(widthTwips_, twipsPerPixel_),
                 twipsToPixels(heightTwips_, twipsPerPixel_), containerBackColour_);
  // Redrawn also after the size was raised, so the canvas never shows a blank button.
  draw(state_);
}

// ---- Event inputs -------------------------------------------------------------------------

void ccXPButton::mouseMove(MouseButton button, std::int16_t shift, int x, int y) {
  if (!enabled_) return;
  if (x >= 0 && x <= canvas_.width() && y >= 0 && y <= canvas_.height()) {
    mouseOver_ = true;
    if (!leaveTracked_) {
      leaveTracked_ = true;
      if (window_) window_->trackMouseLeave();
    }
  } else {
    mouseOver_ = false;
  }
  if (formActive_ && !spaceDown_) {
    if (mouseOver_ && armed_) {
      drawIfDifferent(kPressed);
    } else if (mouseOver_) {
      drawIfDifferent(kHot);
    } else if (hasFocus_) {
      drawIfDifferent(kFocused);
    } else {
      drawIfDifferent(kNormal);
    }
  }
  if (MouseMove) {
    MouseMove(static_cast<std::int16_t>(button), shift, static_cast<float>(x * twipsPerPixel_),
              static_cast<float>(y * twipsPerPixel_));
  }
}

void ccXPButton::mouseDown(MouseButton button) {
  if (!enabled_) return;
  lastMouseButton_ = button;
  if (button != MouseButton::kLeft) return;
  hasFocus_ = true;
  armed_ = true;
  mouseButtonDown_ = true;
  drawIfDifferent(kPressed);
}

void ccXPButton::mouseUp(MouseButton button) {
  if (!enabled_ || button != MouseButton::kLeft) return;
  const bool click = mouseOver_ && hasFocus_ && armed_;
  if (formActive_) {
    if (mouseOver_) {
      drawIfDifferent(kHot);
    } else if (hasFocus_) {
      draw(kFocused);
    }
  }
  armed_ = false;
  mouseButtonDown_ = false;
  if (click && Click) Click();
}

void ccXPButton::doubleClick() {
  if (!enabled_ || lastMouseButton_ != MouseButton::kLeft) return;
  draw(kPressed);
  if (DblClick) DblClick();
}

void ccXPButton::keyDown(ButtonKey key) {
  if (!enabled_) return;
  switch (key) {
    case ButtonKey::kEnter:
      if (Click) Click();
      break;
    case ButtonKey::kSpace:
      if (!mouseButtonDown_) {
        spaceDown_ = true;
        armed_ = true;
        drawIfDifferent(kPressed);
      }
      break;
    case ButtonKey::kLeft:
    case ButtonKey::kUp:
      if (window_) window_->moveFocus(true);
      break;
    case ButtonKey::kRight:
    case ButtonKey::kDown:
      if (window_) window_->moveFocus(false);
      break;
    case ButtonKey::kOther:
      break;
  }
}

void ccXPButton::keyUp(ButtonKey key) {
  if (!enabled_ || key != ButtonKey::kSpace || mouseButtonDown_) return;
  if (!mouseOver_) {
    draw(kFocused);
  } else {
    drawIfDifferent(kHot);
  }
  const bool click = armed_;
  spaceDown_ = false;
  armed_ = false;
  if (click && Click) Click();
}

void ccXPButton::accessKeyPressed() {
  if (!enabled_) return;
  if (spaceDown_) {
    spaceDown_ = false;
    armed_ = false;
    if (!mouseOver_) {
      draw(kFocused);
    } else {
      drawIfDifferent(kHot);
    }
    return;
  }
  if (window_) window_->runPendingEvents();
  if (Click) Click();
}

void ccXPButton::focusGained() {
  hasFocus_ = true;
  if (mouseOver_) {
    if (state_ != kHot && state_ != kPressed) draw(kHot);
  } else if (!armed_) {
    draw(kFocused);
  }
}

void ccXPButton::focusLost() {
  hasFocus_ = false;
  armed_ = false;
  spaceDown_ = false;
  if (!enabled_) return;
  if (!formActive_) {
    drawIfDifferent(kNormal);
  } else if (mouseOver_) {
    drawIfDifferent(kHot);
  } else if (isDefault_) {
    draw(kFocused);
  } else {
    drawIfDifferent(kNormal);
  }
}

void ccXPButton::ambientChanged(std::string_view name, bool displayAsDefault) {
  isDefault_ = displayAsDefault;
  if (name != "DisplayAsDefault" || !enabled_ || mouseOver_) return;
  if (isDefault_) {
    draw(kFocused);
  } else {
    drawIfDifferent(kNormal);
  }
}

void ccXPButton::mouseLeft() {
  // Like a tracked leave notification: only one per request.
  if (!leaveTracked_) return;
  leaveTracked_ = false;
  mouseOver_ = false;
  if (spaceDown_ || state_ == kDisabled) return;
  if (hasFocus_ || isDefault_) {
    if (state_ == kPressed) {
      draw(armed_ ? kFocused : kNormal);
    } else if (state_ != kFocused && formActive_) {
      draw(kFocused);
    }
  } else {
    drawIfDifferent(kNormal);
  }
}

void ccXPButton::formActivation(bool active) {
  if (active) {
    formActive_ = true;
    if (enabled_ && !mouseOver_ && (hasFocus_ || isDefault_)) draw(kFocused);
    if (enabled_ && mouseOver_) drawIfDifferent(kHot);
    if (FormActivate) FormActivate(1);
    return;
  }
  formActive_ = false;
  armed_ = false;
  mouseButtonDown_ = false;
  spaceDown_ = false;
  if (enabled_) drawIfDifferent(kNormal);
  if (FormActivate) FormActivate(0);
}

void ccXPButton::SnapMouseTo() {
  if (!window_) return;
  const ScreenPoint origin = window_->clientOriginOnScreen();
  window_->movePointerTo({origin.x + canvas_.width() / 2, origin.y + canvas_.height() / 2});
}

bool ccXPButton::windowRegionContains(int x, int y) const {
  if (x < 0 || y < 0 || x >= regionWidth_ || y >= regionHeight_) return false;
  const bool atSide = x == 0 || x == regionWidth_ - 1;
  const bool atEnd = y == 0 || y == regionHeight_ - 1;
  return !(atSide && atEnd);
}

// ---- Drawing ------------------------------------------------------------------------------

void ccXPButton::drawIfDifferent(State s) {
  if (state_ != s) draw(s);
}

void ccXPButton::gradient(Colour top, Colour bottom, const CanvasRect& rect) {
  const int n = rect.bottom - rect.top;
  if (n < 0) return;
  if (n == 0) {
    // One row: nothing to step through, it takes the bottom colour.
    canvas_.line(rect.left, rect.bottom, rect.right, rect.bottom, bottom);
    return;
  }
  const double stepRed = static_cast<double>(redOf(top) - redOf(bottom)) / n;
  const double stepGreen = static_cast<double>(greenOf(top) - greenOf(bottom)) / n;
  const double stepBlue = static_cast<double>(blueOf(top) - blueOf(bottom)) / n;
  for (int i = 0; i <= n; ++i) {
    const Colour colour =
        makeColour(static_cast<int>(std::nearbyint(redOf(bottom) + stepRed * i)),
                   static_cast<int>(std::nearbyint(greenOf(bottom) + stepGreen * i)),
                   static_cast<int>(std::nearbyint(blueOf(bottom) + stepBlue * i)));
    const int y = rect.bottom - i;
    canvas_.line(rect.left, y, rect.right, y, colour);
  }
}

void ccXPButton::draw(State s) {
  if (drawLock_) return;
  state_ = s;
  canvas_.clear(containerBackColour_);
  const int w = canvas_.width();
  const int h = canvas_.height();
  const StateColours& colours = kStateColours[static_cast<std::size_t>(s)];

  canvas_.line(3, 0, w - 3, 0, colours.outline);
  canvas_.line(0, 3, 0, h - 3, colours.outline);
  canvas_.line(3, h - 1, w - 3, h - 1, colours.outline);
  canvas_.line(w - 1, 3, w - 1, h - 3, colours.outline);

  if (s == kNormal || s == kFocused || s == kHot) {
    gradient(colours.bandTop, colours.bandBottom, {1, 3, w - 1, h - 2});
    gradient(kFaceTop, kFaceBottom, {3, 3, w - 3, h - 3});
    canvas_.line(1, 1, w, 1, colours.highlight1);
    canvas_.line(1, 2, w, 2, colours.highlight2);
    canvas_.line(1, h - 3, w, h - 3, colours.shade3);
    canvas_.line(2, h - 2, w - 1, h - 2, colours.shade4);
  } else {
    canvas_.fillRect({1, 1, w - 1, h - 1}, s == kDisabled ? kDisabledFace : kPressedFace);
  }

  // Corner pixels: top-left, top-right, bottom-left, bottom-right.
  const Colour a = colours.cornerA;
  const Colour b = colours.cornerB;
  const Colour c = colours.cornerC;
  canvas_.setPixel(0, 1, b);
  canvas_.setPixel(0, 2, a);
  canvas_.setPixel(1, 0, b);
  canvas_.setPixel(1, 1, c);
  canvas_.setPixel(2, 0, a);
  canvas_.setPixel(w - 1, 1, b);
  canvas_.setPixel(w - 1, 2, a);
  canvas_.setPixel(w - 2, 0, b);
  canvas_.setPixel(w - 2, 1, c);
  canvas_.setPixel(w - 3, 0, a);
  canvas_.setPixel(0, h - 2, b);
  canvas_.setPixel(0, h - 3, a);
  canvas_.setPixel(1, h - 1, b);
  canvas_.setPixel(1, h - 2, c);
  canvas_.setPixel(2, h - 1, a);
  canvas_.setPixel(w - 1, h - 2, b);
  canvas_.setPixel(w - 1, h - 3, a);
  canvas_.setPixel(w - 2, h - 1, b);
  canvas_.setPixel(w - 2, h - 2, c);
  canvas_.setPixel(w - 3, h - 1, a);

  regionWidth_ = w;
  regionHeight_ = h;

  drawLock_ = true;
  const CanvasRect textRect{3, 3, w - 3, h - 3};
  canvas_.drawText(textRect, caption_, enabled_ ? foreColor_ : kDisabledText, font_, painter_);
  if (hasFocus_ && focusRect_ && s >= kFocused) canvas_.focusRect(textRect);
  drawLock_ = false;
  if (window_) window_->canvasChanged();
}

}  // namespace pellarin
