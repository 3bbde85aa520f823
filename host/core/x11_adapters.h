#pragma once
// The host's X11 adapters. Each translates one seam to Xlib calls on the host's connection.

#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "host/core/picture.h"
#include "host/core/pointer_control.h"
#include "host/core/screen_metrics.h"
#include "host/core/window_finder.h"
#include "host/core/x11_connection.h"

namespace pellarin {

// Walks the whole window tree, hidden windows included, and compares both the UTF-8
// _NET_WM_NAME and the WM_NAME of every window.
class WindowFinderX11 final : public WindowFinder {
 public:
  explicit WindowFinderX11(X11Connection& connection) : connection_(connection) {}
  bool windowWithTitleExists(std::string_view title) override;
  bool windowWithTitleExistsInside(WindowId ancestor, std::string_view title) override;
  bool windowExists(WindowId window) override;
  // The default screen's root window.
  WindowId rootWindow() override;

 private:
  X11Connection& connection_;
};

// Hides the pointer over the whole screen with XFixes. The server shows it again by itself when
// the connection closes.
class PointerControlX11 final : public PointerControl {
 public:
  explicit PointerControlX11(X11Connection& connection) : connection_(connection) {}
  std::int32_t showCursor(bool show) override;

 private:
  X11Connection& connection_;
  std::int32_t count_ = 0;
};

// The primary RandR output's size; the screen's size when there is none.
class ScreenMetricsX11 final : public ScreenMetrics {
 public:
  explicit ScreenMetricsX11(X11Connection& connection) : connection_(connection) {}
  ScreenSize primaryScreenSize() override;

 private:
  X11Connection& connection_;
};

// A window that is never mapped and exists only to carry a title for others to find.
class TitledHiddenWindowX11 {
 public:
  TitledHiddenWindowX11(X11Connection& connection, std::string_view title);
  ~TitledHiddenWindowX11();
  TitledHiddenWindowX11(const TitledHiddenWindowX11&) = delete;
  TitledHiddenWindowX11& operator=(const TitledHiddenWindowX11&) = delete;
  Window window() const { return window_; }

 private:
  X11Connection& connection_;
  Window window_ = 0;
};

// Sets both title properties of a window: WM_NAME and the UTF-8 _NET_WM_NAME.
void setWindowTitleX11(Display* display, Window window, std::string_view title);

}  // namespace pellarin
