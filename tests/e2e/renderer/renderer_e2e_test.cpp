// The shipped renderer on a virtual X server, seen from another client the way the host and
// the user meet it: by its window title, its frames, its keyboard and the window system's close
// request.
#include "tests/support/e2e_support.h"  // first: gtest before Xlib

#include <X11/keysym.h>
#include <stdlib.h>

#include <set>
#include <tuple>

namespace pellarin::testing {
namespace {

namespace fs = std::filesystem;
constexpr const char* kTitle = "Quorvane_VC";

class RendererTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    ASSERT_NE(display_ = openDisplay(), nullptr);
    // A white desktop, so the first frame (black) can be told from what lay there before.
    XSetWindowBackground(display_, DefaultRootWindow(display_), 0xFFFFFF);
    XClearWindow(display_, DefaultRootWindow(display_));
    fs::create_directories(folder_ / "k_veld_temp");
    ::setenv("XDG_CONFIG_HOME", folder_.c_str(), 1);
    ::setenv("HOME", folder_.c_str(), 1);
    ::setenv("PELLARIN_DEBUG", "1", 1);
  }
  void TearDown() override {
    renderer_.reset();
    XCloseDisplay(display_);
    TempFolderTest::TearDown();
  }

  // Starts the shipped program; waits for its window and first frame.
  void start(const std::string& width = "", const std::string& height = "") {
    renderer_.reset();
    if (!width.empty())
      put(folder_ / "k_veld_temp" / "Pellarin.ini",
          "[Settings]\r\nWidth=" + width + "\r\nHeight=" + height + "\r\n");
    renderer_ = std::make_unique<Process>(PELLARIN_BIN_DIR "/Pellarin2.dll",
                                          std::vector<std::string>{}, folder_ / "stderr.txt");
    ASSERT_NE(window_ = waitForWindow(display_, kTitle), 0u);
    // The first frame comes after the window is shown and has the keyboard.
    ASSERT_TRUE(waitUntil([&] { return frame(1, 1) == std::vector<std::uint32_t>{0}; }, 20s, 2ms));
    XGetWindowAttributes(display_, window_, &attributes_);
  }
  // The exit status, or -1 when the program did not end in time.
  int exitStatus() { return renderer_->waitForExit(20s).value_or(-1); }
  void tap(KeySym symbol) { pressKey(display_, symbol); }
  // The window's top-left width x height pixels.
  std::vector<std::uint32_t> frame(int width, int height) {
    return pixels(display_, window_, 0, 0, width, height);
  }
  // How many different frames show up in eight looks 150 ms apart.
  size_t distinctFrames() {
    std::set<std::vector<std::uint32_t>> seen;
    for (int i = 0; i < 8; ++i, std::this_thread::sleep_for(150ms))
      seen.insert(frame(attributes_.width, attributes_.height));
    return seen.size();
  }
  std::string errors() { return readFile(folder_ / "stderr.txt"); }

  Display* display_ = nullptr;
  Window window_ = 0;
  XWindowAttributes attributes_{};
  std::unique_ptr<Process> renderer_;
};

// Each run ends another way: Escape or the window manager's close request; both exit with 0.
TEST_F(RendererTest, SizeComesFromTheSettingsFileAndAnyEndingExitsWithZero) {
  const struct {
    const char *width, *height;
    int expectedWidth, expectedHeight;  // what is handed to X: at least 1, at most the screen
    bool close;
  } cases[] = {{" 800", " 600", 800, 600, false}, {" 0", " 0", 1024, 768, true},
               {"-640", "-480", 1024, 768, true}, {" 100000", " 10", 1024, 10, false},
               {" 5", " 70000", 5, 768, false},   {" 100000", " 70000", 1024, 768, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.width) + " x" + c.height);
    start(c.width, c.height);
    EXPECT_EQ(std::make_tuple(attributes_.x, attributes_.y, attributes_.width, attributes_.height),
              std::make_tuple(0, 0, c.expectedWidth, c.expectedHeight));
    c.close ? requestClose(display_, window_) : tap(XK_Escape);
    XFlush(display_);
    EXPECT_EQ(exitStatus(), 0);
    EXPECT_EQ(findWindow(display_, kTitle), 0u);
    EXPECT_EQ(errors().find("X error"), std::string::npos) << errors();
  }
}

