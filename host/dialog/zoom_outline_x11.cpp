#include "host/dialog/zoom_outline_x11.h"

#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

#include <algorithm>

namespace pellarin {

namespace {

constexpr int kThickness = 2;

// Black and white pixels in turn, as rubber-band outlines are drawn: seen on any desktop.
Pixmap checkerTile(Display* display) {
  const int screen = DefaultScreen(display);
  const Pixmap tile = XCreatePixmap(display, DefaultRootWindow(display), 2, 2,
                                    static_cast<unsigned>(DefaultDepth(display, screen)));
  GC gc = XCreateGC(display, tile, 0, nullptr);
  XSetForeground(display, gc, BlackPixel(display, screen));
  XFillRectangle(display, tile, gc, 0, 0, 2, 2);
  XSetForeground(display, gc, WhitePixel(display, screen));
  XDrawPoint(display, tile, gc, 0, 0);
  XDrawPoint(display, tile, gc, 1, 1);
  XFreeGC(display, gc);
  return tile;
}

}  // namespace

ZoomOutlineX11::ZoomOutlineX11(Display* display) : display_(display) {
  const Pixmap tile = checkerTile(display_);
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  attributes.background_pixmap = tile;
  attributes.save_under = True;
  window_ = XCreateWindow(display_, DefaultRootWindow(display_), 0, 0, 1, 1, 0, CopyFromParent,
                          InputOutput, CopyFromParent,
                          CWOverrideRedirect | CWBackPixmap | CWSaveUnder, &attributes);
  // The window keeps its own copy of the tile.
  XFreePixmap(display_, tile);
  XClassHint hint{const_cast<char*>("zoom"), const_cast<char*>("Pellarin")};
  XSetClassHint(display_, window_, &hint);
  // Clicks go through to whatever lies below.
  XShapeCombineRectangles(display_, window_, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);
}

ZoomOutlineX11::~ZoomOutlineX11() {
  XDestroyWindow(display_, window_);
  XFlush(display_);
}

void ZoomOutlineX11::show(const ScreenRect& rect) {
  const int width = std::max(1, rect.right - rect.left);
  const int height = std::max(1, rect.bottom - rect.top);
  const ScreenRect wanted{rect.left, rect.top, rect.left + width, rect.top + height};
  if (mapped_ && wanted == shown_) return;
  shown_ = wanted;
  XMoveResizeWindow(display_, window_, rect.left, rect.top, static_cast<unsigned>(width),
                    static_cast<unsigned>(height));
  // The frame: four bars along the edges, or the whole rectangle while it is that small.
  const int t = std::min({kThickness, width, height});
  const auto w = static_cast<unsigned short>(std::min(width, 0xFFFF));
  const auto h = static_cast<unsigned short>(std::min(height, 0xFFFF));
  const auto th = static_cast<unsigned short>(t);
  XRectangle bars[4] = {
      {0, 0, w, th},
      {0, static_cast<short>(height - t), w, th},
      {0, 0, th, h},
      {static_cast<short>(width - t), 0, th, h},
  };
  XShapeCombineRectangles(display_, window_, ShapeBounding, 0, 0, bars, 4, ShapeSet, Unsorted);
  if (!mapped_) {
    XMapRaised(display_, window_);
    mapped_ = true;
  }
  XFlush(display_);
}

}  // namespace pellarin
