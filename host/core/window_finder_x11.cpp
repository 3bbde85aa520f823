#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <vector>

#include "host/core/x11_adapters.h"

namespace pellarin {

namespace {

// The raw bytes of a text property, or nothing.
bool readProperty(Display* display, Window window, Atom property, Atom type, std::string& out) {
  Atom actualType = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long remaining = 0;
  unsigned char* data = nullptr;
  const int status = XGetWindowProperty(display, window, property, 0, 1024, False, type,
                                        &actualType, &format, &count, &remaining, &data);
  const bool found = status == Success && data != nullptr && format == 8 &&
                     (type == AnyPropertyType || actualType == type);
  if (found) out.assign(reinterpret_cast<const char*>(data), count);
  if (data != nullptr) XFree(data);
  return found;
}

// WM_NAME in its own encoding (Latin-1 or compound text) converted to UTF-8.
bool readWmName(Display* display, Window window, std::string& out) {
  XTextProperty property{};
  if (XGetWMName(display, window, &property) == 0 || property.value == nullptr) return false;
  char** list = nullptr;
  int count = 0;
  bool found = false;
  if (Xutf8TextPropertyToTextList(display, &property, &list, &count) >= Success && count > 0 &&
      list != nullptr) {
    out = list[0];
    found = true;
  }
  if (list != nullptr) XFreeStringList(list);
  XFree(property.value);
  return found;
}

}  // namespace

bool WindowFinderX11::windowWithTitleExists(std::string_view title) {
  Display* display = connection_.display();
  const Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
  const Atom utf8String = XInternAtom(display, "UTF8_STRING", False);

  // Windows may vanish while the tree is walked; their errors are expected.
  X11ErrorTrap trap(connection_);
  bool found = false;
  std::vector<Window> pending;
  for (int screen = 0; screen < ScreenCount(display); ++screen) {
    pending.push_back(RootWindow(display, screen));
  }
  std::string name;
  while (!pending.empty() && !found) {
    const Window window = pending.back();
    pending.pop_back();
    if ((readProperty(display, window, netWmName, utf8String, name) && name == title) ||
        (readWmName(display, window, name) && name == title)) {
      found = true;
      break;
    }
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count) != 0 &&
        children != nullptr) {
      pending.insert(pending.end(), children, children + count);
    }
    if (children != nullptr) XFree(children);
  }
  trap.pop();
  return found;
}

void setWindowTitleX11(Display* display, Window window, std::string_view title) {
  const std::string text(title);
  const Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
  const Atom utf8String = XInternAtom(display, "UTF8_STRING", False);
  XChangeProperty(display, window, netWmName, utf8String, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(text.data()),
                  static_cast<int>(text.size()));
  // WM_NAME in the form that readers without UTF-8 support understand best.
  char* list[] = {const_cast<char*>(text.c_str())};
  XTextProperty property{};
  if (Xutf8TextListToTextProperty(display, list, 1, XStdICCTextStyle, &property) >= Success) {
    XSetWMName(display, window, &property);
    XFree(property.value);
  }
}

}  // namespace pellarin
