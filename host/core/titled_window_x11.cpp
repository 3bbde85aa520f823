#include "host/core/x11_adapters.h"

namespace pellarin {

TitledHiddenWindowX11::TitledHiddenWindowX11(X11Connection& connection, std::string_view title)
    : connection_(connection) {
  Display* display = connection_.display();
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  window_ = XCreateWindow(display, DefaultRootWindow(display), -10, -10, 1, 1, 0, CopyFromParent,
                          InputOnly, CopyFromParent, CWOverrideRedirect, &attributes);
  setWindowTitleX11(display, window_, title);
  // Others must find it as soon as it is made: wait until the server has it.
  XSync(display, False);
}

TitledHiddenWindowX11::~TitledHiddenWindowX11() {
  Display* display = connection_.display();
  XDestroyWindow(display, window_);
  XFlush(display);
}

}  // namespace pellarin
