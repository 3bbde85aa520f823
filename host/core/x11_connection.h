#pragma once
// The host's X connection as its X11 adapters use it: the display, trapping of X errors for
// requests on other clients' windows, and a hook into the event loop for raw X events.
// Implemented over GDK's display (x11_connection_gtk.cpp).

#include <X11/Xlib.h>

#include <functional>

namespace pellarin {

class X11Connection {
 public:
  virtual ~X11Connection() = default;
  virtual Display* display() = 0;
  // Errors between the two calls are collected instead of ending the program; pop returns
  // true when none happened. Pairs nest.
  virtual void pushErrorTrap() = 0;
  virtual bool popErrorTrap() = 0;
  // The handler sees every X event before the toolkit does; it returns true for an event it
  // has consumed. Handlers stay until the connection ends.
  virtual void addEventHandler(std::function<bool(XEvent&)> handler) = 0;
};

// Pushes on construction, pops on destruction unless pop() was called.
class X11ErrorTrap {
 public:
  explicit X11ErrorTrap(X11Connection& connection) : connection_(connection) {
    connection_.pushErrorTrap();
  }
  ~X11ErrorTrap() {
    if (!popped_) connection_.popErrorTrap();
  }
  X11ErrorTrap(const X11ErrorTrap&) = delete;
  X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;
  // True when no X error happened since construction.
  bool pop() {
    popped_ = true;
    return connection_.popErrorTrap();
  }

 private:
  X11Connection& connection_;
  bool popped_ = false;
};

}  // namespace pellarin
