#include <X11/extensions/Xrandr.h>

#include "host/core/x11_adapters.h"

namespace pellarin {

ScreenSize ScreenMetricsX11::primaryScreenSize() {
  Display* display = connection_.display();
  const Window root = DefaultRootWindow(display);
  ScreenSize size{DisplayWidth(display, DefaultScreen(display)),
                  DisplayHeight(display, DefaultScreen(display))};

  int eventBase = 0;
  int errorBase = 0;
  if (XRRQueryExtension(display, &eventBase, &errorBase) == 0) return size;
  X11ErrorTrap trap(connection_);
  const RROutput primary = XRRGetOutputPrimary(display, root);
  XRRScreenResources* resources =
      primary != None ? XRRGetScreenResourcesCurrent(display, root) : nullptr;
  if (resources != nullptr) {
    XRROutputInfo* output = XRRGetOutputInfo(display, resources, primary);
    if (output != nullptr && output->crtc != None) {
      XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, resources, output->crtc);
      if (crtc != nullptr && crtc->width > 0 && crtc->height > 0) {
        size = {static_cast<std::int32_t>(crtc->width), static_cast<std::int32_t>(crtc->height)};
      }
      if (crtc != nullptr) XRRFreeCrtcInfo(crtc);
    }
    if (output != nullptr) XRRFreeOutputInfo(output);
    XRRFreeScreenResources(resources);
  }
  trap.pop();
  return size;
}

}  // namespace pellarin
