#include <X11/extensions/Xfixes.h>

#include "common/debug_log.h"
#include "host/core/x11_adapters.h"

namespace pellarin {

std::int32_t PointerControlX11::showCursor(bool show) {
  Display* display = connection_.display();
  int eventBase = 0;
  int errorBase = 0;
  const bool haveFixes = XFixesQueryExtension(display, &eventBase, &errorBase) != 0;
  const bool wasVisible = count_ >= 0;
  count_ += show ? 1 : -1;
  const bool visible = count_ >= 0;
  if (!haveFixes) {
    debugLog("host: no XFixes; the pointer stays as it is\n");
  } else if (wasVisible && !visible) {
    XFixesHideCursor(display, DefaultRootWindow(display));
    XFlush(display);
  } else if (!wasVisible && visible) {
    XFixesShowCursor(display, DefaultRootWindow(display));
    XFlush(display);
  }
  return count_;
}

}  // namespace pellarin
