// The host's X11 adapters against a real X server, with the test's own connection playing the
// other programs on the display.

// gtest first: the X11 headers define macros (None, Bool) that clash with it.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gtk/gtk.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "host/assets/built_in_pictures.h"
#include "host/core/preview_window_x11.h"
#include "host/core/x11_adapters.h"
#include "host/core/x11_connection_gtk.h"

namespace pellarin {
namespace {

// Runs the host side's event loop until done() or the time is up.
template <typename Done>
bool pumpUntil(Done done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    if (done()) return true;
    g_usleep(5000);
  }
  return done();
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

  // A window of another program, optionally titled through one property only.
  Window otherWindow(Window parent, int width, int height, bool map) {
    const Window window = XCreateSimpleWindow(other_, parent, 0, 0, static_cast<unsigned>(width),
                                              static_cast<unsigned>(height), 0, 0, 0);
    if (map) XMapWindow(other_, window);
    XSync(other_, False);
    return window;
  }
  void setLatin1Name(Window window, const char* title) {
    XStoreName(other_, window, title);
    XSync(other_, False);
  }
  void setUtf8Name(Window window, const std::string& title) {
    XChangeProperty(other_, window, XInternAtom(other_, "_NET_WM_NAME", False),
                    XInternAtom(other_, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()),
                    static_cast<int>(title.size()));
    XSync(other_, False);
  }

