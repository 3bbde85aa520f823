// The host started as a screen-saver daemon starts a hack: inside a window the test makes, on
// the test's own virtual X server, with the shipped files in a temporary program folder. Each
// case runs with the shipped renderer and with a stand-in that keeps the renderer's side of the
// contract (stand_in_renderer.cpp), so the host's part is checked on its own as well.

#include "tests/support/e2e_support.h"  // first: gtest before Xlib

#include <X11/extensions/Xfixes.h>
#include <signal.h>
#include <stdlib.h>

#include <cstdio>
#include <set>

namespace pellarin::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const char* const kShippedFiles[] = {"Pellarin", "Pellarin1.dll", "Pellarin2.dll", "kVeld.dll"};
const std::set<std::pair<int, int>> kBuiltInPictureSizes = {{256, 256}, {128, 128}, {44, 128}};

enum class Renderer { StandIn, Shipped };

std::string nameOf(const ::testing::TestParamInfo<Renderer>& info) {
  return info.param == Renderer::StandIn ? "StandIn" : "Shipped";
}

class HostEndToEnd : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    fs::create_directories(program());
    for (const char* name : kShippedFiles) {
      ASSERT_TRUE(fs::exists(fs::path(PELLARIN_BIN_DIR) / name)) << name << ": build every target";
      fs::copy_file(fs::path(PELLARIN_BIN_DIR) / name, program() / name);
    }
    ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
    ::setenv("HOME", (folder_ / "home").c_str(), 1);
    ::setenv("PELLARIN_STAND_IN_LOG", (folder_ / "renderer.log").c_str(), 1);
    ::unsetenv("XSCREENSAVER_WINDOW");
    ::unsetenv("PELLARIN_STAND_IN_NO_WINDOW");
    ::unsetenv("PELLARIN_AUDIO_SINK");
    ASSERT_NE(display_ = openDisplay(), nullptr);
  }
  void TearDown() override {
    hosts_.clear();  // killed if still running
    for (const pid_t left : runningProcessesIn(program())) ::kill(left, SIGKILL);
    if (display_ != nullptr) XCloseDisplay(display_);
    TempFolderTest::TearDown();
  }

  fs::path program() const { return folder_ / "program"; }
  std::string rendererLog() { return readFile(folder_ / "renderer.log"); }
  fs::path workFolder() const { return folder_ / "config" / "k_veld_temp"; }
  void useStandInRenderer() {
    fs::remove(program() / "Pellarin2.dll");
    fs::copy_file(PELLARIN_STAND_IN_RENDERER, program() / "Pellarin2.dll");
  }
  Process& startHost(const std::vector<std::string>& arguments) {
    hosts_.push_back(std::make_unique<Process>(program() / "Pellarin", arguments));
    return *hosts_.back();
  }
  // A mapped window of the test's own, white, as a daemon's window on one monitor.
  Window makeWindow(int x, int width, int height) {
    const Window window = XCreateSimpleWindow(display_, DefaultRootWindow(display_), x, 20,
                                              static_cast<unsigned>(width),
                                              static_cast<unsigned>(height), 0, 0, 0xFFFFFF);
    XMapWindow(display_, window);
    XSync(display_, False);
    return window;
  }
  // The renderer's window inside `window`, once it is there and lit.
  Window litRendererInside(Window window) {
    Window renderer = 0;
    waitUntil([&] { return (renderer = findWindowFrom(display_, window, "Quorvane_VC")) != 0; },
              40s);
    if (renderer == 0 || renderer == window) return 0;
    return waitUntil([&] { return showsSomething(display_, renderer); }, 40s) ? renderer : 0;
  }
  bool pointerBlankOver(Window window) {
    XWarpPointer(display_, None, window, 0, 0, 0, 0, 5, 5);
    XSync(display_, False);
    XFixesCursorImage* cursor = XFixesGetCursorImage(display_);
    bool blank = true;
    for (int i = 0; i < cursor->width * cursor->height; ++i) blank &= cursor->pixels[i] >> 24 == 0;
    XFree(cursor);
    return blank;
  }
  // Seconds until no program of the folder runs any more, or -1 after the limit.
  double secondsUntilNothingRuns(Clock::time_point since, std::chrono::milliseconds limit) {
    if (!waitUntil([&] { return runningProcessesIn(program()).empty(); }, limit)) return -1;
    return std::chrono::duration<double>(Clock::now() - since).count();
  }

  Display* display_ = nullptr;
  std::vector<std::unique_ptr<Process>> hosts_;
};

