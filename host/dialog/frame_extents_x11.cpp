#include "host/dialog/frame_extents_x11.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/gdkx.h>

#include <optional>
#include <thread>

#include "common/debug_log.h"

namespace pellarin {

namespace {

std::optional<FrameExtents> readFrameExtents(GdkDisplay* gdkDisplay, Window window, Atom atom) {
  Display* display = GDK_DISPLAY_XDISPLAY(gdkDisplay);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  gdk_x11_display_error_trap_push(gdkDisplay);
  const int status = XGetWindowProperty(display, window, atom, 0, 4, False, XA_CARDINAL, &type,
                                        &format, &count, &after, &data);
  const bool failed = gdk_x11_display_error_trap_pop(gdkDisplay) != 0 || status != Success;
  std::optional<FrameExtents> extents;
  if (!failed && type == XA_CARDINAL && format == 32 && count == 4 && data != nullptr) {
    // Format 32 properties come back as longs.
    const auto* values = reinterpret_cast<const long*>(data);
    extents = FrameExtents{static_cast<int>(values[0]), static_cast<int>(values[1]),
                           static_cast<int>(values[2]), static_cast<int>(values[3])};
  }
  if (data != nullptr) XFree(data);
  return extents;
}

}  // namespace

FrameExtents windowFrameExtents(GdkWindow* gdkWindow, std::chrono::milliseconds limit) {
  GdkDisplay* gdkDisplay = gdk_window_get_display(gdkWindow);
  if (!GDK_IS_X11_DISPLAY(gdkDisplay)) return {};
  const Window window = GDK_WINDOW_XID(gdkWindow);
  const Atom extentsAtom = gdk_x11_get_xatom_by_name_for_display(gdkDisplay, "_NET_FRAME_EXTENTS");
  if (const std::optional<FrameExtents> known = readFrameExtents(gdkDisplay, window, extentsAtom)) {
    return *known;
  }
  if (!gdk_x11_screen_supports_net_wm_hint(
          gdk_window_get_screen(gdkWindow),
          gdk_atom_intern_static_string("_NET_REQUEST_FRAME_EXTENTS"))) {
    return {};
  }
  Display* display = GDK_DISPLAY_XDISPLAY(gdkDisplay);
  XEvent request{};
  request.xclient.type = ClientMessage;
  request.xclient.window = window;
  request.xclient.message_type =
      gdk_x11_get_xatom_by_name_for_display(gdkDisplay, "_NET_REQUEST_FRAME_EXTENTS");
  request.xclient.format = 32;
  XSendEvent(display, DefaultRootWindow(display), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &request);
  XFlush(display);
  // The window manager answers by setting the property; a few round trips at most.
  const auto end = std::chrono::steady_clock::now() + limit;
  do {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (const std::optional<FrameExtents> estimate =
            readFrameExtents(gdkDisplay, window, extentsAtom)) {
      return *estimate;
    }
  } while (std::chrono::steady_clock::now() < end);
  debugLog("dialog: the window manager gave no frame extents\n");
  return {};
}

}  // namespace pellarin
