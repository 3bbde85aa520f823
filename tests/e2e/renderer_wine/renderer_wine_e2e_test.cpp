// The renderer's Windows build under Wine on a virtual X server, seen from the build machine the
// way the host and the user meet it: its window by title and size, its frames, its keys, its
// exit status. Its work folder is the prefix's C:\k_veld_temp; the picture file in it is written
// by Pellarin1.dll under Wine (write_picture.exe), as the host writes it.
#include "tests/support/wine_support.h"  // first: gtest before Xlib

#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <stdlib.h>

#include <fstream>
#include <set>
#include <tuple>

namespace pellarin::testing {
namespace {

namespace fs = std::filesystem;
constexpr const char* kTitle = "Quorvane_VC";
const fs::path kRenderer = PELLARIN_WINDOWS_BIN_DIR "/Pellarin2.dll";
const fs::path kConverter = PELLARIN_WINDOWS_BIN_DIR "/Pellarin1.dll";
const fs::path kWritePicture = PELLARIN_WINE_HELPERS_DIR "/write_picture.exe";
const fs::path kParentWindow = PELLARIN_WINE_HELPERS_DIR "/parent_window.exe";
const fs::path kPostClose = PELLARIN_WINE_HELPERS_DIR "/post_close.exe";

// What every test here shares: one Wine prefix on its X server, and a window manager there (Wine
// waits about 2 s for each window's withdrawal without one).
class WineDesktop : public ::testing::Environment {
 public:
  void SetUp() override {
    prefix_ = std::make_unique<WinePrefix>(PELLARIN_WINE_PREFIX);
    ASSERT_TRUE(prefix_->booted());
    Display* display = openDisplay();
    ASSERT_NE(display, nullptr);
    manager_ =
        std::make_unique<Process>("/usr/bin/openbox", std::vector<std::string>{}, "/dev/null");
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    EXPECT_TRUE(waitUntil([&] {
      Atom type = 0;
      int format = 0;
      unsigned long count = 0, after = 0;
      unsigned char* data = nullptr;
      const bool found =
          XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW,
                             &type, &format, &count, &after, &data) == Success &&
          count == 1;
      if (data != nullptr) XFree(data);
      return found;
    })) << "openbox did not start";
    XCloseDisplay(display);
  }
  void TearDown() override {
    prefix_.reset();
    manager_.reset();
  }
  static const WinePrefix& prefix() { return *prefix_; }

