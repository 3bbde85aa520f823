// The host's X11 adapters against a real X server, with the test's own connection playing the
// other programs on the display.

#include "tests/support/e2e_support.h"  // first: gtest before Xlib

#include <X11/Xutil.h>
#include <gtk/gtk.h>

#include <chrono>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "host/assets/built_in_pictures.h"
#include "host/core/preview_window_x11.h"
#include "host/core/x11_adapters.h"
#include "host/core/x11_connection_gtk.h"

namespace pellarin {
namespace {

using testing::pixelAt;

// Runs the host side's event loop until done() or five seconds are up.
template <typename Done>
bool pumpUntil(Done done) {
  return testing::waitUntil(
      [&] {
        while (g_main_context_iteration(nullptr, FALSE)) continue;
        return done();
      },
      std::chrono::seconds(5), std::chrono::milliseconds(5));
}

class X11AdaptersTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(gtk_init_check(nullptr, nullptr)); }
  void SetUp() override {
    connection_ = connectThroughGdk();
    ASSERT_NE(connection_, nullptr);
    other_ = XOpenDisplay(nullptr);
    ASSERT_NE(other_, nullptr);
  }
  void TearDown() override {
    if (other_ != nullptr) XCloseDisplay(other_);
  }
  // A window of another program.
  Window otherWindow(Window parent, int width, int height, bool map) {
    const Window window = XCreateSimpleWindow(other_, parent, 0, 0, static_cast<unsigned>(width),
                                              static_cast<unsigned>(height), 0, 0, 0);
    if (map) XMapWindow(other_, window);
    XSync(other_, False);
    return window;
  }

  std::unique_ptr<X11Connection> connection_;
  Display* other_ = nullptr;
};

// The titled windows below are found through WM_NAME alone; this one through _NET_WM_NAME
// alone, one level down as under a window manager's frame.
TEST_F(X11AdaptersTest, FindsExactTitlesOnNestedWindows) {
  WindowFinderX11 finder(*connection_);
  const Window frame = otherWindow(DefaultRootWindow(other_), 50, 50, true);
  const Window nested = otherWindow(frame, 10, 10, true);
  const std::string utf8 = "■Pellarin■";
  XChangeProperty(other_, nested, XInternAtom(other_, "_NET_WM_NAME", False),
                  XInternAtom(other_, "UTF8_STRING", False), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(utf8.data()),
                  static_cast<int>(utf8.size()));
  XSync(other_, False);
  EXPECT_TRUE(finder.windowWithTitleExists(utf8));
  EXPECT_FALSE(finder.windowWithTitleExists("■Pellarin"));
  EXPECT_FALSE(finder.windowWithTitleExists(utf8 + " "));
}

// Window mode looks for its own renderer only inside the window it was given.
TEST_F(X11AdaptersTest, FindsTitlesInsideOneWindowAndTellsWhichWindowsExist) {
  WindowFinderX11 finder(*connection_);
  const Window root = DefaultRootWindow(other_);
  EXPECT_EQ(finder.rootWindow(), root);
  const Window mine = otherWindow(root, 80, 60, true);
  const Window theirs = otherWindow(root, 80, 60, true);
  const Window nested = otherWindow(otherWindow(mine, 40, 30, true), 20, 10, false);
  XStoreName(other_, nested, "Quorvane_VC");
  XStoreName(other_, mine, "Quorvane_VC");  // the given window's own title does not count
  XSync(other_, False);
  EXPECT_TRUE(finder.windowWithTitleExistsInside(mine, "Quorvane_VC"));
  EXPECT_FALSE(finder.windowWithTitleExistsInside(theirs, "Quorvane_VC"));
  EXPECT_FALSE(finder.windowWithTitleExistsInside(nested, "Quorvane_VC"));
  EXPECT_TRUE(finder.windowWithTitleExistsInside(root, "Quorvane_VC"));

  EXPECT_TRUE(finder.windowExists(mine));
  XDestroyWindow(other_, mine);
  XSync(other_, False);
  for (const WindowId gone : {WindowId{mine}, WindowId{0}, WindowId{0x100000000}}) {
    EXPECT_FALSE(finder.windowExists(gone)) << gone;
    EXPECT_FALSE(finder.windowWithTitleExistsInside(gone, "Quorvane_VC")) << gone;
  }
  EXPECT_TRUE(finder.windowExists(theirs));  // the connection survived the errors
}

