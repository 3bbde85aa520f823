#pragma once
// ccXPButton: the host's owner-drawn push button. Its state machine takes plain event inputs
// (the platform view translates its window's events into them) and it draws onto its own
// pixel canvas.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/controls/button_window.h"
#include "host/controls/colour.h"
#include "host/controls/pixel_canvas.h"
#include "host/controls/property_bag.h"
#include "host/controls/text_painter.h"
#include "host/controls/twips.h"

namespace pellarin {

// Mouse button values as the events carry them.
enum class MouseButton : std::int16_t { kNone = 0, kLeft = 1, kRight = 2, kMiddle = 4 };

enum class ButtonKey { kEnter, kSpace, kLeft, kUp, kRight, kDown, kOther };

class ccXPButton {
 public:
  enum State : std::int32_t { kDisabled = 0, kNormal = 1, kFocused = 2, kHot = 3, kPressed = 4 };

  static constexpr const char* kDefaultCaption = "&OK";
  static constexpr Colour kDefaultForeColor = kBlack;
  static constexpr int kMinimumSizeTwips = 100;
  static const FontSpec& defaultFont();

  // window may be null (no platform window, as in tests of the drawing alone).
  ccXPButton(Colour containerBackColour, TextPainter& painter, ButtonWindow* window,
             int twipsPerPixel = kTwipsPerPixel);

  const std::string& Caption() const { return caption_; }
  bool Enabled() const { return enabled_; }
  Colour ForeColor() const { return foreColor_; }
  const FontSpec& Font() const { return font_; }
  bool FocusRect() const { return focusRect_; }

  void setCaption(std::string_view caption);
  void setEnabled(bool enabled);
  void setForeColor(Colour colour);
  void setFont(const FontSpec& font);
  void setFocusRect(bool show);

  // The lower-cased access character of the caption (UTF-8), empty when there is none.
  const std::string& accessKey() const { return accessKey_; }

  // A button newly placed on a form: picks the first of "&OK", "&Cancel", "&Apply" that no
  // button on the form has (else controlName) and sets the other defaults.
  void initNew(std::string_view controlName, const std::vector<std::string>& formCaptions);
  void loadProperties(const PropertyBag& bag);
  void saveProperties(PropertyBag& bag) const;
  // Sizes below 100 twips are raised to 100.
  void setSizeTwips(int widthTwips, int heightTwips);
  int widthTwips() const { return widthTwips_; }
  int heightTwips() const { return heightTwips_; }

  // Event inputs; x and y in client pixels.
  void mouseMove(MouseButton button, std::int16_t shift, int x, int y);
  void mouseDown(MouseButton button);
  void mouseUp(MouseButton button);
  void doubleClick();
  void keyDown(ButtonKey key);
  void keyUp(ButtonKey key);
  void accessKeyPressed();
  void focusGained();
  void focusLost();
  void ambientChanged(std::string_view name, bool displayAsDefault);
  void mouseLeft();
  void formActivation(bool active);

  // Moves the pointer to the centre of the button.
  void SnapMouseTo();

  // Events.
  std::function<void()> Click;
  std::function<void()> DblClick;
  std::function<void(std::int16_t button, std::int16_t shift, float x, float y)> MouseMove;
  std::function<void(std::int32_t activated)> FormActivate;
  // Raised with the property's name whenever a property is set.
  std::function<void(std::string_view)> onPropertyChanged;

  State state() const { return state_; }
  bool armed() const { return armed_; }
  bool hasFocus() const { return hasFocus_; }
  const PixelCanvas& canvas() const { return canvas_; }
  // The window is clipped to a rectangle with corners rounded by 3 pixels: the outermost
  // corner pixels are not part of it.
  bool windowRegionContains(int x, int y) const;

 private:
  void draw(State s);
  void drawIfDifferent(State s);
  void changed(std::string_view name);
  void gradient(Colour top, Colour bottom, const CanvasRect& rect);
  void settleState();

  TextPainter& painter_;
  ButtonWindow* window_;
  Colour containerBackColour_;
  int twipsPerPixel_;

  std::string caption_ = kDefaultCaption;
  std::string accessKey_;
  bool enabled_ = true;
  Colour foreColor_ = kDefaultForeColor;
  FontSpec font_;
  bool focusRect_ = true;
  int widthTwips_ = 0;
  int heightTwips_ = 0;

  State state_ = kNormal;
  bool hasFocus_ = false;
  bool mouseOver_ = false;
  bool armed_ = false;
  bool mouseButtonDown_ = false;
  bool spaceDown_ = false;
  bool formActive_ = false;
  bool isDefault_ = false;
  bool drawLock_ = true;
  bool leaveTracked_ = false;
  MouseButton lastMouseButton_ = MouseButton::kNone;
  int regionWidth_ = 0;
  int regionHeight_ = 0;
  PixelCanvas canvas_;
};

}  // namespace pellarin
