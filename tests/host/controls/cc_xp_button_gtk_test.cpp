// The push button in a real GTK window on the test's virtual X server, clicked through XTest:
// what the toolkit delivers for quick successive presses must reach the button as the desktop's
// own press, release and double-click messages.

#include "tests/support/e2e_support.h"  // first: gtest before Xlib

#include <X11/extensions/XTest.h>
#include <gtk/gtk.h>

#include <memory>

#include "host/controls/cc_xp_button_gtk.h"
#include "host/controls/text_painter_pango.h"

namespace pellarin::testing {
namespace {

constexpr Colour kFormBack = 0xE0E0E0;
constexpr int kButtonLeft = 20, kButtonTop = 20;

// Runs GTK's pending work for a while, so that events the X server has queued are handled.
void pumpFor(std::chrono::milliseconds span) {
  const auto end = std::chrono::steady_clock::now() + span;
  while (std::chrono::steady_clock::now() < end) {
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    std::this_thread::sleep_for(2ms);
  }
}

class ButtonOnScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    ASSERT_NE(display_ = openDisplay(), nullptr);
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWidget* fixed = gtk_fixed_new();
    gtk_container_add(GTK_CONTAINER(window_), fixed);
    gtk_window_move(GTK_WINDOW(window_), 0, 0);
    gtk_widget_set_size_request(fixed, 200, 100);
    view_ = std::make_unique<XPButtonGtk>(kFormBack, painter_);
    ccXPButton& button = view_->button();
    button.setSizeTwips(1515, 495);
    PropertyBag properties;
    properties.writeString("Caption", "ｷｬﾝｾﾙ");
    button.loadProperties(properties);
    button.Click = [this] { ++clicks_; };
    button.DblClick = [this] { ++doubleClicks_; };
    gtk_fixed_put(GTK_FIXED(fixed), view_->widget(), kButtonLeft, kButtonTop);
    view_->followForm(GTK_WINDOW(window_));
    gtk_widget_show_all(window_);
    ASSERT_TRUE(waitUntil([&] {
      pumpFor(10ms);
      return gtk_widget_get_mapped(view_->widget());
    }));
    pumpFor(100ms);
  }
  void TearDown() override {
    view_.reset();
    if (window_ != nullptr) gtk_widget_destroy(window_);
    pumpFor(20ms);
    if (display_ != nullptr) XCloseDisplay(display_);
  }

  // Left presses on the button's middle, `gap` apart; GTK sees them once they are all sent.
  void pressTimes(int count, std::chrono::milliseconds gap) {
    int x = 0, y = 0;
    gdk_window_get_origin(gtk_widget_get_window(view_->widget()), &x, &y);
    XTestFakeMotionEvent(display_, -1, x + 50, y + 16, 0);
    XSync(display_, False);
    pumpFor(100ms);
    for (int i = 0; i < count; ++i) {
      if (i > 0) pumpFor(gap);
      for (bool down : {true, false}) {
        XTestFakeButtonEvent(display_, 1, down, 0);
        XSync(display_, False);
      }
    }
    pumpFor(300ms);
  }

  Display* display_ = nullptr;
  GtkWidget* window_ = nullptr;
  PangoTextPainter painter_;
  std::unique_ptr<XPButtonGtk> view_;
  int clicks_ = 0, doubleClicks_ = 0;
};

TEST_F(ButtonOnScreenTest, QuickPressesGiveClicksAndDoubleClicksAsOnTheDesktop) {
  // Presses, the time between them, and the Click and DblClick events they raise. The desktop
  // pairs presses: the second of a pair is a double click and raises no Click of its own.
  struct Case {
    int presses;
    std::chrono::milliseconds gap;
    int clicks, doubleClicks;
  };
  const Case cases[] = {{1, 0ms, 1, 0}, {2, 20ms, 1, 1}, {3, 20ms, 2, 1}, {2, 900ms, 2, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.presses << " presses " << c.gap.count() << " ms apart");
    clicks_ = doubleClicks_ = 0;
    pressTimes(c.presses, c.gap);
    EXPECT_EQ(clicks_, c.clicks);
    EXPECT_EQ(doubleClicks_, c.doubleClicks);
    pumpFor(900ms);  // the next case starts a new series
  }
}

}  // namespace
}  // namespace pellarin::testing
