// The shipped renderer on a virtual X server, seen from another client the way the host and
// the user meet it: by its window title, its keyboard and the window system's close request.
// GoogleTest before Xlib, whose None macro would clash with it.
#include <gtest/gtest.h>

#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr const char* kTitle = "Quorvane_VC";

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

std::string textProperty(Display* display, Window window, const char* name) {
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::string text;
  if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 256, False,
                         AnyPropertyType, &type, &format, &count, &after, &data) == Success &&
      data != nullptr) {
    text.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
  }
  return text;
}

// Searches the whole window tree, as any other client would.
Window findByTitle(Display* display, Window parent) {
  Window root = 0, up = 0, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display, parent, &root, &up, &children, &count)) return 0;
  Window found = 0;
  for (unsigned i = 0; i < count && found == 0; ++i) {
    if (textProperty(display, children[i], "WM_NAME") == kTitle) found = children[i];
    if (found == 0) found = findByTitle(display, children[i]);
  }
  if (children != nullptr) XFree(children);
  return found;
}

class RendererTest : public ::testing::Test {
 protected:
  void SetUp() override {
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });  // windows come and go
    display_ = XOpenDisplay(nullptr);
    ASSERT_NE(display_, nullptr);
    root_ = DefaultRootWindow(display_);
    // A white desktop, so the first frame (black) can be told from what lay there before.
    XSetWindowBackground(display_, root_, WhitePixel(display_, DefaultScreen(display_)));
    XClearWindow(display_, root_);
    home_ = fs::temp_directory_path() / ("pellarin-e2e-" + std::to_string(getpid()));
    fs::remove_all(home_);
    fs::create_directories(home_ / "k_veld_temp");
  }
  void TearDown() override {
    if (pid_ > 0) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
    if (display_ != nullptr) XCloseDisplay(display_);
    fs::remove_all(home_);
  }

  void settings(const std::string& width, const std::string& height) {
    std::ofstream(home_ / "k_veld_temp" / "Pellarin.ini", std::ios::binary)
        << "[Settings]\r\nWidth=" << width << "\r\nHeight=" << height << "\r\n";
  }
  // Starts the shipped program from its own folder and waits for its window.
  void start() {
    started_ = Clock::now();
    pid_ = fork();
    if (pid_ == 0) {
      setenv("XDG_CONFIG_HOME", home_.c_str(), 1);
      setenv("HOME", home_.c_str(), 1);
      setenv("PELLARIN_DEBUG", "1", 1);
      // The GL driver's own allocations become untraceable once it is unloaded at exit, so the
      // sanitizer build would turn them into a failing exit code; the exit code here is ours.
      const char* asan = getenv("ASAN_OPTIONS");
      setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":detect_leaks=0").c_str(), 1);
      const int err = open((home_ / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(err, 2);
      if (chdir(PELLARIN_BIN_DIR) == 0) execl("./Pellarin2.dll", "Pellarin2.dll", nullptr);
      _exit(127);
    }
    ASSERT_TRUE(waitUntil([&] { return (window_ = findByTitle(display_, root_)) != 0; },
                          std::chrono::seconds(20)));
    windowAt_ = Clock::now();
    // The first frame comes after the window is shown and has the keyboard.
    ASSERT_TRUE(waitUntil([&] { return cornerIsBlack(); }, std::chrono::seconds(20)));
    firstFrameAt_ = Clock::now();
  }
  XWindowAttributes attributes() {
    XWindowAttributes a{};
    XGetWindowAttributes(display_, window_, &a);
    return a;
  }
  // The exit status, or -1 when the program did not end in time.
  int exitStatus() {
    int status = 0;
    if (!waitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; },
                   std::chrono::seconds(20))) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      pid_ = 0;
      return -1;
    }
    pid_ = 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  void pressEscape() {
    const KeyCode code = XKeysymToKeycode(display_, XK_Escape);
    XTestFakeKeyEvent(display_, code, True, 0);
    XTestFakeKeyEvent(display_, code, False, 0);
    XFlush(display_);
  }
  bool cornerIsBlack() {
    XImage* image = XGetImage(display_, window_, 0, 0, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) return false;
    const bool black = XGetPixel(image, 0, 0) == 0;
    XDestroyImage(image);
    return black;
  }
  bool pointerBlank() {
    XFixesCursorImage* cursor = XFixesGetCursorImage(display_);
    bool blank = true;
    for (int i = 0; i < cursor->width * cursor->height; ++i)
      blank &= (cursor->pixels[i] >> 24) == 0;
    XFree(cursor);
    return blank;
  }
  std::string errors() {
    std::stringstream text;
    text << std::ifstream(home_ / "stderr.txt").rdbuf();
    return text.str();
  }

  Display* display_ = nullptr;
  Window root_ = 0;
  Window window_ = 0;
  pid_t pid_ = 0;
  fs::path home_;
  Clock::time_point started_, windowAt_, firstFrameAt_;
};