 private:
  static inline std::unique_ptr<WinePrefix> prefix_;
  std::unique_ptr<Process> manager_;
};

// A 64 x 64 bitmap of 24 bits, red on the left half, green on the right: no blue anywhere.
std::string redGreenBitmap() {
  constexpr int kSide = 64;
  const auto le = [](std::uint32_t value, int bytes) {
    std::string text;
    for (int i = 0; i < bytes; ++i) text += static_cast<char>((value >> (8 * i)) & 0xFF);
    return text;
  };
  const std::uint32_t pixelBytes = kSide * kSide * 3;
  std::string file = "BM" + le(54 + pixelBytes, 4) + le(0, 4) + le(54, 4);
  file += le(40, 4) + le(kSide, 4) + le(kSide, 4) + le(1, 2) + le(24, 2) + le(0, 4) +
          le(pixelBytes, 4) + le(2835, 4) + le(2835, 4) + le(0, 4) + le(0, 4);
  for (int row = 0; row < kSide; ++row) {
    for (int column = 0; column < kSide; ++column) {
      // Blue, green, red.
      file += column < kSide / 2 ? std::string("\x00\x00\xC8", 3) : std::string("\x00\xC8\x00", 3);
    }
  }
  return file;
}

// Pixels of a frame (0xRRGGBB) whose channel (16 red, 8 green, 0 blue) is above `threshold`.
long count(const std::vector<std::uint32_t>& frame, int shift, std::uint32_t threshold) {
  return std::count_if(frame.begin(), frame.end(),
                       [&](std::uint32_t pixel) { return ((pixel >> shift) & 0xFF) > threshold; });
}
constexpr int kRed = 16, kGreen = 8, kBlue = 0;

class RendererUnderWine : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    ASSERT_TRUE(WineDesktop::prefix().booted());
    ASSERT_NE(display_ = openDisplay(), nullptr);
    // A white desktop, so the first frame (black) can be told from what lay there before.
    XSetWindowBackground(display_, DefaultRootWindow(display_), 0xFFFFFF);
    XClearWindow(display_, DefaultRootWindow(display_));
    workFolder_ = WineDesktop::prefix().driveC() / "k_veld_temp";
    fs::remove_all(workFolder_);
    ::setenv("PELLARIN_DEBUG", "1", 1);
  }
  void TearDown() override {
    renderer_.reset();
    XCloseDisplay(display_);
    fs::remove_all(workFolder_);
    TempFolderTest::TearDown();
  }

  void writeSettings(const std::string& width, const std::string& height) {
    fs::create_directories(workFolder_);
    put(workFolder_ / "Pellarin.ini",
        "[Settings]\r\nWidth=" + width + "\r\nHeight=" + height + "\r\n");
  }
  // The picture file, as the host writes it: the bitmap converted by Pellarin1.dll.
  void writePicture() {
    put(path("picture.bmp"), redGreenBitmap());
    std::string output;
    ASSERT_EQ(
        WineDesktop::prefix().run(
            kWritePicture, {windowsPath(kConverter), windowsPath(path("picture.bmp"))}, &output),
        0)
        << output;
    ASSERT_TRUE(fs::is_regular_file(workFolder_ / "Pellarin.dat"));
  }

  // Starts the renderer with these arguments, the process only.
  void launch(const std::vector<std::string>& arguments = {}) {
    renderer_ = WineDesktop::prefix().start(kRenderer, arguments, path("stderr.txt"));
  }
  // Starts it; waits for its window, its first frame, and gives it the keyboard.
  void start(const std::vector<std::string>& arguments = {}) {
    launch(arguments);
    ASSERT_NE(window_ = waitForWindow(display_, kTitle, 30s, true), 0u) << errors();
    ASSERT_TRUE(waitUntil([&] { return frame(1, 1) == std::vector<std::uint32_t>{0}; }, 20s, 2ms))
        << errors();
    XGetWindowAttributes(display_, window_, &attributes_);
    // Without a window manager's say, the keyboard follows the pointer: both go to the window.
    XWarpPointer(display_, None, window_, 0, 0, 0, 0, attributes_.width / 2,
                 attributes_.height / 2);
    XSetInputFocus(display_, window_, RevertToPointerRoot, CurrentTime);
    XSync(display_, False);
  }
  // The exit status, or -1 when the program did not end in time.
  int exitStatus() { return renderer_->waitForExit(20s).value_or(-1); }
  std::string errors() { return readFile(path("stderr.txt")); }

  std::vector<std::uint32_t> frame(int width, int height) {
    return pixels(display_, window_, 0, 0, width, height);
  }
  std::vector<std::uint32_t> wholeFrame() { return frame(attributes_.width, attributes_.height); }
  // The frame once it has stayed the same for a few looks; empty when it kept changing.
  std::vector<std::uint32_t> settledFrame() {
    std::vector<std::uint32_t> last = wholeFrame();
    for (int same = 0, looks = 0; looks < 40; ++looks) {
      std::this_thread::sleep_for(150ms);
      std::vector<std::uint32_t> now = wholeFrame();
      if (now == last) {
        if (++same == 3) return now;
      } else {
        same = 0;
        last = std::move(now);
      }
    }
    return {};
  }
  bool changesFrom(const std::vector<std::uint32_t>& before) {
    return waitUntil([&] { return wholeFrame() != before; }, 5s, 50ms);
  }
  // WM_CLOSE posted to the renderer's window by another program.
  void postClose() {
    std::string output;
    EXPECT_EQ(WineDesktop::prefix().run(kPostClose, {kTitle}, &output), 0) << output;
  }
  void tap(KeySym symbol) { pressKey(display_, symbol); }
  void withAlt(KeySym symbol) {
    sendKey(display_, XK_Alt_L, true);
    pressKey(display_, symbol);
    sendKey(display_, XK_Alt_L, false);
  }

  Display* display_ = nullptr;
  fs::path workFolder_;
  Window window_ = 0;
  XWindowAttributes attributes_{};
  std::unique_ptr<Process> renderer_;
};

