#pragma once
// The frame a window manager puts around the dialog, asked for before the dialog is shown, so
// that the framed window is what gets placed.
//
// Implements: the EWMH frame-extents request. Missing: window managers without that request
// (the frame then counts as nothing until the window is shown) and non-X11 GDK backends.

#include <gdk/gdk.h>

#include <chrono>

namespace pellarin {

struct FrameExtents {
  int left = 0;
  int right = 0;
  int top = 0;
  int bottom = 0;
};

// The frame of a realized toplevel: what the window manager has set, or the estimate it gives
// on request within `limit`; all zero without a window manager or an answer.
FrameExtents windowFrameExtents(GdkWindow* window, std::chrono::milliseconds limit);

}  // namespace pellarin
