// The host started as a screen-saver daemon starts a hack: inside windows the test makes, on
// the test's own virtual X server, with the shipped files in a temporary program folder. Each
// case runs with a stand-in renderer that keeps the renderer's side of the contract
// (stand_in_renderer.cpp), and with the shipped renderer once it draws into a given window.

#include "tests/support/e2e_support.h"  // first: gtest before Xlib

#include <signal.h>
#include <stdlib.h>

#include <cstdio>

namespace pellarin::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

class HostInWindowTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    fs::create_directories(program());
    for (const char* name : {"Pellarin", "Pellarin1.dll", "Pellarin2.dll", "kVeld.dll"}) {
      ASSERT_TRUE(fs::exists(fs::path(PELLARIN_BIN_DIR) / name)) << name << ": build every target";
      fs::copy_file(fs::path(PELLARIN_BIN_DIR) / name, program() / name);
    }
    ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
    ::setenv("HOME", (folder_ / "home").c_str(), 1);
    ::setenv("PELLARIN_STAND_IN_LOG", (folder_ / "renderer.log").c_str(), 1);
    for (const char* name : {"XSCREENSAVER_WINDOW", "PELLARIN_STAND_IN_NO_WINDOW"})
      ::unsetenv(name);
    ASSERT_NE(display_ = openDisplay(), nullptr);
  }
  void TearDown() override {
    hosts_.clear();  // killed if still running
    for (const pid_t left : runningProcessesIn(program())) ::kill(left, SIGKILL);
    if (display_ != nullptr) XCloseDisplay(display_);
    TempFolderTest::TearDown();
  }

  fs::path program() const { return folder_ / "program"; }
  fs::path workFolder() const { return folder_ / "config" / "k_veld_temp"; }
  void useStandInRenderer() {
    fs::remove(program() / "Pellarin2.dll");
    fs::copy_file(PELLARIN_STAND_IN_RENDERER, program() / "Pellarin2.dll");
  }
  Process& startHost(const std::vector<std::string>& arguments) {
    hosts_.push_back(std::make_unique<Process>(program() / "Pellarin", arguments));
    return *hosts_.back();
  }
  // A mapped white window of the test's own, as a daemon's window on one monitor.
  Window makeWindow(int x) {
    const Window window =
        XCreateSimpleWindow(display_, DefaultRootWindow(display_), x, 20, 300, 200, 0, 0, 0xFFFFFF);
    XMapWindow(display_, window);
    XSync(display_, False);
    return window;
  }
  // The renderer's window inside `window`, once it is there and lit; 0 when it never is.
  Window litRendererInside(Window window) {
    Window renderer = 0;
    const bool lit = waitUntil(
        [&] {
          renderer = findWindowFrom(display_, window, "Quorvane_VC");
          return renderer != 0 && renderer != window && showsSomething(display_, renderer);
        },
        40s, 50ms);
    return lit ? renderer : 0;
  }
  bool nothingRunsWithin(std::chrono::milliseconds limit) {
    return waitUntil([&] { return runningProcessesIn(program()).empty(); }, limit);
  }

  Display* display_ = nullptr;
  std::vector<std::unique_ptr<Process>> hosts_;
};

enum class Renderer { StandIn, Shipped };

class WindowMode : public HostInWindowTest, public ::testing::WithParamInterface<Renderer> {
 protected:
  void SetUp() override {
    HostInWindowTest::SetUp();
    if (HasFatalFailure()) return;
    if (GetParam() == Renderer::StandIn) useStandInRenderer();
  }
};

TEST_P(WindowMode, DrawsInsideTheGivenWindowAndATermSignalEndsEverythingPromptly) {
  const Window window = makeWindow(40);
  Process& host = startHost({"--window-id", std::to_string(window), "-delay", "20000"});
  ASSERT_NE(litRendererInside(window), 0u) << "no lit renderer window inside the given window";
  if (GetParam() == Renderer::StandIn) {
    EXPECT_NE(readFile(folder_ / "renderer.log")
                  .find(" --window-id " + std::to_string(window) + " --delay 20000\n"),
              std::string::npos);
  }
  // The pointer is the daemon's.
  XWarpPointer(display_, None, window, 0, 0, 0, 0, 5, 5);
  XSync(display_, False);
  EXPECT_FALSE(pointerBlank(display_));
  EXPECT_EQ(findWindow(display_, "Quorvane_Main"), 0u);  // no title that ends other starts
  // The screen size stays the standalone renderer's; the picture arrives as ever and the
  // temporary bitmap is gone.
  EXPECT_EQ(readFile(workFolder() / "Pellarin.ini").find("Width"), std::string::npos);
  EXPECT_TRUE(decodeJpeg(readFile(workFolder() / "Pellarin.dat")).has_value());
  for (const auto& entry : fs::directory_iterator(workFolder())) {
    EXPECT_NE(entry.path().extension(), ".bmp") << entry.path();
  }

  const auto asked = Clock::now();
  ::kill(host.pid(), SIGTERM);
  EXPECT_EQ(host.waitForExit(2s), 0);
  EXPECT_TRUE(nothingRunsWithin(2s)) << "a program still runs 2 s after the signal";
  std::printf("[ figures  ] SIGTERM to host and renderer gone %.3f s\n",
              std::chrono::duration<double>(Clock::now() - asked).count());
}

