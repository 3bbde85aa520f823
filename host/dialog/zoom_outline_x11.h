#pragma once
// The zoom's outline on X11: a borderless window above everything (override-redirect, so no
// window manager frames or moves it), shaped to a thin frame and painted by the X server from
// its background tile. It needs no event loop, so the zoom can run as one blocking call.
//
// Implements: a two-pixel outline of black and white pixels in turn. Missing: translucency (no
// compositing is assumed).

#include <X11/Xlib.h>

#include "host/dialog/screen_geometry.h"

namespace pellarin {

class ZoomOutlineX11 {
 public:
  explicit ZoomOutlineX11(Display* display);
  ~ZoomOutlineX11();
  ZoomOutlineX11(const ZoomOutlineX11&) = delete;
  ZoomOutlineX11& operator=(const ZoomOutlineX11&) = delete;

  // Shows the outline of the rectangle (at least one pixel) and sends it to the server.
  void show(const ScreenRect& rect);

 private:
  Display* display_;
  Window window_ = 0;
  bool mapped_ = false;
  ScreenRect shown_{};
};

}  // namespace pellarin
