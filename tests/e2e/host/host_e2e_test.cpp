// The shipped programs from build/bin, run as the desktop would run them, on the test's own
// virtual X server. Each test copies the four files into a temporary program folder and points
// XDG_CONFIG_HOME and HOME at temporary folders.

#include <X11/keysym.h>
#include <signal.h>
#include <stdlib.h>

#include <cstdio>
#include <set>

#include "tests/support/e2e_support.h"

namespace pellarin::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const char* const kShippedFiles[] = {"Pellarin", "Pellarin1.dll", "Pellarin2.dll", "kVeld.dll"};

class HostEndToEndTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    fs::create_directories(folder_ / "program");
    for (const char* name : kShippedFiles) {
      ASSERT_TRUE(fs::exists(fs::path(PELLARIN_BIN_DIR) / name)) << name << ": build every target";
      fs::copy_file(fs::path(PELLARIN_BIN_DIR) / name, folder_ / "program" / name);
    }
    ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
    ::setenv("HOME", (folder_ / "home").c_str(), 1);
    ASSERT_NE(display_ = openDisplay(), nullptr);
  }
  void TearDown() override {
    if (display_ != nullptr) {
      // A renderer a failed test left behind would hold the keyboard and spoil the next test.
      if (const Window left = findWindow(display_, "Quorvane_VC"); left != 0) {
        XKillClient(display_, left);
        XSync(display_, False);
      }
      XCloseDisplay(display_);
    }
    TempFolderTest::TearDown();
  }

  std::unique_ptr<Process> startHost(const std::vector<std::string>& arguments) {
    return std::make_unique<Process>(folder_ / "program" / "Pellarin", arguments);
  }
  fs::path workFolder() const { return folder_ / "config" / "k_veld_temp"; }
  // The size of Pellarin.dat when it decodes as a JPEG.
  std::optional<std::pair<int, int>> pictureSize() {
    const auto image = decodeJpeg(readFile(workFolder() / "Pellarin.dat"));
    if (!image) return std::nullopt;
    return std::pair{image->width, image->height};
  }

  Display* display_ = nullptr;
};

const std::set<std::pair<int, int>> kBuiltInPictureSizes = {{256, 256}, {128, 128}, {44, 128}};

TEST_F(HostEndToEndTest, RunModeHandsOverStartsTheRendererAndEndsAfterEscape) {
  const auto start = Clock::now();
  auto host = startHost({"/S"});
  const Window renderer = waitForWindow(display_, "Quorvane_VC", 30s);
  ASSERT_NE(renderer, 0u) << "the renderer's window never appeared";
  const bool frame = waitUntil([&] { return showsSomething(display_, renderer); }, 30s);
  std::printf("[ figures  ] /S to first lit frame %.3f s%s\n",
              std::chrono::duration<double>(Clock::now() - start).count(),
              frame ? "" : " (no lit frame seen)");
  EXPECT_NE(findWindow(display_, "Quorvane_Main"), 0u);  // the host's hidden window

  const std::string settings = readFile(workFolder() / "Pellarin.ini");
  for (const std::string& line : {"Width= " + std::to_string(DisplayWidth(display_, 0)),
                                  "Height= " + std::to_string(DisplayHeight(display_, 0))}) {
    EXPECT_NE(settings.find(line + "\r\n"), std::string::npos) << settings;
  }
  const auto size = pictureSize();
  ASSERT_TRUE(size.has_value()) << "Pellarin.dat is no JPEG";
  EXPECT_EQ(kBuiltInPictureSizes.count(*size), 1u) << size->first << 'x' << size->second;
  EXPECT_FALSE(fs::exists(folder_ / "program" / "Dumy.bmp"));
  for (const auto& entry : fs::directory_iterator(workFolder())) {
    EXPECT_EQ(entry.path().filename().string().rfind("Dumy", 0), std::string::npos) << entry;
  }

  // A second start, in any mode, ends at once and starts nothing.
  for (const char* mode : {"/S", "/P 1234", "/C", ""})
    EXPECT_EQ(startHost({mode})->waitForExit(10s), 0) << mode;
  EXPECT_TRUE(host->running());

  pressKey(display_, XK_Escape);
  ASSERT_TRUE(waitUntil([&] { return findWindow(display_, "Quorvane_VC") == 0; }, 10s));
  const auto rendererGone = Clock::now();
  EXPECT_EQ(host->waitForExit(10s), 0);
  const double toExit = std::chrono::duration<double>(Clock::now() - rendererGone).count();
  std::printf("[ figures  ] renderer window gone to host exit %.3f s\n", toExit);
  // The watch looks every 500 ms; the bound leaves room for a loaded machine and still fails
  // when the host only ends by some other way than its watch.
  EXPECT_LT(toExit, 3.0);
  EXPECT_EQ(findWindow(display_, "Quorvane_Main"), 0u);
}