// One host per monitor, as the daemon starts them: each draws in its own window, one plays the
// music, another takes it over when that one is killed, and nothing is left once they are gone.
TEST_P(WindowMode, HostsOnTwoWindowsDrawBothAndPlayTheMusicOnce) {
  // A second of a tone, as an MP3 (the daemon's test plays a WAV setting).
  const fs::path music = folder_ / "loop.mp3";
  ASSERT_EQ(
      Process("/usr/bin/gst-launch-1.0",
              {"-q", "audiotestsrc", "num-buffers=43", "samplesperbuffer=1024", "!", "audioconvert",
               "!", "lamemp3enc", "!", "filesink", "location=" + music.string()})
          .waitForExit(30s),
      0);
  fs::create_directories(workFolder());
  put(workFolder() / "Pellarin.ini",
      "[Settings]\r\nBGM\x8B\xE6\x95\xAA= 2\r\nBGM\xCC\xA7\xB2\xD9=" + music.string() + "\r\n");

  // Each host records what it plays into a file of its own; the first is given its window with
  // --window-id, the second through the daemon's variable alone.
  const Window windows[2] = {makeWindow(0), makeWindow(400)};
  const fs::path heard[2] = {folder_ / "heard-0.raw", folder_ / "heard-1.raw"};
  Process* hosts[2] = {};
  for (int i = 0; i < 2; ++i) {
    const std::string sink = "filesink buffer-mode=unbuffered append=true sync=true location=";
    ::setenv("PELLARIN_AUDIO_SINK", (sink + heard[i].string()).c_str(), 1);
    if (i == 1) ::setenv("XSCREENSAVER_WINDOW", std::to_string(windows[i]).c_str(), 1);
    hosts[i] =
        &startHost(i == 0 ? std::vector<std::string>{"--window-id", std::to_string(windows[i])}
                          : std::vector<std::string>{});
  }
  for (const char* name : {"XSCREENSAVER_WINDOW", "PELLARIN_AUDIO_SINK"}) ::unsetenv(name);
  for (const Window window : windows) EXPECT_NE(litRendererInside(window), 0u);

  const auto size = [](const fs::path& file) {
    std::error_code error;
    const std::uintmax_t bytes = fs::file_size(file, error);
    return error ? 0 : bytes;
  };
  ASSERT_TRUE(waitUntil([&] { return size(heard[0]) + size(heard[1]) > 0; }, 20s)) << "no music";
  std::this_thread::sleep_for(1500ms);
  const int player = size(heard[0]) > 0 ? 0 : 1;
  const int other = 1 - player;
  EXPECT_EQ(size(heard[other]), 0u) << "the music plays twice";

  // The player killed outright: its renderer goes with it, the other host takes the music over.
  ::kill(hosts[player]->pid(), SIGKILL);
  EXPECT_TRUE(
      waitUntil([&] { return findWindowFrom(display_, windows[player], "Quorvane_VC") == 0; }, 5s))
      << "the killed host's renderer runs on";
  EXPECT_TRUE(waitUntil([&] { return size(heard[other]) > 0; }, 10s)) << "no host took over";

  ::kill(hosts[other]->pid(), SIGTERM);
  EXPECT_EQ(hosts[other]->waitForExit(2s), 0);
  EXPECT_TRUE(nothingRunsWithin(2s)) << "a program still runs";
  const std::uintmax_t final = size(heard[other]);
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(size(heard[other]), final) << "music after the end";
}

std::string rendererName(const ::testing::TestParamInfo<Renderer>& param) {
  return param.param == Renderer::StandIn ? "StandIn" : "Shipped";
}
INSTANTIATE_TEST_SUITE_P(Renderers, WindowMode,
                         ::testing::Values(Renderer::StandIn, Renderer::Shipped), rendererName);

// A renderer that never shows a window: the host gives up on it after its watch, and ends it.
TEST_F(HostInWindowTest, ARendererThatNeverShowsAWindowIsEndedWhenTheHostGivesUp) {
  useStandInRenderer();
  ::setenv("PELLARIN_STAND_IN_NO_WINDOW", "1", 1);
  Process& host = startHost({"/S"});
  EXPECT_EQ(host.waitForExit(30s), 0);
  EXPECT_FALSE(readFile(folder_ / "renderer.log").empty()) << "no renderer was started";
  EXPECT_TRUE(nothingRunsWithin(2s)) << "the renderer runs on";
}

}  // namespace
}  // namespace pellarin::testing
