// A stand-in for the renderer in the host's end-to-end tests. It keeps the renderer's side of
// the contract with the host: a lit window titled "Quorvane_VC" (a child filling the window
// given with --window-id, else a top-level one), ended by SIGTERM or SIGINT or with the given
// window. PELLARIN_STAND_IN_LOG names a file that gets one line per start (the process number
// and the arguments); with PELLARIN_STAND_IN_NO_WINDOW set it never opens a window, as a
// renderer stuck at its start.

#include <X11/Xlib.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
volatile sig_atomic_t asked = 0;
}  // namespace

int main(int argc, char** argv) {
  const char* logName = std::getenv("PELLARIN_STAND_IN_LOG");
  if (std::FILE* log = std::fopen(logName != nullptr ? logName : "/dev/null", "a")) {
    std::fprintf(log, "%d", static_cast<int>(::getpid()));
    for (int i = 1; i < argc; ++i) std::fprintf(log, " %s", argv[i]);
    std::fprintf(log, "\n");
    std::fclose(log);
  }
  struct sigaction action {};
  action.sa_handler = [](int) { asked = 1; };
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);

  Display* display = std::getenv("PELLARIN_STAND_IN_NO_WINDOW") ? nullptr : XOpenDisplay(nullptr);
  Window window = 0;
  if (display != nullptr) {
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    Window parent = DefaultRootWindow(display);
    XWindowAttributes size{};
    size.width = size.height = 200;
    for (int i = 1; i + 1 < argc; ++i) {
      if (std::strcmp(argv[i], "--window-id") != 0) continue;
      parent = static_cast<Window>(std::strtoul(argv[i + 1], nullptr, 0));
      if (XGetWindowAttributes(display, parent, &size) == 0) return 0;
    }
    XSetWindowAttributes attributes{};
    attributes.background_pixel = 0x2080FF;
    attributes.event_mask = StructureNotifyMask;
    window = XCreateWindow(display, parent, 0, 0, static_cast<unsigned>(size.width),
                           static_cast<unsigned>(size.height), 0, CopyFromParent, InputOutput,
                           CopyFromParent, CWBackPixel | CWEventMask, &attributes);
    XStoreName(display, window, "Quorvane_VC");
    XMapWindow(display, window);
    XFlush(display);
  }
  for (bool gone = false; asked == 0 && !gone; ::usleep(10000)) {
    while (display != nullptr && !gone && XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      gone = event.type == DestroyNotify && event.xdestroywindow.window == window;
    }
  }
  if (display != nullptr) XCloseDisplay(display);
  return 0;
}