// The popup at the screen's corner, at the size the host wrote (the defaults without a file or
// for 0; no larger than the screen), with the pointer hidden over it. Escape, the system's close
// key (Alt+F4) and a close posted by another program each end it with 0.
TEST_F(RendererUnderWine, SizeComesFromTheSettingsFileAndEveryEndingExitsWithZero) {
  enum class Ending { Escape, AltF4, PostedClose };
  const struct {
    const char *width, *height;  // nullptr: no settings file
    int expectedWidth, expectedHeight;
    Ending ending;
  } cases[] = {{nullptr, nullptr, 1024, 768, Ending::Escape},
               {" 800", " 600", 800, 600, Ending::AltF4},
               {" 0", " 0", 1024, 768, Ending::PostedClose},
               {" 100000", " 10", 1024, 10, Ending::Escape}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.width ? std::string(c.width) + " x" + c.height : "no settings file");
    fs::remove_all(workFolder_);
    if (c.width) writeSettings(c.width, c.height);
    start();
    EXPECT_EQ(std::make_tuple(attributes_.x, attributes_.y, attributes_.width, attributes_.height),
              std::make_tuple(0, 0, c.expectedWidth, c.expectedHeight));
    EXPECT_TRUE(pointerBlank(display_)) << "the pointer is hidden over the window";
    switch (c.ending) {
      case Ending::Escape:
        tap(XK_Escape);
        break;
      case Ending::AltF4:
        withAlt(XK_F4);
        break;
      case Ending::PostedClose:
        postClose();
        break;
    }
    EXPECT_EQ(exitStatus(), 0) << errors();
    EXPECT_EQ(findWindow(display_, kTitle), 0u);
  }
}

// Without a picture file the crystals glow in the blue of the fallback pattern; with the one
// Pellarin1.dll wrote, in its red and green, and no blue at all.
TEST_F(RendererUnderWine, CrystalsShowThePicturesColoursOrTheBlueFallback) {
  for (const bool picture : {false, true}) {
    SCOPED_TRACE(picture ? "picture file" : "no picture file");
    fs::remove_all(workFolder_);
    if (picture) writePicture();
    start();
    std::vector<std::uint32_t> lit;
    const bool coloured = waitUntil(
        [&] {
          lit = wholeFrame();
          return picture ? count(lit, kRed, 100) > 200 && count(lit, kGreen, 100) > 200
                         : count(lit, kBlue, 100) > 1000;
        },
        20s, 100ms);
    EXPECT_TRUE(coloured) << "red " << count(lit, kRed, 100) << ", green "
                          << count(lit, kGreen, 100) << ", blue " << count(lit, kBlue, 100);
    if (picture) {
      EXPECT_EQ(count(lit, kBlue, 40), 0);
    } else {
      EXPECT_EQ(count(lit, kRed, 0) + count(lit, kGreen, 0), 0);
    }
    EXPECT_EQ(errors().find("picture: ") == std::string::npos, picture) << errors();
    tap(XK_Escape);
    EXPECT_EQ(exitStatus(), 0);
  }
}

// At four frames a second the automatic outline switch is 25 s away, so each key's effect shows
// on its own in the next frames: Space stops and restarts the crystals, W switches between
// filled and outlined drawing, the arrows turn and move the camera even while paused; with Alt,
// W does nothing, and Alt alone leaves the keys working (no menu mode takes them).
TEST_F(RendererUnderWine, WSpaceAndTheArrowsActAndAltKeysDoNot) {
  start({"--max-fps", "4"});
  // Crystals grown enough for every change to show.
  ASSERT_TRUE(waitUntil([&] { return count(wholeFrame(), kBlue, 0) > 2000; }));
  tap(XK_space);
  const std::vector<std::uint32_t> paused = settledFrame();
  ASSERT_FALSE(paused.empty()) << "frames go on changing while paused";

  tap(XK_w);
  ASSERT_TRUE(changesFrom(paused)) << "W changed nothing";
  const std::vector<std::uint32_t> outlined = settledFrame();
  tap(XK_w);
  ASSERT_TRUE(changesFrom(outlined));
  EXPECT_EQ(settledFrame(), paused) << "W again draws as before";

  withAlt(XK_w);
  sendKey(display_, XK_Alt_L, true);
  sendKey(display_, XK_Alt_L, false);
  std::this_thread::sleep_for(1s);
  EXPECT_EQ(settledFrame(), paused) << "Alt+W switched the drawing";

  // Turning stops with its key.
  for (const KeySym arrow : {XK_Left, XK_Right}) {
    SCOPED_TRACE(XKeysymToString(arrow));
    const std::vector<std::uint32_t> before = settledFrame();
    sendKey(display_, arrow, true);
    EXPECT_TRUE(changesFrom(before)) << "the camera did not turn";
    sendKey(display_, arrow, false);
  }
  const std::vector<std::uint32_t> turned = settledFrame();
  ASSERT_FALSE(turned.empty()) << "the camera went on turning after the arrows were let go";

  tap(XK_space);
  EXPECT_TRUE(changesFrom(turned)) << "the crystals did not move again";

  tap(XK_Escape);
  EXPECT_EQ(exitStatus(), 0) << errors();

  // Up and Down push the camera, which then coasts for many frames: each in a run of its own.
  for (const KeySym arrow : {XK_Up, XK_Down}) {
    SCOPED_TRACE(XKeysymToString(arrow));
    start({"--max-fps", "4"});
    ASSERT_TRUE(waitUntil([&] { return showsSomething(display_, window_); }));
    tap(XK_space);
    const std::vector<std::uint32_t> before = settledFrame();
    ASSERT_FALSE(before.empty());
    sendKey(display_, arrow, true);
    EXPECT_TRUE(changesFrom(before)) << "the camera did not move";
    sendKey(display_, arrow, false);
    tap(XK_Escape);
    EXPECT_EQ(exitStatus(), 0) << errors();
  }
}

