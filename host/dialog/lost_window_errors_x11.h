#pragma once
// Another program may destroy the dialog's window under us (a window manager's kill, a tool's
// window close). GTK's next requests on it then fail with BadWindow or BadDrawable, and GDK takes
// any error it did not expect for a fault of ours and ends the process with status 1 before the
// destruction has even reached the dialog. While a guard lives, those two errors about its window
// are expected and only logged; every other error goes on to the handler installed before.
//
// Implements: one guarded window at a time, on the Xlib connection GDK uses. Missing: other GDK
// backends (nothing to guard there).

namespace pellarin {

class LostWindowErrorsX11 {
 public:
  explicit LostWindowErrorsX11(unsigned long window);
  ~LostWindowErrorsX11();
  LostWindowErrorsX11(const LostWindowErrorsX11&) = delete;
  LostWindowErrorsX11& operator=(const LostWindowErrorsX11&) = delete;
};

}  // namespace pellarin
