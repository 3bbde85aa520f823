#include "host/dialog/lost_window_errors_x11.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>

#include <array>

#include "common/debug_log.h"

// Last, as it defines min and max as macros: for the per-connection wire conversion hooks only.
#include <X11/Xlibint.h>

namespace pellarin {

namespace {

using WireToError = Bool (*)(Display*, XErrorEvent*, xError*);
using WireToEvent = Bool (*)(Display*, XEvent*, xEvent*);

// RENDER's own error for a picture that does not exist, counted from its first error code.
constexpr int kRenderBadPicture = 1;

struct HookedError {
  int code = -1;
  WireToError previous = nullptr;
};

struct Guard {
  Display* display = nullptr;
  unsigned long window = 0;
  bool gone = false;
  // Missing-resource errors: the window, a pixmap, a drawable, a GC, a picture.
  std::array<HookedError, 5> errors;
  WireToEvent previousDestroyNotify = nullptr;
};

Guard guard;

// False drops the error before any handler sees it.
Bool onWireError(Display* display, XErrorEvent* error, xError* wire) {
  const bool aboutWindow = error->resourceid == guard.window &&
                           (error->error_code == BadWindow || error->error_code == BadDrawable);
  if (aboutWindow || guard.gone) {
    guard.gone = true;
    debugLog("dialog: X error %d on %#lx after another program destroyed the window (request %d)\n",
             error->error_code, error->resourceid, error->request_code);
    return False;
  }
  for (const HookedError& hooked : guard.errors) {
    if (hooked.code == error->error_code && hooked.previous != nullptr) {
      return hooked.previous(display, error, wire);
    }
  }
  return True;
}

Bool onWireEvent(Display* display, XEvent* event, xEvent* wire) {
  const Bool keep = guard.previousDestroyNotify(display, event, wire);
  if (event->type == DestroyNotify && event->xdestroywindow.window == guard.window) {
    guard.gone = true;
  }
  return keep;
}

}  // namespace

LostWindowErrorsX11::LostWindowErrorsX11(GdkWindow* window) {
  guard = Guard{};
  guard.display = gdk_x11_display_get_xdisplay(gdk_window_get_display(window));
  guard.window = gdk_x11_window_get_xid(window);
  int renderOpcode = 0, renderEvent = 0, renderError = 0;
  const bool render =
      XQueryExtension(guard.display, "RENDER", &renderOpcode, &renderEvent, &renderError);
  guard.errors = {{{BadWindow},
                   {BadPixmap},
                   {BadDrawable},
                   {BadGC},
                   {render ? renderError + kRenderBadPicture : -1}}};
  for (HookedError& hooked : guard.errors) {
    if (hooked.code >= 0) {
      hooked.previous = XESetWireToError(guard.display, hooked.code, &onWireError);
    }
  }
  guard.previousDestroyNotify = XESetWireToEvent(guard.display, DestroyNotify, &onWireEvent);
}

LostWindowErrorsX11::~LostWindowErrorsX11() {
  XESetWireToEvent(guard.display, DestroyNotify, guard.previousDestroyNotify);
  for (const HookedError& hooked : guard.errors) {
    if (hooked.code >= 0) XESetWireToError(guard.display, hooked.code, hooked.previous);
  }
  guard = Guard{};
}

}  // namespace pellarin