TEST_F(X11AdaptersTest, TitledWindowsAreUnmappedAndReadableByEveryWmNameReader) {
  WindowFinderX11 finder(*connection_);
  for (const std::string title : {"Quorvane_Main", "■Pellarin■"}) {
    SCOPED_TRACE(title);
    {
      TitledHiddenWindowX11 window(*connection_, title);
      XWindowAttributes attributes{};
      ASSERT_NE(XGetWindowAttributes(other_, window.window(), &attributes), 0);
      EXPECT_EQ(attributes.map_state, IsUnmapped);
      // WM_NAME alone carries the title, as STRING, compound text or UTF-8, whatever the locale.
      XDeleteProperty(other_, window.window(), XInternAtom(other_, "_NET_WM_NAME", False));
      XTextProperty property{};
      ASSERT_NE(XGetWMName(other_, window.window(), &property), 0);
      char** list = nullptr;
      int count = 0;
      ASSERT_GE(Xutf8TextPropertyToTextList(other_, &property, &list, &count), Success);
      ASSERT_GE(count, 1);
      EXPECT_EQ(std::string(list[0]), title);
      XFreeStringList(list);
      XFree(property.value);
      EXPECT_TRUE(finder.windowWithTitleExists(title));
    }
    EXPECT_FALSE(finder.windowWithTitleExists(title));
  }
}

TEST_F(X11AdaptersTest, PreviewFillsItsParentWithThePictureTopLeftOnBlack) {
  const Window parent = otherWindow(DefaultRootWindow(other_), 200, 150, true);
  const PictureView picture = assets::previewPicture();
  PreviewWindowX11 preview(*connection_, picture);
  ASSERT_TRUE(preview.attach(static_cast<std::uint32_t>(parent), [] {}));
  XWindowAttributes attributes{};
  ASSERT_NE(XGetWindowAttributes(other_, preview.window(), &attributes), 0);
  Window root = 0, up = 0, *children = nullptr;
  unsigned int count = 0;
  ASSERT_NE(XQueryTree(other_, preview.window(), &root, &up, &children, &count), 0);
  if (children != nullptr) XFree(children);
  EXPECT_EQ(up, parent);
  EXPECT_EQ(std::tie(attributes.x, attributes.y, attributes.width, attributes.height),
            std::make_tuple(0, 0, 200, 150));
  EXPECT_EQ(attributes.map_state, IsViewable);

  // The picture shows unscaled, pixel for pixel; black lies beyond its 152 x 112 pixels.
  std::vector<std::uint32_t> expected;
  for (std::size_t i = 0; i + 2 < picture.rgb.size(); i += 3) {
    expected.push_back(std::uint32_t{picture.rgb[i]} << 16 | picture.rgb[i + 1] << 8 |
                       picture.rgb[i + 2]);
  }
  EXPECT_TRUE(pumpUntil(
      [&] { return testing::pixels(other_, preview.window(), 0, 0, 152, 112) == expected; }));
  EXPECT_EQ(pixelAt(other_, preview.window(), 152, 0), 0u);
  EXPECT_EQ(pixelAt(other_, preview.window(), 0, 112), 0u);

  XResizeWindow(other_, parent, 300, 220);  // a parent that grows keeps being filled
  XSync(other_, False);
  EXPECT_TRUE(pumpUntil([&] {
    XWindowAttributes now{};
    return XGetWindowAttributes(other_, preview.window(), &now) != 0 && now.width == 300 &&
           now.height == 220;
  }));

  XDestroyWindow(other_, parent);  // takes the preview with it

  // A number naming no window fails cleanly, leaves no window and the connection usable.
  const Window gone = otherWindow(DefaultRootWindow(other_), 10, 10, false);
  XDestroyWindow(other_, gone);
  XSync(other_, False);
  PreviewWindowX11 late(*connection_, picture);
  EXPECT_FALSE(late.attach(0, [] {}));
  EXPECT_FALSE(late.attach(static_cast<std::uint32_t>(gone), [] {}));
  EXPECT_FALSE(WindowFinderX11(*connection_).windowWithTitleExists("Preview Window"));
}

}  // namespace
}  // namespace pellarin