TEST_F(HostEndToEndTest, EveryBuiltInPictureIsHandedOverAcrossRuns) {
  // A stand-in renderer that ends at once keeps each run short; the picture is the host's.
  fs::remove(folder_ / "program" / "Pellarin2.dll");
  std::ofstream(folder_ / "program" / "Pellarin2.dll") << "#!/bin/sh\nexit 0\n";
  fs::permissions(folder_ / "program" / "Pellarin2.dll", fs::perms::owner_all);
  std::set<std::pair<int, int>> seen;
  // The choice is seeded with the clock's seconds, so runs are spread over seconds.
  for (int run = 0; run < 40 && seen.size() < 3; ++run) {
    const auto started = Clock::now();
    ASSERT_EQ(startHost({"/S"})->waitForExit(20s), 0);
    const auto size = pictureSize();
    ASSERT_TRUE(size.has_value());
    seen.insert(*size);
    EXPECT_FALSE(fs::exists(folder_ / "program" / "Dumy.bmp"));
    std::this_thread::sleep_until(started + 1100ms);
  }
  EXPECT_EQ(seen, kBuiltInPictureSizes);  // each of them, and nothing else
}

// The system asking the host to end ends its renderer too: nothing would stop it afterwards.
TEST_F(HostEndToEndTest, TermSignalEndsRunModeAndTheRenderer) {
  auto host = startHost({"/s"});
  const Window renderer = waitForWindow(display_, "Quorvane_VC", 30s);
  ASSERT_NE(renderer, 0u);
  ASSERT_TRUE(waitUntil([&] { return showsSomething(display_, renderer); }, 30s));
  const auto asked = Clock::now();
  ::kill(host->pid(), SIGTERM);
  EXPECT_EQ(host->waitForExit(10s), 0);
  EXPECT_EQ(findWindow(display_, "Quorvane_Main"), 0u);
  EXPECT_TRUE(waitUntil([&] { return runningProcessesIn(folder_ / "program").empty(); }, 10s));
  std::printf("[ figures  ] /S: SIGTERM to host and renderer gone %.3f s\n",
              std::chrono::duration<double>(Clock::now() - asked).count());
  EXPECT_EQ(findWindow(display_, "Quorvane_VC"), 0u);
}

TEST_F(HostEndToEndTest, AMissingCompanionIsReportedAndTheProgramEndsAfterOk) {
  fs::remove(folder_ / "program" / "kVeld.dll");
  auto host = startHost({"/S"});
  const Window box = waitForWindow(display_, "Pellarin", 20s, true);
  ASSERT_NE(box, 0u) << "no message box";
  std::this_thread::sleep_for(300ms);  // the box waits for the user
  EXPECT_TRUE(host->running());
  EXPECT_TRUE(fs::is_directory(workFolder()));
  XSetInputFocus(display_, box, RevertToPointerRoot, CurrentTime);
  XSync(display_, False);
  std::this_thread::sleep_for(200ms);
  pressKey(display_, XK_Return);
  EXPECT_EQ(host->waitForExit(10s), 0);
  EXPECT_EQ(findWindow(display_, "Quorvane_VC"), 0u);
  EXPECT_FALSE(fs::exists(workFolder() / "Pellarin.ini"));
}

TEST_F(HostEndToEndTest, PreviewLivesInTheGivenWindowUntilItIsDestroyed) {
  const Window parent = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 10, 10, 200, 150,
                                            0, 0, WhitePixel(display_, 0));
  XMapWindow(display_, parent);
  XSync(display_, False);
  auto host = startHost({"/p", std::to_string(parent)});
  Window child = 0;
  ASSERT_TRUE(waitUntil(
      [&] {
        Window root = 0, up = 0, *children = nullptr;
        unsigned int n = 0;
        if (XQueryTree(display_, parent, &root, &up, &children, &n) && n == 1) child = children[0];
        if (children != nullptr) XFree(children);
        return child != 0;
      },
      20s));
  XWindowAttributes attributes{};
  ASSERT_NE(XGetWindowAttributes(display_, child, &attributes), 0);
  EXPECT_EQ(std::pair(attributes.width, attributes.height), std::pair(200, 150));
  EXPECT_TRUE(waitUntil([&] { return showsSomething(display_, child); }, 10s));
  EXPECT_FALSE(fs::exists(workFolder()));  // preview makes no folder

  XDestroyWindow(display_, parent);
  XSync(display_, False);
  EXPECT_EQ(host->waitForExit(10s), 0);
}

}  // namespace
}  // namespace pellarin::testing