// Given another program's window, the renderer makes a child of it at its size, follows its
// size, leaves the keyboard to it and ends when it goes. Under Wine the child's OpenGL drawing
// stays off screen, so what the parent reports of its children stands for the picture.
TEST_F(RendererUnderWine, AGivenWindowGetsAChildThatFollowsItAndEndsWithIt) {
  const fs::path report = path("children.txt");
  auto parent = WineDesktop::prefix().start(kParentWindow, {"320", "240", windowsPath(report)},
                                            path("parent.txt"));
  std::string handle;
  ASSERT_TRUE(waitUntil([&] {
    std::ifstream lines(report);
    return std::getline(lines, handle) && !handle.empty();
  })) << readFile(path("parent.txt"));
  const auto reported = [&](const std::string& line) {
    return waitUntil([&] { return readFile(report).find(line + "\n") != std::string::npos; });
  };
  launch({"--window-id", handle});
  EXPECT_TRUE(reported("children: Quorvane_VC 320x240")) << readFile(report) << errors();
  EXPECT_EQ(findWindow(display_, kTitle, true), 0u) << "a window of its own";

  const Window parentWindow = waitForWindow(display_, "Pellarin test parent", 20s, true);
  ASSERT_NE(parentWindow, 0u);
  XResizeWindow(display_, parentWindow, 500, 400);
  XSync(display_, False);
  EXPECT_TRUE(reported("children: Quorvane_VC 500x400")) << readFile(report);

  // Keys belong to the parent's owner.
  XSetInputFocus(display_, parentWindow, RevertToPointerRoot, CurrentTime);
  tap(XK_Escape);
  std::this_thread::sleep_for(1s);
  EXPECT_TRUE(renderer_->running()) << "Escape in the parent ended the renderer";

  requestClose(display_, parentWindow);
  EXPECT_EQ(parent->waitForExit(20s), 0);
  EXPECT_EQ(exitStatus(), 0) << errors();
}

// --root draws into a child of the desktop window, over the whole screen. Disabled, it takes no
// keys: a close posted by another program ends it.
TEST_F(RendererUnderWine, RootDrawsOverTheScreenUntilAPostedClose) {
  start({"--root"});
  EXPECT_EQ(std::make_tuple(attributes_.x, attributes_.y, attributes_.width, attributes_.height),
            std::make_tuple(0, 0, 1024, 768));
  EXPECT_TRUE(waitUntil([&] { return count(wholeFrame(), kBlue, 100) > 1000; }));
  tap(XK_Escape);
  std::this_thread::sleep_for(1s);
  EXPECT_TRUE(renderer_->running()) << "a key reached the window";
  postClose();
  EXPECT_EQ(exitStatus(), 0) << errors();
}

// A handle that names no window ends the renderer with 0 and one line on the debug channel.
TEST_F(RendererUnderWine, AHandleThatNamesNoWindowEndsIt) {
  for (const char* handle : {"0x7ffe0002", "0x100010002"}) {
    SCOPED_TRACE(handle);
    launch({"--window-id", handle});
    EXPECT_EQ(exitStatus(), 0);
    EXPECT_NE(errors().find("No window " + std::string(handle) + " to draw into"),
              std::string::npos)
        << errors();
    EXPECT_EQ(findWindow(display_, kTitle), 0u);
  }
}

}  // namespace
}  // namespace pellarin::testing

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new pellarin::testing::WineDesktop);
  return RUN_ALL_TESTS();
}
