// The shipped renderer on a virtual X server, seen from another client the way the host and
// the user meet it: by its window title, its frames, its keyboard and the window system's close
// request. GoogleTest before Xlib, whose None macro would clash with it.
#include <gtest/gtest.h>

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
#include <set>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
constexpr const char* kTitle = "Quorvane_VC";

bool waitUntil(const std::function<bool()>& done) {
  for (const auto deadline = std::chrono::steady_clock::now() + 20s; !done();) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

// Searches the whole window tree, as any other client would.
Window findByTitle(Display* display, Window parent) {
  Window root = 0, up = 0, *children = nullptr, found = 0;
  unsigned count = 0;
  if (!XQueryTree(display, parent, &root, &up, &children, &count)) return 0;
  for (unsigned i = 0; i < count && found == 0; ++i) {
    char* name = nullptr;
    if (XFetchName(display, children[i], &name) && std::string(name) == kTitle) found = children[i];
    if (name != nullptr) XFree(name);
    if (found == 0) found = findByTitle(display, children[i]);
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
    if ((pid_ = fork()) == 0) {
      setenv("XDG_CONFIG_HOME", home_.c_str(), 1);
      setenv("HOME", home_.c_str(), 1);
      setenv("PELLARIN_DEBUG", "1", 1);
      dup2(open((home_ / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
      if (chdir(PELLARIN_BIN_DIR) == 0) execl("./Pellarin2.dll", "Pellarin2.dll", nullptr);
      _exit(127);
    }
    ASSERT_TRUE(waitUntil([&] { return (window_ = findByTitle(display_, root_)) != 0; }));
    // The first frame comes after the window is shown and has the keyboard.
    ASSERT_TRUE(waitUntil([&] { return frame(1, 1) == std::string(4, '\0'); }));
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
  void key(KeySym symbol, bool press) {
    XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, symbol), press, 0);
    XFlush(display_);
  }
  void tap(KeySym symbol) { key(symbol, true), key(symbol, false); }
  // The window's top-left width x height pixels as raw bytes (four per pixel).
  std::string frame(int width, int height) {
    XImage* image =
        XGetImage(display_, window_, 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (image == nullptr) return "";
    std::string bytes(image->data, static_cast<size_t>(image->bytes_per_line) * height);
    for (size_t i = 3; i < bytes.size(); i += 4) bytes[i] = 0;  // the unused fourth byte
    XDestroyImage(image);
    return bytes;
  }
  bool anyLit() {
    const std::string pixels = frame(attributes_.width, attributes_.height);
    return pixels.find_first_not_of('\0') != std::string::npos;
  }
  // How many different frames show up in eight looks 150 ms apart.
  size_t distinctFrames() {
    std::set<std::string> seen;
    for (int i = 0; i < 8; ++i, std::this_thread::sleep_for(150ms))
      seen.insert(frame(attributes_.width, attributes_.height));
    return seen.size();
  }
  std::string errors() {
    std::stringstream text;
    text << std::ifstream(home_ / "stderr.txt").rdbuf();
    return text.str();
  }
  bool pointerBlank() {
    XFixesCursorImage* cursor = XFixesGetCursorImage(display_);
    bool blank = true;
    for (int i = 0; i < cursor->width * cursor->height; ++i) blank &= cursor->pixels[i] >> 24 == 0;
    XFree(cursor);
    return blank;
  }

  Display* display_ = nullptr;
  Window root_ = 0, window_ = 0;
  XWindowAttributes attributes_{};
  pid_t pid_ = 0;
  fs::path home_ = fs::temp_directory_path() / ("pellarin-e2e-" + std::to_string(getpid()));
};

TEST_F(RendererTest, DefaultWindowCoversTheScreenCornerAndEscapeEndsItWithZero) {
  start();
  EXPECT_EQ(std::make_pair(attributes_.x, attributes_.y), std::make_pair(0, 0));
  EXPECT_EQ(std::make_pair(attributes_.width, attributes_.height), std::make_pair(1024, 768));
  EXPECT_TRUE(attributes_.override_redirect);
  XWarpPointer(display_, None, window_, 0, 0, 0, 0, 10, 10);
  XSync(display_, False);
  EXPECT_TRUE(pointerBlank());
  tap(XK_Escape);
  EXPECT_EQ(exitStatus(), 0);
  EXPECT_EQ(findByTitle(display_, root_), 0u);
  EXPECT_FALSE(pointerBlank());
}

// Each run ends another way: Escape, the window manager's close request, the window destroyed
// or the connection killed. Every way ends the program with 0.
TEST_F(RendererTest, SizeComesFromTheSettingsFileAndAnyEndingExitsWithZero) {
  const auto close = [](Display* display, Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    XSendEvent(display, window, False, NoEventMask, &event);
  };
  const struct {
    const char *width, *height;
    int expectedWidth, expectedHeight;  // 0: anything X can hold
    std::function<void(Display*, Window)> end;
  } cases[] = {{" 800", " 600", 800, 600, nullptr},
               {" 0", " 0", 1024, 768, close},
               {"-640", "-480", 1, 1, XDestroyWindow},
               {" 100000", " 10", 0, 10, XKillClient},
               {" 5", " 70000", 5, 0, nullptr}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.width) + " x" + c.height);
    start(c.width, c.height);
    EXPECT_EQ(std::make_pair(attributes_.x, attributes_.y), std::make_pair(0, 0));
    EXPECT_TRUE(c.expectedWidth == 0 || attributes_.width == c.expectedWidth);
    EXPECT_TRUE(c.expectedHeight == 0 || attributes_.height == c.expectedHeight);
    EXPECT_LE(std::max(attributes_.width, attributes_.height), 32767) << attributes_.width;
    c.end ? c.end(display_, window_) : tap(XK_Escape);
    XFlush(display_);
    EXPECT_EQ(exitStatus(), 0);
    EXPECT_EQ(findByTitle(display_, root_), 0u);
    if (!c.end) {
      EXPECT_EQ(errors().find("X error"), std::string::npos) << errors();
    }
  }
}

TEST_F(RendererTest, ShowsCrystalsAndSpacePausesThemWhileTheArrowsStillTurnTheCamera) {
  start();
  ASSERT_TRUE(waitUntil([&] { return anyLit(); }));
  tap(XK_space);
  std::this_thread::sleep_for(300ms);
  // Paused and with a still camera, frames differ only by the automatic outline switch.
  EXPECT_LE(distinctFrames(), 2u);
  key(XK_Left, true);
  EXPECT_GT(distinctFrames(), 2u) << "the camera turns while paused";
  key(XK_Left, false);
  std::this_thread::sleep_for(300ms);
  EXPECT_LE(distinctFrames(), 2u);
  tap(XK_space);
  EXPECT_GT(distinctFrames(), 2u) << "the crystals move again";
  EXPECT_TRUE(anyLit());
  tap(XK_Escape);
  EXPECT_EQ(exitStatus(), 0);
}

}  // namespace
