#include "host/core/x11_connection_gtk.h"

#include <gdk/gdk.h>
#include <gdk/gdkx.h>

#include <vector>

namespace pellarin {

namespace {

class GdkX11Connection final : public X11Connection {
 public:
  explicit GdkX11Connection(GdkDisplay* display) : gdkDisplay_(display) {}
  ~GdkX11Connection() override {
    if (filterAdded_) gdk_window_remove_filter(nullptr, &GdkX11Connection::filter, this);
  }

  Display* display() override { return gdk_x11_display_get_xdisplay(gdkDisplay_); }

  void pushErrorTrap() override { gdk_x11_display_error_trap_push(gdkDisplay_); }

  bool popErrorTrap() override { return gdk_x11_display_error_trap_pop(gdkDisplay_) == 0; }

  void addEventHandler(std::function<bool(XEvent&)> handler) override {
    handlers_.push_back(std::move(handler));
    if (!filterAdded_) {
      gdk_window_add_filter(nullptr, &GdkX11Connection::filter, this);
      filterAdded_ = true;
    }
  }

 private:
  static GdkFilterReturn filter(GdkXEvent* raw, GdkEvent*, gpointer self) {
    auto* connection = static_cast<GdkX11Connection*>(self);
    auto* event = static_cast<XEvent*>(raw);
    for (auto& handler : connection->handlers_) {
      if (handler(*event)) return GDK_FILTER_REMOVE;
    }
    return GDK_FILTER_CONTINUE;
  }

  GdkDisplay* gdkDisplay_;
  std::vector<std::function<bool(XEvent&)>> handlers_;
  bool filterAdded_ = false;
};

}  // namespace

std::unique_ptr<X11Connection> connectThroughGdk() {
  GdkDisplay* display = gdk_display_get_default();
  if (display == nullptr || !GDK_IS_X11_DISPLAY(display)) return nullptr;
  return std::make_unique<GdkX11Connection>(display);
}

}  // namespace pellarin
