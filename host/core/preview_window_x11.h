#pragma once
// Quorvane_R on X11: a black child window that fills the given parent window and shows the
// preview picture at its own size in the top-left corner.

#include <X11/Xlib.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "host/core/picture.h"
#include "host/core/x11_connection.h"

namespace pellarin {

class PreviewWindowX11 {
 public:
  PreviewWindowX11(X11Connection& connection, PictureView picture);
  ~PreviewWindowX11();
  PreviewWindowX11(const PreviewWindowX11&) = delete;
  PreviewWindowX11& operator=(const PreviewWindowX11&) = delete;

  // Creates and shows the child window in parent. False, with nothing left behind, when parent
  // names no window. parentGone runs once when the parent (and with it the child) is destroyed.
  bool attach(std::uint32_t parent, std::function<void()> parentGone);

  Window window() const { return window_; }

 private:
  bool handleEvent(XEvent& event);
  void draw();

  X11Connection& connection_;
  PictureView picture_;
  Window parent_ = 0;
  Window window_ = 0;
  XImage* image_ = nullptr;
  std::vector<std::uint32_t> pixels_;
  std::function<void()> parentGone_;
  bool gone_ = false;
};

}  // namespace pellarin
