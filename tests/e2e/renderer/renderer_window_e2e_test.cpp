// The shipped renderer drawing into a window that another program made, as a screen-saver daemon
// or a preview hands it over: a child of that window at its size, no grab, no hidden pointer,
// and an end on the daemon's signal or with the window.
#include "tests/support/e2e_support.h"  // first: gtest before Xlib

#include <X11/Xutil.h>
#include <signal.h>
#include <stdlib.h>

#include <sstream>
#include <tuple>

namespace pellarin::testing {
namespace {

namespace fs = std::filesystem;
constexpr const char* kTitle = "Quorvane_VC";

std::string hex(unsigned long long value) {
  std::ostringstream text;
  text << "0x" << std::hex << value;
  return text.str();
}

class RendererInWindowTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    ASSERT_NE(display_ = openDisplay(), nullptr);
    fs::create_directories(folder_ / "k_veld_temp");
    ::setenv("XDG_CONFIG_HOME", folder_.c_str(), 1);
    ::setenv("HOME", folder_.c_str(), 1);
    ::setenv("PELLARIN_DEBUG", "1", 1);
    ::unsetenv("XSCREENSAVER_WINDOW");
    // The daemon's window: white, so that what the renderer draws shows.
    parent_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 10, 20, 320, 240, 0, 0,
                                  0xFFFFFF);
    XSelectInput(display_, parent_, StructureNotifyMask);
    XMapWindow(display_, parent_);
    XSync(display_, False);
  }
  void TearDown() override {
    renderer_.reset();
    ::unsetenv("XSCREENSAVER_WINDOW");
    XCloseDisplay(display_);
    TempFolderTest::TearDown();
  }

  // Starts the program with these arguments; the process only, no waiting.
  void launch(const std::vector<std::string>& arguments) {
    renderer_ = std::make_unique<Process>(PELLARIN_BIN_DIR "/Pellarin2.dll", arguments,
                                          folder_ / "stderr.txt");
  }
  // Starts it and waits for its window to show crystals.
  void start(const std::vector<std::string>& arguments) {
    launch(arguments);
    ASSERT_NE(window_ = waitForWindow(display_, kTitle, 20s, true), 0u) << errors();
    ASSERT_TRUE(waitUntil([&] { return showsSomething(display_, window_); })) << errors();
  }
  int exitStatus(std::chrono::milliseconds limit = 20s) {
    return renderer_->waitForExit(limit).value_or(-1);
  }
  std::string errors() { return readFile(folder_ / "stderr.txt"); }
  Window parentOf(Window window) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display_, window, &root, &parent, &children, &count) == 0) return 0;
    if (children != nullptr) XFree(children);
    return parent;
  }
  XWindowAttributes attributesOf(Window window) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(display_, window, &attributes);
    return attributes;
  }
  // Mean column of the lit pixels of the renderer's window; -1 when nothing is lit.
  double litCentreColumn() {
    const XWindowAttributes attributes = attributesOf(window_);
    const std::vector<std::uint32_t> frame =
        pixels(display_, window_, 0, 0, attributes.width, attributes.height);
    double sum = 0;
    long lit = 0;
    for (size_t i = 0; i < frame.size(); ++i) {
      if (frame[i] == 0) continue;
      sum += static_cast<double>(i % static_cast<size_t>(attributes.width));
      ++lit;
    }
    return lit == 0 ? -1.0 : sum / static_cast<double>(lit);
  }

  Display* display_ = nullptr;
  Window parent_ = 0;
  Window window_ = 0;
  std::unique_ptr<Process> renderer_;
};

// Drawn into a child of the given window at its full size, named as the host looks for it, with
// the keyboard and the pointer left to the window's owner.
TEST_F(RendererInWindowTest, DrawsIntoAChildOfTheWindowAndLeavesInputAlone) {
  const struct {
    std::vector<std::string> arguments;
    const char* screenSaverWindow;  // nullptr: unset; "parent": the test's window
    bool inRoot;
  } cases[] = {
      {{"--window-id", hex(parent_)}, nullptr, false},
      {{"-window-id", std::to_string(parent_)}, nullptr, false},
      {{"--root"}, "parent", false},
      {{"-root"}, nullptr, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments[0] + (c.screenSaverWindow ? " with the variable" : ""));
    if (c.screenSaverWindow) ::setenv("XSCREENSAVER_WINDOW", hex(parent_).c_str(), 1);
    start(c.arguments);
    ::unsetenv("XSCREENSAVER_WINDOW");
    const Window expectedParent = c.inRoot ? DefaultRootWindow(display_) : parent_;
    EXPECT_EQ(parentOf(window_), expectedParent);
    const XWindowAttributes mine = attributesOf(window_), given = attributesOf(expectedParent);
    EXPECT_EQ(std::make_tuple(mine.x, mine.y, mine.width, mine.height),
              std::make_tuple(0, 0, given.width, given.height));
    EXPECT_FALSE(mine.override_redirect);
    XClassHint hint{};
    ASSERT_NE(XGetClassHint(display_, window_, &hint), 0);
    EXPECT_EQ(std::string(hint.res_class), kTitle);
    XFree(hint.res_name);
    XFree(hint.res_class);
    // Another client may take the keyboard: the renderer holds no grab.
    EXPECT_EQ(XGrabKeyboard(display_, parent_, False, GrabModeAsync, GrabModeAsync, CurrentTime),
              GrabSuccess);
    XUngrabKeyboard(display_, CurrentTime);
    XWarpPointer(display_, None, window_, 0, 0, 0, 0, 20, 20);
    XSync(display_, False);
    EXPECT_FALSE(pointerBlank(display_)) << "the pointer stays as its owner left it";
    ::kill(renderer_->pid(), SIGTERM);
    EXPECT_EQ(exitStatus(), 0);
    EXPECT_EQ(findWindow(display_, kTitle), 0u);
    EXPECT_EQ(errors().find("X error"), std::string::npos) << errors();
  }
}