// The shipped renderer is used once it draws into a given window; a renderer without that
// mode opens its own popup, which this probe tells apart.
bool shippedRendererDrawsIntoAWindow(Display* display) {
  static const bool drawsInside = [display] {
    const Window parent =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 64, 48, 0, 0, 0xFFFFFF);
    XMapWindow(display, parent);
    XSync(display, False);
    Process renderer(fs::path(PELLARIN_BIN_DIR) / "Pellarin2.dll",
                     {"--window-id", std::to_string(parent)});
    const Window found = waitForWindow(display, "Quorvane_VC", 40s);
    const bool inside = found != 0 && findWindowFrom(display, parent, "Quorvane_VC") == found;
    ::kill(renderer.pid(), SIGTERM);
    renderer.waitForExit(10s);
    XDestroyWindow(display, parent);
    XSync(display, False);
    return inside;
  }();
  return drawsInside;
}

class WindowMode : public HostEndToEnd, public ::testing::WithParamInterface<Renderer> {
 protected:
  void SetUp() override {
    HostEndToEnd::SetUp();
    if (HasFatalFailure()) return;
    if (GetParam() == Renderer::StandIn) {
      useStandInRenderer();
    } else if (!shippedRendererDrawsIntoAWindow(display_)) {
      GTEST_SKIP() << "the shipped renderer does not draw into a given window yet";
    }
  }
};

TEST_P(WindowMode, DrawsInsideTheGivenWindowAndATermSignalEndsEverythingPromptly) {
  const Window window = makeWindow(40, 320, 240);
  Process& host = startHost({"--window-id", std::to_string(window), "-delay", "20000"});
  const Window renderer = litRendererInside(window);
  ASSERT_NE(renderer, 0u) << "no lit renderer window inside the given window";
  if (GetParam() == Renderer::StandIn) {
    EXPECT_NE(rendererLog().find(" --window-id " + std::to_string(window) + " --delay 20000\n"),
              std::string::npos)
        << rendererLog();
  }
  EXPECT_FALSE(pointerBlankOver(window)) << "the pointer is the daemon's";
  EXPECT_EQ(findWindow(display_, "Quorvane_Main"), 0u);  // no title that ends other starts
  // The screen size is left for the standalone renderer; the picture is handed over as ever,
  // and the temporary bitmap is gone.
  EXPECT_EQ(readFile(workFolder() / "Pellarin.ini").find("Width"), std::string::npos);
  const auto picture = decodeJpeg(readFile(workFolder() / "Pellarin.dat"));
  ASSERT_TRUE(picture.has_value());
  EXPECT_EQ(kBuiltInPictureSizes.count({picture->width, picture->height}), 1u);
  for (const fs::path& folder : {program(), workFolder()}) {
    for (const auto& entry : fs::directory_iterator(folder)) {
      EXPECT_EQ(entry.path().filename().string().rfind("Dumy", 0), std::string::npos)
          << entry.path();
    }
  }

  const auto asked = Clock::now();
  ::kill(host.pid(), SIGTERM);
  EXPECT_EQ(host.waitForExit(2s), 0);
  const double seconds = secondsUntilNothingRuns(asked, 2s);
  std::printf("[ figures  ] SIGTERM to host and renderer gone %.3f s\n", seconds);
  EXPECT_GE(seconds, 0) << "a program is still running 2 s after the signal";
  EXPECT_EQ(findWindowFrom(display_, window, "Quorvane_VC"), 0u);
}

