// The guard against X errors about the dialog's window, on the test's virtual X server with GTK's
// own error handling in place: another program destroys the window while GTK's requests on it
// and on what it makes from it are still on their way.

#include "tests/support/e2e_support.h"  // first: gtest before Xlib

#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <functional>

#include "host/dialog/lost_window_errors_x11.h"

namespace pellarin::testing {
namespace {

class LostWindowErrorsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // A child that starts afresh has a connection of its own, not a copy of this one.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
  }

  void SetUp() override {
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_widget_show_all(window_);
    gdkWindow_ = gtk_widget_get_window(window_);
    ASSERT_TRUE(gdkWindow_ != nullptr && GDK_IS_X11_WINDOW(gdkWindow_));
    gdkDisplay_ = gdk_window_get_display(gdkWindow_);
    display_ = gdk_x11_display_get_xdisplay(gdkDisplay_);
    xid_ = gdk_x11_window_get_xid(gdkWindow_);
    // Not openDisplay(): its error handler would stand in for GDK's in this process.
    other_ = XOpenDisplay(nullptr);
    ASSERT_NE(other_, nullptr);
    // Ids that no longer name anything: a window and a pixmap of the other program, both freed.
    staleWindow_ = XCreateSimpleWindow(other_, DefaultRootWindow(other_), 0, 0, 8, 8, 0, 0, 0);
    stalePixmap_ = XCreatePixmap(other_, DefaultRootWindow(other_), 8, 8, 24);
    XDestroyWindow(other_, staleWindow_);
    XFreePixmap(other_, stalePixmap_);
    XSync(other_, False);
    rootGc_ = XCreateGC(display_, DefaultRootWindow(display_), 0, nullptr);
  }

  void TearDown() override {
    if (rootGc_ != nullptr) XFreeGC(display_, rootGc_);
    if (other_ != nullptr) XCloseDisplay(other_);
  }

  // The error code GDK's trap records for the requests; 0 for none.
  int trapped(const std::function<void()>& requests) {
    gdk_x11_display_error_trap_push(gdkDisplay_);
    requests();
    return gdk_x11_display_error_trap_pop(gdkDisplay_);
  }

  // Another program destroys the window; GTK, not yet told, goes on drawing: a pixmap from the
  // window, a GC and a fill on it, both freed again, and the window mapped. Then the replies
  // come in, first while GDK traps a request of its own and then without a trap.
  void loseTheWindowWhileDrawing() {
    XDestroyWindow(other_, xid_);
    XSync(other_, False);
    Pixmap pixmap = XCreatePixmap(display_, xid_, 8, 8, 24);
    GC gc = XCreateGC(display_, pixmap, 0, nullptr);
    XFillRectangle(display_, pixmap, gc, 0, 0, 8, 8);
    XFreeGC(display_, gc);
    XFreePixmap(display_, pixmap);
    XMapWindow(display_, xid_);
    EXPECT_EQ(trapped([&] { XGetInputFocus(display_, &focus_, &revert_); }), 0);
    XMapWindow(display_, xid_);
    XSync(display_, False);
  }

  GtkWidget* window_ = nullptr;
  GdkWindow* gdkWindow_ = nullptr;
  GdkDisplay* gdkDisplay_ = nullptr;
  Display* display_ = nullptr;
  Display* other_ = nullptr;
  Window xid_ = 0;
  Window staleWindow_ = 0;
  Pixmap stalePixmap_ = 0;
  GC rootGc_ = nullptr;
  Window focus_ = 0;
  int revert_ = 0;
};

TEST_F(LostWindowErrorsTest, ALostWindowAndWhatWasMadeFromItEndNothing) {
  EXPECT_EXIT(
      {
        LostWindowErrorsX11 guard(gdkWindow_);
        loseTheWindowWhileDrawing();
        // No leak check in the child: it ends where the program would go on.
        ::_exit(::testing::Test::HasFailure() ? 2 : 0);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(LostWindowErrorsTest, OtherErrorsStillReachTheToolkit) {
  const struct {
    const char* what;
    std::function<void()> request;
    int error;
  } cases[] = {
      {"a window that is gone", [&] { XMapWindow(display_, staleWindow_); }, BadWindow},
      {"a pixmap that is gone", [&] { XFreePixmap(display_, stalePixmap_); }, BadPixmap},
      {"a drawable that is gone",
       [&] { XFillRectangle(display_, stalePixmap_, rootGc_, 0, 0, 8, 8); }, BadDrawable},
  };
  {
    LostWindowErrorsX11 guard(gdkWindow_);
    for (const auto& c : cases) EXPECT_EQ(trapped(c.request), c.error) << c.what << ", guarded";
  }
  // Once the guard is gone, even errors about its window are GDK's again.
  XDestroyWindow(other_, xid_);
  XSync(other_, False);
  EXPECT_EQ(trapped([&] { XMapWindow(display_, xid_); }), BadWindow) << "after the guard";
  for (const auto& c : cases) EXPECT_EQ(trapped(c.request), c.error) << c.what << ", unguarded";
}

}  // namespace
}  // namespace pellarin::testing
