#pragma once
// Seam: what the push button asks of the window it lives in.

namespace pellarin {

struct ScreenPoint {
  int x = 0;
  int y = 0;
  bool operator==(const ScreenPoint&) const = default;
};

class ButtonWindow {
 public:
  virtual ~ButtonWindow() = default;

  // Ask to be told once when the pointer leaves the window.
  virtual void trackMouseLeave() = 0;
  // Move the keyboard focus to the previous (backwards) or next control of the form.
  virtual void moveFocus(bool backwards) = 0;
  virtual void setWindowEnabled(bool enabled) = 0;
  // Let events already queued run before the caller goes on.
  virtual void runPendingEvents() = 0;
  // The canvas or the window's rounded outline changed: show them again.
  virtual void canvasChanged() = 0;
  // Screen position of the window's client origin, in pixels.
  virtual ScreenPoint clientOriginOnScreen() = 0;
  virtual void movePointerTo(ScreenPoint point) = 0;
};

}  // namespace pellarin
