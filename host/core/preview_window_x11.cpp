#include "host/core/preview_window_x11.h"

#include <X11/Xutil.h>

#include <bit>

#include "common/debug_log.h"
#include "host/core/host_texts.h"
#include "host/core/x11_adapters.h"

namespace pellarin {

namespace {

// Places an 8-bit channel value under a visual's channel mask.
std::uint32_t toMask(std::uint8_t value, unsigned long mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::popcount(mask);
  const std::uint32_t scaled = bits >= 8 ? static_cast<std::uint32_t>(value) << (bits - 8)
                                         : static_cast<std::uint32_t>(value) >> (8 - bits);
  return static_cast<std::uint32_t>((static_cast<unsigned long>(scaled) << shift) & mask);
}

}  // namespace

PreviewWindowX11::PreviewWindowX11(X11Connection& connection, PictureView picture)
    : connection_(connection), picture_(picture) {}

PreviewWindowX11::~PreviewWindowX11() {
  if (image_ != nullptr) {
    image_->data = nullptr;  // the pixels belong to pixels_
    XDestroyImage(image_);
  }
  if (window_ != 0 && !gone_) {
    X11ErrorTrap trap(connection_);
    XDestroyWindow(connection_.display(), window_);
    XSync(connection_.display(), False);
    trap.pop();
  }
}

bool PreviewWindowX11::attach(std::uint32_t parent, std::function<void()> parentGone) {
  Display* display = connection_.display();
  parentGone_ = std::move(parentGone);
  parent_ = parent;

  X11ErrorTrap trap(connection_);
  XWindowAttributes attributes{};
  if (parent == 0 || XGetWindowAttributes(display, parent, &attributes) == 0) {
    trap.pop();
    debugLog("host: preview parent 0x%x names no window\n", parent);
    return false;
  }
  // Hear about the parent's end and size; the child's own events come with it.
  XSelectInput(display, parent, StructureNotifyMask);
  const unsigned long black = BlackPixel(display, DefaultScreen(display));
  window_ = XCreateSimpleWindow(
      display, parent, 0, 0, static_cast<unsigned>(attributes.width > 0 ? attributes.width : 1),
      static_cast<unsigned>(attributes.height > 0 ? attributes.height : 1), 0, black, black);
  setWindowTitleX11(display, window_, kPreviewWindowTitle);
  XSelectInput(display, window_, ExposureMask | StructureNotifyMask);
  XMapWindow(display, window_);
  XSync(display, False);
  if (!trap.pop()) {
    // The parent went away while the child was made.
    debugLog("host: preview parent 0x%x vanished\n", parent);
    if (window_ != 0) {
      X11ErrorTrap cleanup(connection_);
      XDestroyWindow(display, window_);
      XSync(display, False);
      cleanup.pop();
    }
    window_ = 0;
    return false;
  }

  // The picture in the window's visual, drawn as it is on every exposure.
  XWindowAttributes own{};
  XGetWindowAttributes(display, window_, &own);
  if (picture_.width > 0 && picture_.height > 0 && own.visual != nullptr &&
      own.visual->c_class == TrueColor && (own.depth == 24 || own.depth == 32)) {
    pixels_.resize(static_cast<std::size_t>(picture_.width * picture_.height));
    for (std::size_t i = 0; i < pixels_.size(); ++i) {
      const std::uint8_t* rgb = picture_.rgb.data() + i * 3;
      pixels_[i] = toMask(rgb[0], own.visual->red_mask) | toMask(rgb[1], own.visual->green_mask) |
                   toMask(rgb[2], own.visual->blue_mask);
    }
    image_ =
        XCreateImage(display, own.visual, static_cast<unsigned>(own.depth), ZPixmap, 0,
                     reinterpret_cast<char*>(pixels_.data()), static_cast<unsigned>(picture_.width),
                     static_cast<unsigned>(picture_.height), 32, 0);
  }
  connection_.addEventHandler([this](XEvent& event) { return handleEvent(event); });
  draw();
  return true;
}

bool PreviewWindowX11::handleEvent(XEvent& event) {
  if (gone_) return false;
  switch (event.type) {
    case Expose:
      if (event.xexpose.window != window_) return false;
      if (event.xexpose.count == 0) draw();
      return true;
    case ConfigureNotify:
      if (event.xconfigure.window == parent_) {
        // Keep filling the parent when it changes size.
        X11ErrorTrap trap(connection_);
        XResizeWindow(
            connection_.display(), window_,
            static_cast<unsigned>(event.xconfigure.width > 0 ? event.xconfigure.width : 1),
            static_cast<unsigned>(event.xconfigure.height > 0 ? event.xconfigure.height : 1));
        XFlush(connection_.display());
        trap.pop();
        return true;
      }
      return event.xconfigure.window == window_;
    case DestroyNotify:
      if (event.xdestroywindow.window != parent_ && event.xdestroywindow.window != window_) {
        return false;
      }
      gone_ = true;
      if (parentGone_) parentGone_();
      return true;
    default:
      return false;
  }
}

void PreviewWindowX11::draw() {
  if (image_ == nullptr || window_ == 0) return;
  Display* display = connection_.display();
  X11ErrorTrap trap(connection_);
  GC gc = XCreateGC(display, window_, 0, nullptr);
  XPutImage(display, window_, gc, image_, 0, 0, 0, 0, static_cast<unsigned>(picture_.width),
            static_cast<unsigned>(picture_.height));
  XFreeGC(display, gc);
  XFlush(display);
  trap.pop();
}

}  // namespace pellarin