// The crystals sit in the middle of whatever size the window has now.
TEST_F(RendererInWindowTest, FollowsTheWindowsSize) {
  start({"--window-id", hex(parent_)});
  ASSERT_TRUE(waitUntil([&] { return litCentreColumn() > 0; }));
  EXPECT_NEAR(litCentreColumn(), 160.0, 60.0);
  const struct { int width, height; } sizes[] = {{640, 240}, {200, 300}, {900, 500}};
  for (const auto& size : sizes) {
    SCOPED_TRACE(std::to_string(size.width) + " x " + std::to_string(size.height));
    XResizeWindow(display_, parent_, static_cast<unsigned>(size.width),
                  static_cast<unsigned>(size.height));
    XSync(display_, False);
    EXPECT_TRUE(waitUntil([&] {
      const XWindowAttributes mine = attributesOf(window_);
      return mine.width == size.width && mine.height == size.height;
    }));
    // Drawn over the whole new area (the old white is gone), centred in it.
    EXPECT_TRUE(waitUntil([&] {
      const double centre = litCentreColumn();
      return centre > size.width / 2.0 - size.width / 5.0 &&
             centre < size.width / 2.0 + size.width / 5.0 &&
             pixelAt(display_, window_, size.width - 1, size.height - 1) == 0;
    })) << litCentreColumn();
  }
  ::kill(renderer_->pid(), SIGTERM);
  EXPECT_EQ(exitStatus(), 0);
}

// The daemon stops a hack with SIGTERM (a user with Ctrl+C: SIGINT); a window that goes away
// takes the renderer with it. Each time the renderer ends cleanly, at once, even when its next
// frame is far off.
TEST_F(RendererInWindowTest, EndsPromptlyOnASignalOrWithTheWindow) {
  const struct {
    const char* delay;
    int signal;  // 0: the window is destroyed instead
  } cases[] = {{"0", SIGTERM}, {"30000000", SIGTERM}, {"30000000", SIGINT}, {"30000000", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.delay) + " us, signal " + std::to_string(c.signal));
    start({"--window-id", hex(parent_), "--delay", c.delay});
    if (c.signal != 0) {
      ::kill(renderer_->pid(), c.signal);
    } else {
      XDestroyWindow(display_, parent_);
      XSync(display_, False);
    }
    EXPECT_EQ(exitStatus(3s), 0) << errors();
    EXPECT_EQ(findWindow(display_, kTitle), 0u);
    if (c.signal == 0) {
      parent_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 10, 20, 320, 240, 0, 0,
                                    0xFFFFFF);
      XMapWindow(display_, parent_);
      XSync(display_, False);
    }
  }
}

// A window id that names no window ends the renderer with 0 and one line on the debug channel,
// and never draws elsewhere: not into a popup, not into a window the number cut to 32 bits
// would name.
TEST_F(RendererInWindowTest, AnIdThatNamesNoWindowEndsItWithOneDebugLine) {
  const XWindowAttributes before = attributesOf(parent_);
  for (const std::string& id :
       {hex(0x1FFFFFF0), std::string("none"), std::string(""), hex(parent_ + 0x100000000ull)}) {
    SCOPED_TRACE(id);
    launch({"--window-id", id});
    EXPECT_EQ(exitStatus(), 0);
    const std::string text = errors();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    EXPECT_EQ(findWindow(display_, kTitle), 0u);
  }
  EXPECT_EQ(pixelAt(display_, parent_, 5, 5), 0xFFFFFFu);
  EXPECT_EQ(attributesOf(parent_).width, before.width);
}

}  // namespace
}  // namespace pellarin::testing
