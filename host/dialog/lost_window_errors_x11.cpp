#include "host/dialog/lost_window_errors_x11.h"

#include <X11/Xlib.h>

#include "common/debug_log.h"

namespace pellarin {

namespace {

XErrorHandler previousHandler = nullptr;
unsigned long guardedWindow = 0;

int onXError(Display* display, XErrorEvent* error) {
  const bool aboutGuardedWindow =
      guardedWindow != 0 && error->resourceid == guardedWindow &&
      (error->error_code == BadWindow || error->error_code == BadDrawable);
  if (aboutGuardedWindow) {
    debugLog("dialog: X error %d on the window another program destroyed (request %d)\n",
             error->error_code, error->request_code);
    return 0;
  }
  return previousHandler != nullptr ? previousHandler(display, error) : 0;
}

}  // namespace

LostWindowErrorsX11::LostWindowErrorsX11(unsigned long window) {
  guardedWindow = window;
  previousHandler = XSetErrorHandler(&onXError);
}

LostWindowErrorsX11::~LostWindowErrorsX11() {
  XSetErrorHandler(previousHandler);
  previousHandler = nullptr;
  guardedWindow = 0;
}

}  // namespace pellarin