// Without a settings file: the whole screen from its corner, above the window manager, with the
// pointer hidden over it until the program ends.
TEST_F(RendererTest, ShowsCrystalsAndSpacePausesThemWhileTheArrowsStillTurnTheCamera) {
  start();
  EXPECT_EQ(std::make_tuple(attributes_.x, attributes_.y, attributes_.width, attributes_.height),
            std::make_tuple(0, 0, 1024, 768));
  EXPECT_TRUE(attributes_.override_redirect);
  XWarpPointer(display_, None, window_, 0, 0, 0, 0, 10, 10);
  XSync(display_, False);
  EXPECT_TRUE(pointerBlank(display_));
  ASSERT_TRUE(waitUntil([&] { return showsSomething(display_, window_); }));
  tap(XK_space);
  std::this_thread::sleep_for(300ms);
  // Paused and with a still camera, frames differ only by the automatic outline switch.
  EXPECT_LE(distinctFrames(), 2u);
  sendKey(display_, XK_Left, true);
  EXPECT_GT(distinctFrames(), 2u) << "the camera turns while paused";
  sendKey(display_, XK_Left, false);
  std::this_thread::sleep_for(300ms);
  EXPECT_LE(distinctFrames(), 2u);
  tap(XK_space);
  EXPECT_GT(distinctFrames(), 2u) << "the crystals move again";
  EXPECT_TRUE(showsSomething(display_, window_));
  tap(XK_Escape);
  EXPECT_EQ(exitStatus(), 0);
  EXPECT_FALSE(pointerBlank(display_)) << "the pointer shows again";
}

// A link in the work folder's place is not followed: the size written behind it is not read, and
// the one debug line says why.
TEST_F(RendererTest, ALinkInTheWorkFoldersPlaceIsNotFollowed) {
  fs::remove_all(folder_ / "k_veld_temp");
  fs::create_directories(folder_ / "elsewhere");
  put(folder_ / "elsewhere" / "Pellarin.ini", "[Settings]\r\nWidth= 800\r\nHeight= 600\r\n");
  fs::create_directory_symlink(folder_ / "elsewhere", folder_ / "k_veld_temp");
  start();
  EXPECT_EQ(std::make_pair(attributes_.width, attributes_.height), std::make_pair(1024, 768));
  tap(XK_Escape);
  EXPECT_EQ(exitStatus(), 0);
  const std::string log = errors();
  std::size_t lines = 0;
  for (std::size_t at = log.find("work folder"); at != std::string::npos;
       at = log.find("work folder", at + 1))
    ++lines;
  EXPECT_EQ(lines, 1u) << log;
}

// The renderer holds the keyboard, so no window manager sees Alt+F4: the renderer closes itself
// on it. Alt+Escape ends it too; with Alt, no other key acts as it does alone.
TEST_F(RendererTest, AltF4AndAltEscapeEndItWhileAltWithAnotherKeyDoesNothing) {
  const auto withAlt = [&](KeySym symbol) {
    sendKey(display_, XK_Alt_L, true);
    pressKey(display_, symbol);
    sendKey(display_, XK_Alt_L, false);
  };
  for (const KeySym ending : {XK_F4, XK_Escape}) {
    SCOPED_TRACE(XKeysymToString(ending));
    start();
    ASSERT_TRUE(waitUntil([&] { return showsSomething(display_, window_); }));
    tap(XK_space);
    std::this_thread::sleep_for(300ms);
    ASSERT_LE(distinctFrames(), 2u);
    withAlt(XK_space);
    EXPECT_LE(distinctFrames(), 2u) << "Alt+Space resumed the crystals";
    // Held, Left repeats; with Alt held too, every repeat is Alt+Left.
    sendKey(display_, XK_Alt_L, true);
    sendKey(display_, XK_Left, true);
    EXPECT_LE(distinctFrames(), 2u) << "Alt+Left turns the camera";
    sendKey(display_, XK_Left, false);
    sendKey(display_, XK_Alt_L, false);
    tap(XK_F4);
    EXPECT_TRUE(renderer_->running()) << "F4 alone ends it";
    withAlt(ending);
    EXPECT_EQ(exitStatus(), 0);
    EXPECT_EQ(findWindow(display_, kTitle), 0u);
  }
}

}  // namespace
}  // namespace pellarin::testing