// One host per monitor, as the daemon starts them: each draws in its own window, one plays the
// music, another takes it over when that one is killed, and nothing is left once they are gone.
TEST_P(WindowMode, HostsOnTwoWindowsDrawBothAndPlayTheMusicOnce) {
  // About a second of a tone as the music file (MP3: a WAV file is played only when the system
  // reports an audio output, which a machine without sound hardware does not).
  const fs::path music = folder_ / "loop.mp3";
  Process encoder(
      "/usr/bin/gst-launch-1.0",
      {"-q", "audiotestsrc", "num-buffers=43", "samplesperbuffer=1024", "!", "audioconvert", "!",
       "lamemp3enc", "!", "filesink", "location=" + music.string()});
  ASSERT_EQ(encoder.waitForExit(30s), 0);
  fs::create_directories(workFolder());
  put(workFolder() / "Pellarin.ini",
      "[Settings]\r\nBGM\x8B\xE6\x95\xAA= 2\r\nBGM\xCC\xA7\xB2\xD9=" + music.string() + "\r\n");

  // Each host records what it plays into a file of its own.
  const Window windows[2] = {makeWindow(0, 300, 200), makeWindow(400, 300, 200)};
  const fs::path heard[2] = {folder_ / "heard-0.raw", folder_ / "heard-1.raw"};
  Process* hosts[2] = {};
  for (int i = 0; i < 2; ++i) {
    ::setenv("PELLARIN_AUDIO_SINK",
             ("filesink buffer-mode=unbuffered append=true sync=true location=" + heard[i].string())
                 .c_str(),
             1);
    // The first as "--window-id", the second through the daemon's variable alone.
    if (i == 0) {
      hosts[i] = &startHost({"--window-id", std::to_string(windows[i])});
    } else {
      ::setenv("XSCREENSAVER_WINDOW", std::to_string(windows[i]).c_str(), 1);
      hosts[i] = &startHost({});
    }
  }
  ::unsetenv("XSCREENSAVER_WINDOW");
  for (const Window window : windows) EXPECT_NE(litRendererInside(window), 0u);

  const auto size = [](const fs::path& file) {
    std::error_code error;
    const auto bytes = fs::file_size(file, error);
    return error ? std::uintmax_t{0} : bytes;
  };
  ASSERT_TRUE(waitUntil([&] { return size(heard[0]) + size(heard[1]) > 0; }, 20s)) << "no music";
  std::this_thread::sleep_for(1500ms);
  const int player = size(heard[0]) > 0 ? 0 : 1;
  const int other = 1 - player;
  EXPECT_EQ(size(heard[other]), 0u) << "the music plays twice";

  // The player killed outright: its renderer goes with it, the other host takes the music.
  ::kill(hosts[player]->pid(), SIGKILL);
  EXPECT_TRUE(hosts[player]->waitForExit(5s).has_value());
  EXPECT_TRUE(
      waitUntil([&] { return findWindowFrom(display_, windows[player], "Quorvane_VC") == 0; }, 5s))
      << "the killed host's renderer runs on";
  EXPECT_TRUE(waitUntil([&] { return size(heard[other]) > 0; }, 10s)) << "no host took over";
  EXPECT_NE(findWindowFrom(display_, windows[other], "Quorvane_VC"), 0u);

  const auto asked = Clock::now();
  ::kill(hosts[other]->pid(), SIGTERM);
  EXPECT_EQ(hosts[other]->waitForExit(2s), 0);
  EXPECT_GE(secondsUntilNothingRuns(asked, 2s), 0) << "a program is still running";
  const std::uintmax_t final = size(heard[other]);
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(size(heard[other]), final) << "music after the end";
}

INSTANTIATE_TEST_SUITE_P(Renderers, WindowMode,
                         ::testing::Values(Renderer::StandIn, Renderer::Shipped), nameOf);

// A renderer that never shows a window: the host gives up on it after its watch, and ends it.
TEST_F(HostEndToEnd, ARendererThatNeverShowsAWindowIsEndedWhenTheHostGivesUp) {
  useStandInRenderer();
  ::setenv("PELLARIN_STAND_IN_NO_WINDOW", "1", 1);
  Process& host = startHost({"/S"});
  ASSERT_TRUE(waitUntil([&] { return !rendererLog().empty(); }, 10s)) << "no renderer started";
  EXPECT_EQ(host.waitForExit(30s), 0);
  EXPECT_GE(secondsUntilNothingRuns(Clock::now(), 2s), 0) << "the renderer runs on";
}

}  // namespace
}  // namespace pellarin::testing
