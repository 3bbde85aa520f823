#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
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

// Latin-1 bytes as UTF-8.
std::string latin1ToUtf8(const std::string& latin1) {
  std::string utf8;
  for (const char c : latin1) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      utf8 += c;
    } else {
      utf8 += static_cast<char>(0xC0 | (byte >> 6));
      utf8 += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return utf8;
}

// WM_NAME in its own encoding (Latin-1, UTF-8 or compound text) converted to UTF-8.
bool readWmName(Display* display, Window window, std::string& out) {
  XTextProperty property{};
  if (XGetWMName(display, window, &property) == 0 || property.value == nullptr) return false;
  bool found = false;
  const std::string raw(reinterpret_cast<const char*>(property.value), property.nitems);
  if (property.format != 8) {
    found = false;
  } else if (property.encoding == XA_STRING) {
    out = latin1ToUtf8(raw);
    found = true;
  } else if (property.encoding == XInternAtom(display, "UTF8_STRING", False)) {
    out = raw;
    found = true;
  } else {
    char** list = nullptr;
    int count = 0;
    if (Xutf8TextPropertyToTextList(display, &property, &list, &count) >= Success && count > 0 &&
        list != nullptr) {
      out = list[0];
      found = true;
    }
    if (list != nullptr) XFreeStringList(list);
  }
  XFree(property.value);
  return found;
}

// True when a window in the trees below `tops` (the tops included) carries exactly this title.
bool titleInTrees(X11Connection& connection, std::vector<Window> pending, std::string_view title) {
  Display* display = connection.display();
  const Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
  const Atom utf8String = XInternAtom(display, "UTF8_STRING", False);

  // Windows may vanish while the tree is walked; their errors are expected.
  X11ErrorTrap trap(connection);
  bool found = false;
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

// X window ids are 29-bit numbers; a larger number names no window.
bool isWindowNumber(WindowId window) {
  return window != 0 && window <= 0x1FFFFFFF;
}

}  // namespace

bool WindowFinderX11::windowWithTitleExists(std::string_view title) {
  Display* display = connection_.display();
  std::vector<Window> roots;
  for (int screen = 0; screen < ScreenCount(display); ++screen) {
    roots.push_back(RootWindow(display, screen));
  }
  return titleInTrees(connection_, std::move(roots), title);
}

bool WindowFinderX11::windowWithTitleExistsInside(WindowId ancestor, std::string_view title) {
  if (!windowExists(ancestor)) return false;
  Display* display = connection_.display();
  X11ErrorTrap trap(connection_);
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  std::vector<Window> inside;
  if (XQueryTree(display, static_cast<Window>(ancestor), &root, &parent, &children, &count) != 0 &&
      children != nullptr) {
    inside.assign(children, children + count);
  }
  if (children != nullptr) XFree(children);
  trap.pop();
  return titleInTrees(connection_, std::move(inside), title);
}

bool WindowFinderX11::windowExists(WindowId window) {
  if (!isWindowNumber(window)) return false;
  X11ErrorTrap trap(connection_);
  XWindowAttributes attributes{};
  const bool found =
      XGetWindowAttributes(connection_.display(), static_cast<Window>(window), &attributes) != 0;
  return trap.pop() && found;
}

WindowId WindowFinderX11::rootWindow() {
  return DefaultRootWindow(connection_.display());
}

void setWindowTitleX11(Display* display, Window window, std::string_view title) {
  const std::string text(title);
  const Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
  const Atom utf8String = XInternAtom(display, "UTF8_STRING", False);
  XChangeProperty(display, window, netWmName, utf8String, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(text.data()),
                  static_cast<int>(text.size()));
  // WM_NAME as plain text when the title is ASCII, else as compound text, which every reader
  // of WM_NAME understands; UTF-8 when Xlib cannot convert in this locale.
  const bool ascii = std::all_of(text.begin(), text.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  XTextProperty property{};
  char* list[] = {const_cast<char*>(text.c_str())};
  if (ascii) {
    XStoreName(display, window, text.c_str());
  } else if (Xutf8TextListToTextProperty(display, list, 1, XCompoundTextStyle, &property) ==
                 Success &&
             property.value != nullptr) {
    XSetWMName(display, window, &property);
    XFree(property.value);
  } else {
    if (property.value != nullptr) XFree(property.value);
    XChangeProperty(display, window, XA_WM_NAME, utf8String, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(text.data()),
                    static_cast<int>(text.size()));
  }
}

}  // namespace pellarin
