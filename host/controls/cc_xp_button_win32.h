#pragma once
// A ccXPButton in a Win32 window: a child window of its own class that paints the button's
// canvas, clipped to the rounded region the button asks for, and turns its window messages and
// its form's activation messages into the button's inputs.
//
// Implements: painting with SetDIBitsToDevice, the window region (CreateRoundRectRgn and
// SetWindowRgn), the leave notice (TrackMouseEvent, TME_LEAVE), mouse capture while a button is
// held, the form's activation through a hook on the form's window procedure (WM_ACTIVATE, or
// WM_NCACTIVATE on an MDI child; the form's own procedure runs first), the keyboard of the
// button's table, focus moves to the previous or next tab stop, pointer moves (SetCursorPos).
// Missing: the access key itself, which the form's message loop looks for (WM_SYSCHAR) and
// hands to the button, as the GTK form's key handler does.

#include <windows.h>

#include "common/window_win32.h"

#include "host/controls/button_window.h"
#include "host/controls/cc_xp_button.h"

namespace pellarin {

class XPButtonWin32 final : public ButtonWindow {
 public:
  // A child window of parent with its top left corner at (left, top), sized by the button.
  XPButtonWin32(HWND parent, int left, int top, Colour containerBackColour, TextPainter& painter,
                int twipsPerPixel = kTwipsPerPixel);
  ~XPButtonWin32() override;
  XPButtonWin32(const XPButtonWin32&) = delete;
  XPButtonWin32& operator=(const XPButtonWin32&) = delete;

  HWND window() const { return window_; }
  ccXPButton& button() { return button_; }
  // Follows the activation of the form's window (the form's activate messages).
  void followForm(HWND form);

  void trackMouseLeave() override;
  void moveFocus(bool backwards) override;
  void setWindowEnabled(bool enabled) override;
  void runPendingEvents() override;
  void canvasChanged() override;
  ScreenPoint clientOriginOnScreen() override;
  void movePointerTo(ScreenPoint point) override;

 private:
  template <class>
  friend LRESULT CALLBACK ownedWindowProcedure(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK formHook(HWND form, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR id, DWORD_PTR self);
  LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void onPaint();
  void onMotion(WPARAM wParam, LPARAM lParam);
  void onPress(MouseButton which);
  void onRelease(MouseButton which);
  bool onKeyPress(WPARAM key);
  bool onKeyRelease(WPARAM key);
  void onFormActive(UINT message, WPARAM wParam);
  void stopFollowingForm();

  HWND window_ = nullptr;
  HWND form_ = nullptr;
  UINT activationMessage_ = WM_ACTIVATE;
  int regionWidth_ = -1;
  int regionHeight_ = -1;
  ccXPButton button_;
};

}  // namespace pellarin
