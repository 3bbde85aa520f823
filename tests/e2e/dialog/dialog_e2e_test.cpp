// The settings dialog as the desktop starts it: "Pellarin /C" from a temporary program folder
// on the test's own virtual X server, driven with synthetic pointer and key events.

// gtest first: the X11 headers define macros (None, Bool) that clash with it.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const char* const kTitle = "■Pellarin■";
// The keys as the settings file holds them, in code page 932.
const std::string kKindKey = "BGM\x8B\xE6\x95\xAA";
const std::string kRepeatKey = "BGM\xD8\xCB\xDF\xB0\xC4";
const std::string kFileKey = "BGM\xCC\xA7\xB2\xD9";

// Client positions (pixels) of the controls the tests use.
constexpr int kCdLabelX = 12 + 44 + 10, kCdLabelY = 12 + 52 + 6;
constexpr int kFileLabelX = 12 + 44 + 10, kFileLabelY = 12 + 92 + 6;
constexpr int kTrackEntryX = 12 + 96 + 10, kTrackEntryY = 12 + 48 + 10;
constexpr int kSetX = 140 + 52, kSetY = 192 + 16;
constexpr int kCancelX = 252 + 50, kCancelY = 192 + 16;

template <typename Done>
bool waitUntil(Done done, std::chrono::milliseconds limit) {
  for (const auto end = Clock::now() + limit; Clock::now() < end;) {
    if (done()) return true;
    std::this_thread::sleep_for(20ms);
  }
  return done();
}

// A started host program; killed if a test leaves it running.
struct Host {
  pid_t pid = -1;
  std::optional<int> status;

  ~Host() {
    if (pid > 0 && !status) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }
  bool exited() {
    int s = 0;
    if (!status && ::waitpid(pid, &s, WNOHANG) == pid) {
      status = WIFEXITED(s) ? WEXITSTATUS(s) : 128 + WTERMSIG(s);
    }
    return status.has_value();
  }
  std::optional<int> waitForExit(std::chrono::milliseconds limit) {
    waitUntil([&] { return exited(); }, limit);
    return status;
  }
};

class DialogEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path host = fs::path(PELLARIN_BIN_DIR) / "Pellarin";
    ASSERT_TRUE(fs::exists(host)) << "build the host first";
    std::string pattern = (fs::temp_directory_path() / "pellarin-dialog-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    fs::create_directories(root_ / "program");
    fs::copy_file(host, root_ / "program" / "Pellarin");
    // The start-up only checks that the companions are there.
    for (const char* name : {"Pellarin1.dll", "Pellarin2.dll", "kVeld.dll"}) {
      std::ofstream(root_ / "program" / name) << "";
    }
    // The host keeps its settings under the test's own folder.
    ::setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    ::setenv("HOME", (root_ / "home").c_str(), 1);
    display_ = XOpenDisplay(nullptr);
    ASSERT_NE(display_, nullptr);
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  }
  void TearDown() override {
    if (display_ != nullptr) XCloseDisplay(display_);
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  std::unique_ptr<Host> startHost(std::string mode) {
    std::string program = (root_ / "program" / "Pellarin").string();
    char* argv[] = {program.data(), mode.data(), nullptr};
    auto host = std::make_unique<Host>();
    EXPECT_EQ(posix_spawn(&host->pid, argv[0], nullptr, nullptr, argv, environ), 0);
    return host;
  }
  fs::path settingsFile() const { return root_ / "config" / "k_veld_temp" / "Pellarin.ini"; }
  std::string settings() const {
    std::ifstream in(settingsFile(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  // A mapped top-level window with the dialog's title (_NET_WM_NAME).
  Window findDialog() {
    const Atom netWmName = XInternAtom(display_, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display_, "UTF8_STRING", False);
    Window root = 0, parent = 0, *children = nullptr, found = 0;
    unsigned int n = 0;
    XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &n);
    for (unsigned int i = 0; i < n && found == 0; ++i) {
      Atom type = 0;
      int format = 0;
      unsigned long count = 0, remaining = 0;
      unsigned char* data = nullptr;
      XWindowAttributes attributes{};
      XGetWindowProperty(display_, children[i], netWmName, 0, 256, False, utf8, &type, &format,
                         &count, &remaining, &data);
      if (data != nullptr && std::string(reinterpret_cast<char*>(data), count) == kTitle &&
          XGetWindowAttributes(display_, children[i], &attributes) &&
          attributes.map_state == IsViewable) {
        found = children[i];
      }
      if (data != nullptr) XFree(data);
    }
    if (children != nullptr) XFree(children);
    return found;
  }
  // Waits for the dialog and for it to be painted; remembers its client origin.
  Window waitForDialog() {
    Window dialog = 0, child = 0;
    if (!waitUntil([&] { return (dialog = findDialog()) != 0; }, 20s)) return 0;
    std::this_thread::sleep_for(700ms);
    XTranslateCoordinates(display_, dialog, DefaultRootWindow(display_), 0, 0, &originX_, &originY_,
                          &child);
    return dialog;
  }
  void pointTo(int x, int y) {
    XTestFakeMotionEvent(display_, -1, originX_ + x, originY_ + y, 0);
    XSync(display_, False);
  }
  void click(int x, int y) {
    pointTo(x, y);
    std::this_thread::sleep_for(100ms);
    for (bool down : {true, false}) {
      XTestFakeButtonEvent(display_, 1, down, 0);
      XSync(display_, False);
      std::this_thread::sleep_for(down ? 50ms : 250ms);
    }
  }
  void key(KeySym symbol) {
    const KeyCode code = XKeysymToKeycode(display_, symbol);
    XTestFakeKeyEvent(display_, code, True, 0);
    XTestFakeKeyEvent(display_, code, False, 0);
    XSync(display_, False);
    std::this_thread::sleep_for(100ms);
  }
  // The screen's colour at a client position of the dialog, as 0xRRGGBB.
  unsigned long pixel(int x, int y) {
    XImage* image = XGetImage(display_, DefaultRootWindow(display_), originX_ + x, originY_ + y, 1,
                              1, AllPlanes, ZPixmap);
    if (image == nullptr) return 0xFFFFFFFFul;
    const unsigned long value = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return value;
  }

  fs::path root_;
  Display* display_ = nullptr;
  int originX_ = 0;
  int originY_ = 0;
};

TEST_F(DialogEndToEndTest, ChoosingTheCdAndATrackIsSavedAndTheProgramEnds) {
  auto host = startHost("/C");
  const Window dialog = waitForDialog();
  ASSERT_NE(dialog, 0u) << "no window titled " << kTitle;

  // Placed a third down the screen, centred across it.
  XWindowAttributes attributes{};
  XGetWindowAttributes(display_, dialog, &attributes);
  EXPECT_EQ(attributes.width, 497);
  EXPECT_EQ(attributes.height, 266);
  EXPECT_EQ(originX_, (1024 - 497) / 2);
  EXPECT_EQ(originY_, (768 - 266) / 3);

  // The frame's shadow and the buttons' outline come from the host's own controls.
  EXPECT_EQ(pixel(12 + 470, 12 + 80), 0x757575ul);
  EXPECT_EQ(pixel(12 + 476, 12 + 80), 0xDBDBDBul);
  EXPECT_EQ(pixel(12, 12), 0x000000ul);
  EXPECT_EQ(pixel(140 + 50, 192), 0x003C74ul);
  EXPECT_EQ(pixel(140, 192), 0xE0E0E0ul);  // clipped corner

  // While the dialog is open any second start ends at once.
  for (const char* mode : {"/S", "/C", "/P 0"}) {
    auto second = startHost(mode);
    EXPECT_EQ(second->waitForExit(10s), 0) << mode;
  }
  EXPECT_FALSE(host->exited());

  // The pointer over a button turns it hot: the orange highlight row.
  pointTo(kCancelX, kCancelY);
  EXPECT_TRUE(waitUntil([&] { return pixel(kCancelX, 193) == 0xFFF3CEul; }, 3s))
      << std::hex << pixel(kCancelX, 193);

  click(kCdLabelX, kCdLabelY);
  click(kTrackEntryX, kTrackEntryY);
  key(XK_7);  // into the empty box: no track was stored
  click(kSetX, kSetY);
  EXPECT_EQ(host->waitForExit(10s), 0);
  const std::string written = settings();
  EXPECT_NE(written.find(kKindKey + "= 1"), std::string::npos) << written;
  EXPECT_NE(written.find(kRepeatKey + "= 7"), std::string::npos) << written;
  EXPECT_NE(written.find(kFileKey + "="), std::string::npos) << written;
}

TEST_F(DialogEndToEndTest, CancelAndTheCloseBoxWriteNothing) {
  fs::create_directories(settingsFile().parent_path());
  const std::string before = "[Settings]\r\n" + kKindKey + "= 1\r\n" + kRepeatKey + "= 12\r\n";
  std::ofstream(settingsFile(), std::ios::binary) << before;
  auto host = startHost("/C");
  ASSERT_NE(waitForDialog(), 0u);
  click(kFileLabelX, kFileLabelY);
  click(kCancelX, kCancelY);
  EXPECT_EQ(host->waitForExit(10s), 0);
  EXPECT_EQ(settings(), before);

  host = startHost("/C");
  const Window dialog = waitForDialog();
  ASSERT_NE(dialog, 0u);
  click(kFileLabelX, kFileLabelY);
  // What a window manager sends when the close box is clicked.
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = dialog;
  event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display_, dialog, False, NoEventMask, &event);
  XSync(display_, False);
  EXPECT_EQ(host->waitForExit(10s), 0);
  EXPECT_EQ(settings(), before);
}

}  // namespace
