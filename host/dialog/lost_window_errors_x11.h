#pragma once
// Another program may destroy the dialog's window under us (a window manager's kill, a tool's
// window close). GTK's requests that were on their way then fail: on the window itself, and on
// what it makes from it in passing (a pixmap that cannot be created, and then a picture, a GC
// on that pixmap; the window's own pictures, which the server frees with it). GDK takes any
// error it did not expect for a fault of ours and ends the process with status 1 before the
// destruction has even reached the dialog. While a guard lives, errors about its window, and
// once the window is known gone also the missing-resource errors that follow, are expected and
// only logged; every other error goes on as before.
//
// The errors are taken where Xlib turns them from wire format, ahead of any error handler: GDK
// puts its own handler in place whenever it traps errors of a request of its own, and an error
// of an earlier request that arrives meanwhile reaches only that handler. The window is known
// gone from its destruction event, read from the connection in order with those errors.
//
// Implements: one guarded window at a time, on the Xlib connection of that window. Missing: other
// GDK backends (nothing to guard there).

#include <gdk/gdk.h>

namespace pellarin {

class LostWindowErrorsX11 {
 public:
  // window: a realized toplevel of the X11 backend.
  explicit LostWindowErrorsX11(GdkWindow* window);
  ~LostWindowErrorsX11();
  LostWindowErrorsX11(const LostWindowErrorsX11&) = delete;
  LostWindowErrorsX11& operator=(const LostWindowErrorsX11&) = delete;
};

}  // namespace pellarin