  std::unique_ptr<X11Connection> connection_;
  Display* other_ = nullptr;
};

TEST_F(X11AdaptersTest, FindsTitlesOnHiddenAndNestedWindowsThroughEitherProperty) {
  WindowFinderX11 finder(*connection_);
  const Window root = DefaultRootWindow(other_);
  EXPECT_FALSE(finder.windowWithTitleExists("Quorvane_VC"));

  const Window hidden = otherWindow(root, 10, 10, false);
  setLatin1Name(hidden, "Quorvane_VC");
  EXPECT_TRUE(finder.windowWithTitleExists("Quorvane_VC"));
  EXPECT_FALSE(finder.windowWithTitleExists("Quorvane_V"));
  EXPECT_FALSE(finder.windowWithTitleExists("Quorvane_VC "));

  const Window frame = otherWindow(root, 50, 50, true);
  const Window nested = otherWindow(frame, 10, 10, true);
  setUtf8Name(nested, "■Pellarin■");
  EXPECT_TRUE(finder.windowWithTitleExists("■Pellarin■"));

  XDestroyWindow(other_, hidden);
  XDestroyWindow(other_, frame);
  XSync(other_, False);
  EXPECT_FALSE(finder.windowWithTitleExists("Quorvane_VC"));
  EXPECT_FALSE(finder.windowWithTitleExists("■Pellarin■"));
}

TEST_F(X11AdaptersTest, TheRunModeWindowIsFoundWhileItLivesAndNeverMapped) {
  WindowFinderX11 finder(*connection_);
  {
    TitledHiddenWindowX11 window(*connection_, "Quorvane_Main");
    EXPECT_TRUE(finder.windowWithTitleExists("Quorvane_Main"));
    XWindowAttributes attributes{};
    ASSERT_NE(XGetWindowAttributes(other_, window.window(), &attributes), 0);
    EXPECT_EQ(attributes.map_state, IsUnmapped);
    // Programs that read only WM_NAME see the title too.
    char* name = nullptr;
    ASSERT_NE(XFetchName(other_, window.window(), &name), 0);
    EXPECT_STREQ(name, "Quorvane_Main");
    XFree(name);
  }
  EXPECT_FALSE(finder.windowWithTitleExists("Quorvane_Main"));

  // A title outside Latin-1 still reaches WM_NAME, as compound text or, where Xlib cannot
  // convert in this locale, as UTF-8.
  TitledHiddenWindowX11 dialog(*connection_, "■Pellarin■");
  XTextProperty property{};
  ASSERT_NE(XGetWMName(other_, dialog.window(), &property), 0);
  std::string title;
  if (property.encoding == XInternAtom(other_, "UTF8_STRING", False)) {
    title.assign(reinterpret_cast<const char*>(property.value), property.nitems);
  } else {
    EXPECT_EQ(property.encoding, XInternAtom(other_, "COMPOUND_TEXT", False));
    char** list = nullptr;
    int count = 0;
    ASSERT_GE(Xutf8TextPropertyToTextList(other_, &property, &list, &count), Success);
    ASSERT_GE(count, 1);
    title = list[0];
    XFreeStringList(list);
  }
  XFree(property.value);
  EXPECT_EQ(title, "■Pellarin■");
  // Only WM_NAME: the finder still matches.
  XDeleteProperty(other_, dialog.window(), XInternAtom(other_, "_NET_WM_NAME", False));
  XSync(other_, False);
  EXPECT_TRUE(finder.windowWithTitleExists("■Pellarin■"));
}

TEST_F(X11AdaptersTest, ScreenSizeIsTheVirtualScreens) {
  ScreenMetricsX11 metrics(*connection_);
  const ScreenSize size = metrics.primaryScreenSize();
  EXPECT_EQ(size.width, DisplayWidth(other_, DefaultScreen(other_)));
  EXPECT_EQ(size.height, DisplayHeight(other_, DefaultScreen(other_)));
  // The size this test's server was started with.
  EXPECT_EQ(size.width, 800);
  EXPECT_EQ(size.height, 600);
}

std::uint32_t pixelAt(Display* display, Window window, int x, int y) {
  XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
  if (image == nullptr) return 0xDEADBEEF;
  const auto pixel = static_cast<std::uint32_t>(XGetPixel(image, 0, 0));
  XDestroyImage(image);
  return pixel & 0xFFFFFF;
}

TEST_F(X11AdaptersTest, PreviewFillsItsParentWithThePictureTopLeftOnBlack) {
  const Window parent = otherWindow(DefaultRootWindow(other_), 200, 150, true);
  bool parentGone = false;
  PreviewWindowX11 preview(*connection_, assets::previewPicture());
  ASSERT_TRUE(preview.attach(static_cast<std::uint32_t>(parent), [&] { parentGone = true; }));

  Window root = 0;
  Window parentOfChild = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  ASSERT_NE(XQueryTree(other_, parent, &root, &parentOfChild, &children, &count), 0);
  ASSERT_EQ(count, 1u);
  EXPECT_EQ(children[0], preview.window());
  XFree(children);
  XWindowAttributes attributes{};
  ASSERT_NE(XGetWindowAttributes(other_, preview.window(), &attributes), 0);
  EXPECT_EQ(attributes.x, 0);
  EXPECT_EQ(attributes.y, 0);
  EXPECT_EQ(attributes.width, 200);
  EXPECT_EQ(attributes.height, 150);
  EXPECT_EQ(attributes.map_state, IsViewable);

  // The picture, unscaled, then black beyond its 152 x 112 pixels.
  const PictureView picture = assets::previewPicture();
  std::size_t brightest = 0;
  for (std::size_t i = 0; i + 2 < picture.rgb.size(); i += 3) {
    if (picture.rgb[i] + picture.rgb[i + 1] + picture.rgb[i + 2] >
        picture.rgb[brightest] + picture.rgb[brightest + 1] + picture.rgb[brightest + 2]) {
      brightest = i;
    }
  }
  const int bx = static_cast<int>(brightest / 3) % picture.width;
  const int by = static_cast<int>(brightest / 3) / picture.width;
  const std::uint32_t expected = static_cast<std::uint32_t>(picture.rgb[brightest]) << 16 |
                                 static_cast<std::uint32_t>(picture.rgb[brightest + 1]) << 8 |
                                 picture.rgb[brightest + 2];
  ASSERT_NE(expected, 0u);
  EXPECT_TRUE(pumpUntil([&] { return pixelAt(other_, preview.window(), bx, by) == expected; }));
  EXPECT_EQ(pixelAt(other_, preview.window(), 199, 149), 0u);
  EXPECT_EQ(pixelAt(other_, preview.window(), 152, 0), 0u);
  EXPECT_EQ(pixelAt(other_, preview.window(), 0, 112), 0u);

  // A parent that grows keeps being filled.
  XResizeWindow(other_, parent, 300, 220);
  XSync(other_, False);
  EXPECT_TRUE(pumpUntil([&] {
    XWindowAttributes now{};
    return XGetWindowAttributes(other_, preview.window(), &now) != 0 && now.width == 300 &&
           now.height == 220;
  }));

  EXPECT_FALSE(parentGone);
  XDestroyWindow(other_, parent);
  XSync(other_, False);
  EXPECT_TRUE(pumpUntil([&] { return parentGone; }));
}

TEST_F(X11AdaptersTest, APreviewNumberNamingNoWindowFailsCleanly) {
  PreviewWindowX11 preview(*connection_, assets::previewPicture());
  EXPECT_FALSE(preview.attach(0, [] {}));
  const Window gone = otherWindow(DefaultRootWindow(other_), 10, 10, false);
  XDestroyWindow(other_, gone);
  XSync(other_, False);
  PreviewWindowX11 late(*connection_, assets::previewPicture());
  EXPECT_FALSE(late.attach(static_cast<std::uint32_t>(gone), [] {}));
  EXPECT_FALSE(late.attach(0x7FFFFFFFu, [] {}));
  // The connection is still usable afterwards.
  WindowFinderX11 finder(*connection_);
  EXPECT_FALSE(finder.windowWithTitleExists("Preview Window"));
}

}  // namespace
}  // namespace pellarin
