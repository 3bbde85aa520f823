// The renderer program on a virtual X server: it shows crystals, keeps running, pauses them on
// Space while the arrows still turn the camera, and ends with code 0 on Escape.
// gtest before Xlib: Xlib's macros (None, Bool) would break gtest's templates.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
// clang-format on
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class RendererProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    std::string pattern = (fs::temp_directory_path() / "renderer_e2e_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder = pattern;
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    const std::string program = std::string(PELLARIN_BIN_DIR) + "/Pellarin2.dll";
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ), 0);
  }

  void TearDown() override {
    if (pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    if (display != nullptr) XCloseDisplay(display);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }

  // The whole screen as packed pixel values.
  std::vector<unsigned long> screen() {
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes;
    XGetWindowAttributes(display, root, &attributes);
    XImage* image = XGetImage(display, root, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    std::vector<unsigned long> pixels;
    if (image == nullptr) return pixels;
    pixels.reserve(static_cast<size_t>(attributes.width) * attributes.height);
    for (int y = 0; y < attributes.height; ++y)
      for (int x = 0; x < attributes.width; ++x)
        pixels.push_back(XGetPixel(image, x, y) & 0xFFFFFF);
    XDestroyImage(image);
    return pixels;
  }

  static bool anyLit(const std::vector<unsigned long>& pixels) {
    for (unsigned long p : pixels)
      if (p != 0) return true;
    return false;
  }

  bool waitForCrystals() {
    for (auto start = std::chrono::steady_clock::now();
         std::chrono::steady_clock::now() - start < 20s; std::this_thread::sleep_for(50ms)) {
      if (anyLit(screen())) return true;
    }
    return false;
  }

  bool running() { return waitpid(pid, nullptr, WNOHANG) == 0; }

  void key(KeySym symbol, bool press) {
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, symbol), press ? True : False, 0);
    XFlush(display);
  }
  void tap(KeySym symbol) {
    key(symbol, true);
    key(symbol, false);
  }

  // How many different frames show up in `count` looks `gap` apart.
  size_t distinctFrames(int count, std::chrono::milliseconds gap) {
    std::set<std::vector<unsigned long>> seen;
    for (int i = 0; i < count; ++i) {
      seen.insert(screen());
      std::this_thread::sleep_for(gap);
    }
    return seen.size();
  }

  int exitCode(std::chrono::seconds limit) {
    for (auto start = std::chrono::steady_clock::now();
         std::chrono::steady_clock::now() - start < limit; std::this_thread::sleep_for(20ms)) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
    }
    return -2;
  }

  Display* display = nullptr;
  fs::path folder;
  pid_t pid = -1;
};

TEST_F(RendererProgram, ShowsCrystalsKeepsRunningAndEndsOnEscape) {
  ASSERT_TRUE(waitForCrystals());
  std::this_thread::sleep_for(1500ms);
  EXPECT_TRUE(running());
  EXPECT_TRUE(anyLit(screen()));
  tap(XK_Escape);
  EXPECT_EQ(exitCode(10s), 0);
}

TEST_F(RendererProgram, SpacePausesTheCrystalsButTheCameraStillTurns) {
  ASSERT_TRUE(waitForCrystals());
  tap(XK_space);
  std::this_thread::sleep_for(300ms);
  // Paused and with a still camera, frames differ only by the automatic outline switch.
  EXPECT_LE(distinctFrames(8, 150ms), 2u);
  key(XK_Left, true);
  EXPECT_GT(distinctFrames(8, 150ms), 2u) << "the camera turns while paused";
  key(XK_Left, false);
  std::this_thread::sleep_for(300ms);
  EXPECT_LE(distinctFrames(8, 150ms), 2u);
  tap(XK_space);
  EXPECT_GT(distinctFrames(8, 150ms), 2u) << "the crystals move again";
  tap(XK_Escape);
  EXPECT_EQ(exitCode(10s), 0);
}

}  // namespace
