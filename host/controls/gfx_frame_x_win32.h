#pragma once
// A GFXFrameX in a Win32 window: a child window that paints the frame's canvas and holds the
// controls placed on it, passing their notices on to the form as a container does.
//
// Implements: painting with SetDIBitsToDevice after every redraw of the frame, the size the
// frame's canvas has, keyboard navigation into the controls on it (WS_EX_CONTROLPARENT), the
// controls' notices and colour requests forwarded to the frame's parent, its painting for
// controls without a face of their own (WM_PRINTCLIENT). Missing: a GTK twin (there the form
// paints the frame's canvas under its fixed layout).

#include <windows.h>

#include "common/window_win32.h"

#include <functional>

#include "host/controls/gfx_frame_x.h"

namespace pellarin {

class GFXFrameXWin32 final {
 public:
  // A child window of parent with its top left corner at (left, top), sized by the frame.
  GFXFrameXWin32(HWND parent, int left, int top, Colour containerBackColour,
                 int twipsPerPixel = kTwipsPerPixel);
  ~GFXFrameXWin32();
  GFXFrameXWin32(const GFXFrameXWin32&) = delete;
  GFXFrameXWin32& operator=(const GFXFrameXWin32&) = delete;

  HWND window() const { return window_; }
  GFXFrameX& frame() { return frame_; }

  // Drawn over the frame's canvas on every paint: shapes the form keeps on the frame.
  std::function<void(HDC)> paintOver;

 private:
  template <class>
  friend LRESULT CALLBACK ownedWindowProcedure(HWND, UINT, WPARAM, LPARAM);
  LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void onRedrawn();
  void paint(HDC dc);

  HWND window_ = nullptr;
  GFXFrameX frame_;
};

}  // namespace pellarin
