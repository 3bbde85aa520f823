// A stand-in for the renderer in the host's end-to-end tests. It keeps the renderer's side of
// the contract with the host: "Quorvane_VC" on a window of its own (a child that fills and
// follows the window given with --window-id, else a 200 x 200 top-level window), lit in one
// colour; it ends on SIGTERM or SIGINT, or when its window is destroyed with the given one.
//   PELLARIN_STAND_IN_LOG        a file that gets one line per start: the process number and
//                                the arguments.
//   PELLARIN_STAND_IN_NO_WINDOW  set: never opens a window, as a renderer stuck at its start.

#include <X11/Xlib.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

volatile sig_atomic_t asked = 0;

void onSignal(int) {
  asked = 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (const char* log = std::getenv("PELLARIN_STAND_IN_LOG")) {
    if (std::FILE* file = std::fopen(log, "a")) {
      std::fprintf(file, "%d", static_cast<int>(::getpid()));
      for (int i = 1; i < argc; ++i) std::fprintf(file, " %s", argv[i]);
      std::fprintf(file, "\n");
      std::fclose(file);
    }
  }
  struct sigaction action {};
  action.sa_handler = onSignal;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);

  if (std::getenv("PELLARIN_STAND_IN_NO_WINDOW") != nullptr) {
    while (asked == 0) ::usleep(10000);
    return 0;
  }

  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 0;
  XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  Window parent = DefaultRootWindow(display);
  unsigned width = 200, height = 200;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--window-id") == 0) {
      parent = static_cast<Window>(std::strtoul(argv[i + 1], nullptr, 0));
      XWindowAttributes attributes{};
      if (XGetWindowAttributes(display, parent, &attributes) == 0) return 0;
      width = static_cast<unsigned>(attributes.width);
      height = static_cast<unsigned>(attributes.height);
      XSelectInput(display, parent, StructureNotifyMask);
    }
  }
  XSetWindowAttributes attributes{};
  attributes.background_pixel = 0x2080FF;
  attributes.event_mask = StructureNotifyMask;
  const Window window =
      XCreateWindow(display, parent, 0, 0, width, height, 0, CopyFromParent, InputOutput,
                    CopyFromParent, CWBackPixel | CWEventMask, &attributes);
  XStoreName(display, window, "Quorvane_VC");
  XMapWindow(display, window);
  XFlush(display);

  bool gone = false;
  while (asked == 0 && !gone) {
    while (!gone && XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == DestroyNotify && event.xdestroywindow.window == window) gone = true;
      if (event.type == ConfigureNotify && event.xconfigure.window == parent) {
        XResizeWindow(display, window, static_cast<unsigned>(event.xconfigure.width),
                      static_cast<unsigned>(event.xconfigure.height));
      }
    }
    ::usleep(10000);
  }
  XCloseDisplay(display);
  return 0;
}
