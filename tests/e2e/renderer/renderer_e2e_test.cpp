// The shipped renderer on a virtual X server, seen from another client the way the host and
// the user meet it: by its window title, its keyboard and the window system's close request.
// GoogleTest before Xlib, whose None macro would clash with it.
#include <gtest/gtest.h>

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr const char* kTitle = "Quorvane_VC";

bool waitUntil(const std::function<bool()>& done) {
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  while (!done()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

std::string property(Display* display, Window window, const char* name) {
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 256, False,
                     AnyPropertyType, &type, &format, &count, &after, &data);
  const std::string text = data != nullptr ? std::string(reinterpret_cast<char*>(data), count) : "";
  if (data != nullptr) XFree(data);
  return text;
}

// Searches the whole window tree, as any other client would.
Window findByTitle(Display* display, Window parent) {
  Window root = 0, up = 0, *children = nullptr, found = 0;
  unsigned count = 0;
  if (!XQueryTree(display, parent, &root, &up, &children, &count)) return 0;
  for (unsigned i = 0; i < count && found == 0; ++i) {
    found = property(display, children[i], "WM_NAME") == kTitle ? children[i]
                                                                : findByTitle(display, children[i]);
  }
  if (children != nullptr) XFree(children);
  return found;
}

class RendererTest : public ::testing::Test {
 protected:
  void SetUp() override {
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });  // windows come and go
    ASSERT_NE(display_ = XOpenDisplay(nullptr), nullptr);
    // A white desktop, so the first frame (black) can be told from what lay there before.
    XSetWindowBackground(display_, root_ = DefaultRootWindow(display_), 0xFFFFFF);
    XClearWindow(display_, root_);
    fs::remove_all(home_);
    fs::create_directories(home_ / "k_veld_temp");
  }
  void TearDown() override {
    if (pid_ > 0) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
    XCloseDisplay(display_);
    fs::remove_all(home_);
  }

  // Starts the shipped program from its own folder; waits for its window and first frame.
  void start(const std::string& width = "", const std::string& height = "") {
    if (!width.empty()) {
      std::ofstream(home_ / "k_veld_temp" / "Pellarin.ini", std::ios::binary)
          << "[Settings]\r\nWidth=" << width << "\r\nHeight=" << height << "\r\n";
    }
    started_ = Clock::now();
    if ((pid_ = fork()) == 0) {
      setenv("XDG_CONFIG_HOME", home_.c_str(), 1);
      setenv("HOME", home_.c_str(), 1);
      setenv("PELLARIN_DEBUG", "1", 1);
      dup2(open((home_ / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
      if (chdir(PELLARIN_BIN_DIR) == 0) execl("./Pellarin2.dll", "Pellarin2.dll", nullptr);
      _exit(127);
    }
    ASSERT_TRUE(waitUntil([&] { return (window_ = findByTitle(display_, root_)) != 0; }));
    windowAt_ = Clock::now();
    // The first frame comes after the window is shown and has the keyboard.
    ASSERT_TRUE(waitUntil([&] { return cornerIsBlack(); }));
    firstFrameAt_ = Clock::now();
    XGetWindowAttributes(display_, window_, &attributes_);
  }
  // The exit status, or -1 when the program did not end in time.
  int exitStatus() {
    int status = 0;
    const bool ended = waitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; });
    if (!ended) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
    pid_ = 0;
    return !ended ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  void pressEscape() {
    const KeyCode code = XKeysymToKeycode(display_, XK_Escape);
    XTestFakeKeyEvent(display_, code, True, 0);
    XTestFakeKeyEvent(display_, code, False, 0);
    XFlush(display_);
  }
  bool cornerIsBlack() {
    XImage* image = XGetImage(display_, window_, 0, 0, 1, 1, AllPlanes, ZPixmap);
    const bool black = image != nullptr && XGetPixel(image, 0, 0) == 0;
    if (image != nullptr) XDestroyImage(image);
    return black;
  }
  bool pointerBlank() {
    XFixesCursorImage* cursor = XFixesGetCursorImage(display_);
    bool blank = true;
    for (int i = 0; i < cursor->width * cursor->height; ++i) blank &= cursor->pixels[i] >> 24 == 0;
    XFree(cursor);
    return blank;
  }
  std::string errors() {
    std::stringstream text;
    text << std::ifstream(home_ / "stderr.txt").rdbuf();
    return text.str();
  }

  Display* display_ = nullptr;
  Window root_ = 0, window_ = 0;
  XWindowAttributes attributes_{};
  pid_t pid_ = 0;
  fs::path home_ = fs::temp_directory_path() / ("pellarin-e2e-" + std::to_string(getpid()));
  Clock::time_point started_, windowAt_, firstFrameAt_;
};

TEST_F(RendererTest, DefaultWindowCoversTheScreenCornerAndEscapeEndsItWithZero) {
  start();
  const auto ms = [&](Clock::time_point t) {
    return static_cast<long long>((t - started_) / std::chrono::milliseconds(1));
  };
  std::printf("start to window: %lld ms, to first frame: %lld ms\n", ms(windowAt_),
              ms(firstFrameAt_));
  EXPECT_EQ(attributes_.x, 0);
  EXPECT_EQ(attributes_.y, 0);
  EXPECT_EQ(attributes_.width, 1024);
  EXPECT_EQ(attributes_.height, 768);
  EXPECT_TRUE(attributes_.override_redirect);
  EXPECT_EQ(property(display_, window_, "_NET_WM_NAME"), kTitle);
  EXPECT_EQ(property(display_, window_, "WM_CLASS"), std::string(kTitle) + '\0' + kTitle + '\0');

  // Double-buffered RGBA at the screen's depth with a depth buffer, and the debug line names it.
  XVisualInfo wanted{};
  wanted.visualid = XVisualIDFromVisual(attributes_.visual);
  int count = 0, doubleBuffer = 0, rgba = 0, depthBits = 0;
  XVisualInfo* visual = XGetVisualInfo(display_, VisualIDMask, &wanted, &count);
  ASSERT_NE(visual, nullptr);
  glXGetConfig(display_, visual, GLX_DOUBLEBUFFER, &doubleBuffer);
  glXGetConfig(display_, visual, GLX_RGBA, &rgba);
  glXGetConfig(display_, visual, GLX_DEPTH_SIZE, &depthBits);
  XFree(visual);
  EXPECT_TRUE(doubleBuffer && rgba && depthBits >= 16);
  EXPECT_EQ(attributes_.depth, DefaultDepth(display_, DefaultScreen(display_)));
  EXPECT_NE(errors().find("PixelFormat Selected: " + std::to_string(wanted.visualid) +
                          "\nBPP: " + std::to_string(attributes_.depth) + "\n"),
            std::string::npos);

  XWarpPointer(display_, None, window_, 0, 0, 0, 0, 10, 10);
  XSync(display_, False);
  EXPECT_TRUE(pointerBlank());
  pressEscape();
  EXPECT_EQ(exitStatus(), 0);
  EXPECT_EQ(findByTitle(display_, root_), 0u);
  EXPECT_FALSE(pointerBlank());
}

TEST_F(RendererTest, SizeComesFromTheSettingsFileAndUnusableSizesNeitherCrashNorHang) {
  const struct {
    const char *width, *height;
    int expectedWidth, expectedHeight;  // 0: anything X can hold
  } cases[] = {{" 800", " 600", 800, 600},
               {" 0", " 0", 1024, 768},
               {"-640", "-480", 1, 1},
               {" 100000", " 10", 0, 10},
               {" 5", " 70000", 5, 0}};
  for (const auto& c : cases) {
    start(c.width, c.height);
    EXPECT_EQ(std::make_pair(attributes_.x, attributes_.y), std::make_pair(0, 0));
    EXPECT_TRUE(c.expectedWidth == 0 || attributes_.width == c.expectedWidth);
    EXPECT_TRUE(c.expectedHeight == 0 || attributes_.height == c.expectedHeight);
    EXPECT_LE(std::max(attributes_.width, attributes_.height), 32767) << attributes_.width;
    pressEscape();
    EXPECT_EQ(exitStatus(), 0) << c.width << " x" << c.height;
    EXPECT_EQ(errors().find("X error"), std::string::npos) << errors();
  }
}

TEST_F(RendererTest, ClosedOrDestroyedByTheWindowSystemItEndsWithZero) {
  const std::function<void(Display*, Window)> ends[] = {
      [](Display* display, Window window) {
        XEvent event{};
        event.xclient = {ClientMessage,
                         0,
                         False,
                         display,
                         window,
                         XInternAtom(display, "WM_PROTOCOLS", False),
                         32,
                         {}};
        event.xclient.data.l[0] =
            static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        XSendEvent(display, window, False, NoEventMask, &event);
      },
      [](Display* display, Window window) { XDestroyWindow(display, window); },
      [](Display* display, Window window) { XKillClient(display, window); }};
  for (const auto& end : ends) {
    start();
    end(display_, window_);
    XFlush(display_);
    EXPECT_EQ(exitStatus(), 0);
    EXPECT_EQ(findByTitle(display_, root_), 0u);
  }
}

}  // namespace