TEST_F(RendererTest, DefaultWindowCoversTheScreenCornerAndEscapeEndsItWithZero) {
  start();
  const auto ms = [&](Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(t - started_).count();
  };
  std::printf("start to window: %lld ms, start to first frame: %lld ms\n",
              static_cast<long long>(ms(windowAt_)), static_cast<long long>(ms(firstFrameAt_)));

  const XWindowAttributes a = attributes();
  Window child = 0;
  int x = -1, y = -1;
  XTranslateCoordinates(display_, window_, root_, 0, 0, &x, &y, &child);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(a.width, 1024);
  EXPECT_EQ(a.height, 768);
  EXPECT_TRUE(a.override_redirect);
  EXPECT_EQ(textProperty(display_, window_, "_NET_WM_NAME"), kTitle);
  EXPECT_EQ(textProperty(display_, window_, "WM_CLASS"),
            std::string(kTitle) + '\0' + kTitle + '\0');

  // The visual: double-buffered RGBA at the screen's depth with a depth buffer.
  XVisualInfo wanted{};
  wanted.visualid = XVisualIDFromVisual(a.visual);
  int count = 0;
  XVisualInfo* visual = XGetVisualInfo(display_, VisualIDMask, &wanted, &count);
  ASSERT_NE(visual, nullptr);
  int doubleBuffer = 0, rgba = 0, depthBits = 0;
  glXGetConfig(display_, visual, GLX_DOUBLEBUFFER, &doubleBuffer);
  glXGetConfig(display_, visual, GLX_RGBA, &rgba);
  glXGetConfig(display_, visual, GLX_DEPTH_SIZE, &depthBits);
  XFree(visual);
  EXPECT_TRUE(doubleBuffer && rgba);
  EXPECT_GE(depthBits, 16);
  EXPECT_EQ(a.depth, DefaultDepth(display_, DefaultScreen(display_)));
  EXPECT_NE(errors().find("PixelFormat Selected: " + std::to_string(wanted.visualid) +
                          "\nBPP: " + std::to_string(a.depth) + "\n"),
            std::string::npos);

  XWarpPointer(display_, None, window_, 0, 0, 0, 0, 10, 10);
  XSync(display_, False);
  EXPECT_TRUE(pointerBlank());
  pressEscape();
  EXPECT_EQ(exitStatus(), 0);
  EXPECT_EQ(findByTitle(display_, root_), 0u);
  EXPECT_FALSE(pointerBlank());
  EXPECT_EQ(errors().find("X error"), std::string::npos);
}

TEST_F(RendererTest, SizeComesFromTheSettingsFileAtTheTopLeftCorner) {
  const struct {
    const char *width, *height;
    int expectedWidth, expectedHeight;
  } cases[] = {{" 800", " 600", 800, 600}, {" 0", " 0", 1024, 768}};
  for (const auto& c : cases) {
    settings(c.width, c.height);
    start();
    const XWindowAttributes a = attributes();
    EXPECT_EQ(a.x, 0);
    EXPECT_EQ(a.y, 0);
    EXPECT_EQ(a.width, c.expectedWidth);
    EXPECT_EQ(a.height, c.expectedHeight);
    pressEscape();
    EXPECT_EQ(exitStatus(), 0);
  }
}

TEST_F(RendererTest, UnusableSizesNeitherCrashNorHang) {
  const char* sizes[][2] = {{"-640", "-480"}, {" 100000", " 10"}, {" 5", " 70000"}};
  for (const auto& size : sizes) {
    settings(size[0], size[1]);
    start();
    const XWindowAttributes a = attributes();
    EXPECT_TRUE(a.width >= 1 && a.width <= 32767 && a.height >= 1 && a.height <= 32767);
    pressEscape();
    EXPECT_EQ(exitStatus(), 0) << size[0] << "x" << size[1];
    EXPECT_EQ(errors().find("X error"), std::string::npos) << errors();
  }
}

TEST_F(RendererTest, ClosedOrDestroyedByTheWindowSystemItEndsWithZero) {
  const std::function<void(Display*, Window)> ends[] = {
      [](Display* display, Window window) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
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
