// The shipped programs from build/bin, run as the desktop would run them, on the test's own
// virtual X server. Each test copies the four files into a temporary program folder and points
// XDG_CONFIG_HOME and HOME at temporary folders.

// gtest first: the X11 headers define macros (None, Bool) that clash with it.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const char* const kShippedFiles[] = {"Pellarin", "Pellarin1.dll", "Pellarin2.dll", "kVeld.dll"};

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <typename Done>
bool waitUntil(Done done, std::chrono::milliseconds limit) {
  const auto end = Clock::now() + limit;
  while (!done() && Clock::now() < end) std::this_thread::sleep_for(10ms);
  return done();
}

// A started program with the test's environment; killed and reaped if a test leaves it running.
class Process {
 public:
  Process(const fs::path& program, std::vector<std::string> args) {
    args.insert(args.begin(), program.string());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
  }
  ~Process() {
    if (pid_ > 0 && !status_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  pid_t pid() const { return pid_; }
  bool running() { return !exited(); }
  // The exit status once the process has ended within the limit.
  std::optional<int> waitForExit(std::chrono::milliseconds limit) {
    waitUntil([&] { return exited(); }, limit);
    return status_;
  }

 private:
  bool exited() {
    int status = 0;
    if (!status_ && ::waitpid(pid_, &status, WNOHANG) == pid_) {
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return status_.has_value();
  }
  pid_t pid_ = -1;
  std::optional<int> status_;
};

class HostEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "pellarin-e2e-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    fs::create_directories(root_ / "program");
    for (const char* name : kShippedFiles) {
      ASSERT_TRUE(fs::exists(fs::path(PELLARIN_BIN_DIR) / name)) << name << ": build every target";
      fs::copy_file(fs::path(PELLARIN_BIN_DIR) / name, root_ / "program" / name);
    }
    ::setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    ::setenv("HOME", (root_ / "home").c_str(), 1);
    display_ = XOpenDisplay(nullptr);
    ASSERT_NE(display_, nullptr);
    // Windows of the programs come and go while the test looks at them.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  }
  void TearDown() override {
    if (display_ != nullptr) XCloseDisplay(display_);
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  std::unique_ptr<Process> startHost(const std::vector<std::string>& arguments) {
    auto process = std::make_unique<Process>(root_ / "program" / "Pellarin", arguments);
    EXPECT_GT(process->pid(), 0);
    return process;
  }
  fs::path workFolder() const { return root_ / "config" / "k_veld_temp"; }

  std::string textProperty(Window window, Atom property) {
    XTextProperty text{};
    if (XGetTextProperty(display_, window, &text, property) == 0 || text.value == nullptr)
      return {};
    std::string value(reinterpret_cast<const char*>(text.value), text.nitems);
    XFree(text.value);
    return value;
  }
  // Any window with this title in _NET_WM_NAME or WM_NAME, anywhere in the tree; with viewable,
  // only a shown one (the toolkit keeps a hidden window named after the program, too).
  Window findWindow(const std::string& title, bool viewable = false) {
    const Atom netWmName = XInternAtom(display_, "_NET_WM_NAME", False);
    std::vector<Window> pending{DefaultRootWindow(display_)};
    while (!pending.empty()) {
      const Window window = pending.back();
      pending.pop_back();
      XWindowAttributes attributes{};
      const bool shown = XGetWindowAttributes(display_, window, &attributes) != 0 &&
                         attributes.map_state == IsViewable;
      if ((shown || !viewable) &&
          (textProperty(window, netWmName) == title || textProperty(window, XA_WM_NAME) == title)) {
        return window;
      }
      Window root = 0, parent = 0, *children = nullptr;
      unsigned int n = 0;
      if (XQueryTree(display_, window, &root, &parent, &children, &n) != 0 && children) {
        pending.insert(pending.end(), children, children + n);
        XFree(children);
      }
    }
    return 0;
  }
  Window waitForWindow(const std::string& title, std::chrono::milliseconds limit,
                       bool viewable = false) {
    Window found = 0;
    waitUntil([&] { return (found = findWindow(title, viewable)) != 0; }, limit);
    return found;
  }
  void pressKey(KeySym key) {
    const KeyCode code = XKeysymToKeycode(display_, key);
    XTestFakeKeyEvent(display_, code, True, 0);
    XTestFakeKeyEvent(display_, code, False, 0);
    XSync(display_, False);
  }
  // True when any pixel of the window is not black.
  bool showsSomething(Window window) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display_, window, &attributes) == 0) return false;
    XImage* image = XGetImage(display_, window, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (image == nullptr) return false;
    bool lit = false;
    for (int y = 0; y < attributes.height && !lit; y += 2) {
      for (int x = 0; x < attributes.width && !lit; x += 2) {
        lit = (XGetPixel(image, x, y) & 0xFFFFFF) != 0;
      }
    }
    XDestroyImage(image);
    return lit;
  }
  // The size of Pellarin.dat when it decodes as a JPEG.
  std::optional<std::pair<int, int>> pictureSize() {
    const std::string bytes = readFile(workFolder() / "Pellarin.dat");
    tjhandle decoder = tjInitDecompress();
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    bool ok = tjDecompressHeader3(decoder, data, bytes.size(), &width, &height, &subsampling,
                                  &colourspace) == 0;
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * 3);
    ok = ok && tjDecompress2(decoder, data, bytes.size(), pixels.data(), width, 0, height, TJPF_RGB,
                             0) == 0;
    tjDestroy(decoder);
    if (!ok) return std::nullopt;
    return std::pair{width, height};
  }

  fs::path root_;
  Display* display_ = nullptr;
};

const std::set<std::pair<int, int>> kBuiltInPictureSizes = {{256, 256}, {128, 128}, {44, 128}};

TEST_F(HostEndToEndTest, RunModeHandsOverStartsTheRendererAndEndsAfterEscape) {
  const auto start = Clock::now();
  auto host = startHost({"/S"});
  const Window renderer = waitForWindow("Quorvane_VC", 30s);
  ASSERT_NE(renderer, 0u) << "the renderer's window never appeared";
  const bool frame = waitUntil([&] { return showsSomething(renderer); }, 30s);
  std::printf("[ figures  ] /S to first lit frame %.3f s%s\n",
              std::chrono::duration<double>(Clock::now() - start).count(),
              frame ? "" : " (no lit frame seen)");
  EXPECT_NE(findWindow("Quorvane_Main"), 0u);  // the host's hidden window, while run mode lasts

  const std::string settings = readFile(workFolder() / "Pellarin.ini");
  EXPECT_NE(settings.find("Width= " + std::to_string(DisplayWidth(display_, 0)) + "\r\n"),
            std::string::npos)
      << settings;
  EXPECT_NE(settings.find("Height= " + std::to_string(DisplayHeight(display_, 0)) + "\r\n"),
            std::string::npos)
      << settings;
  const auto size = pictureSize();
  ASSERT_TRUE(size.has_value()) << "Pellarin.dat is no JPEG";
  EXPECT_EQ(kBuiltInPictureSizes.count(*size), 1u) << size->first << 'x' << size->second;
  EXPECT_FALSE(fs::exists(root_ / "program" / "Dumy.bmp"));

  // A second start, in any mode, ends at once and starts nothing.
  for (const char* mode : {"/S", "/P 1234", "/C", ""}) {
    EXPECT_EQ(startHost({mode})->waitForExit(10s), 0) << mode;
  }
  EXPECT_TRUE(host->running());

  pressKey(XK_Escape);
  ASSERT_TRUE(waitUntil([&] { return findWindow("Quorvane_VC") == 0; }, 10s));
  const auto rendererGone = Clock::now();
  EXPECT_EQ(host->waitForExit(10s), 0);
  const double toExit = std::chrono::duration<double>(Clock::now() - rendererGone).count();
  std::printf("[ figures  ] renderer window gone to host exit %.3f s\n", toExit);
  // The watch looks every 500 ms; the bound leaves room for a loaded machine and still fails
  // when the host only ends by some other way than its watch.
  EXPECT_LT(toExit, 3.0);
  EXPECT_EQ(findWindow("Quorvane_Main"), 0u);
}

TEST_F(HostEndToEndTest, EveryBuiltInPictureIsHandedOverAcrossRuns) {
  // A stand-in renderer that ends at once keeps each run short; the picture is the host's.
  fs::remove(root_ / "program" / "Pellarin2.dll");
  std::ofstream(root_ / "program" / "Pellarin2.dll") << "#!/bin/sh\nexit 0\n";
  fs::permissions(root_ / "program" / "Pellarin2.dll", fs::perms::owner_all);
  std::set<std::pair<int, int>> seen;
  // The choice is seeded with the clock's seconds, so runs are spread over seconds.
  for (int run = 0; run < 40 && seen.size() < 3; ++run) {
    const auto started = Clock::now();
    ASSERT_EQ(startHost({"/S"})->waitForExit(20s), 0);
    const auto size = pictureSize();
    ASSERT_TRUE(size.has_value());
    EXPECT_EQ(kBuiltInPictureSizes.count(*size), 1u);
    seen.insert(*size);
    EXPECT_FALSE(fs::exists(root_ / "program" / "Dumy.bmp"));
    std::this_thread::sleep_until(started + 1100ms);
  }
  EXPECT_EQ(seen.size(), 3u);
}

TEST_F(HostEndToEndTest, MusicOfEachKindRunsWithTheSaverAndStopsWithIt) {
  ::setenv("PELLARIN_AUDIO_SINK", "fakesink sync=true", 1);
  ::setenv("PELLARIN_CD_DEVICE", (root_ / "no-drive").c_str(), 1);
  // A mono 16-bit PCM WAV file of 4000 silent samples at 22050 Hz.
  std::string wav(
      "RIFF\x64\x1F\0\0WAVEfmt \x10\0\0\0\1\0\1\0\x22\x56\0\0\x44\xAC\0\0\2\0\x10\0"
      "data\x40\x1F\0\0",
      44);
  wav.append(8000, '\0');
  std::ofstream(root_ / "loop.Wav", std::ios::binary) << wav;
  fs::create_directories(workFolder());
  // "BGM区分" and "BGMﾌｧｲﾙ" in code page 932.
  for (const std::string& settings :
       {"[Settings]\r\nBGM\x8B\xE6\x95\xAA= 2\r\nBGM\xCC\xA7\xB2\xD9=" +
            (root_ / "loop.Wav").string() + "\r\n",
        std::string("[Settings]\r\nBGM\x8B\xE6\x95\xAA= 1\r\n")}) {
    std::ofstream(workFolder() / "Pellarin.ini", std::ios::binary) << settings;
    auto host = startHost({"/S"});
    ASSERT_NE(waitForWindow("Quorvane_VC", 30s), 0u);
    std::this_thread::sleep_for(1500ms);  // the music plays (or the CD poll gives up)
    EXPECT_TRUE(host->running());
    pressKey(XK_Escape);
    EXPECT_EQ(host->waitForExit(10s), 0) << settings;
    EXPECT_TRUE(waitUntil([&] { return findWindow("Quorvane_VC") == 0; }, 10s));
  }
  ::unsetenv("PELLARIN_AUDIO_SINK");
  ::unsetenv("PELLARIN_CD_DEVICE");
}

TEST_F(HostEndToEndTest, TermSignalEndsRunModeAndLeavesTheRendererRunning) {
  auto host = startHost({"/s"});
  ASSERT_NE(waitForWindow("Quorvane_VC", 30s), 0u);
  ::kill(host->pid(), SIGTERM);
  EXPECT_EQ(host->waitForExit(10s), 0);
  EXPECT_EQ(findWindow("Quorvane_Main"), 0u);
  pressKey(XK_Escape);  // the renderer runs on by itself; Escape ends it
  EXPECT_TRUE(waitUntil([&] { return findWindow("Quorvane_VC") == 0; }, 10s));
}

TEST_F(HostEndToEndTest, AnOpenSettingsDialogKeepsEveryOtherStartOut) {
  auto dialog = startHost({"/c"});
  ASSERT_NE(waitForWindow("■Pellarin■", 20s, true), 0u) << "no settings dialog";
  for (const char* mode : {"/S", "/c", ""}) {
    EXPECT_EQ(startHost({mode})->waitForExit(10s), 0) << mode;
  }
  EXPECT_EQ(findWindow("Quorvane_VC"), 0u);
  EXPECT_FALSE(fs::exists(workFolder() / "Pellarin.dat"));
  EXPECT_TRUE(dialog->running());
}

TEST_F(HostEndToEndTest, AMissingCompanionIsReportedAndTheProgramEndsAfterOk) {
  fs::remove(root_ / "program" / "kVeld.dll");
  auto host = startHost({"/S"});
  const Window box = waitForWindow("Pellarin", 20s, true);
  ASSERT_NE(box, 0u) << "no message box";
  std::this_thread::sleep_for(300ms);  // the box waits for the user
  EXPECT_TRUE(host->running());
  EXPECT_TRUE(fs::is_directory(workFolder()));
  XSetInputFocus(display_, box, RevertToPointerRoot, CurrentTime);
  XSync(display_, False);
  std::this_thread::sleep_for(200ms);
  pressKey(XK_Return);
  EXPECT_EQ(host->waitForExit(10s), 0);
  EXPECT_EQ(findWindow("Quorvane_VC"), 0u);
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
        if (XQueryTree(display_, parent, &root, &up, &children, &n) != 0 && n == 1) {
          child = children[0];
        }
        if (children != nullptr) XFree(children);
        return child != 0;
      },
      20s));
  XWindowAttributes attributes{};
  ASSERT_NE(XGetWindowAttributes(display_, child, &attributes), 0);
  EXPECT_EQ(attributes.width, 200);
  EXPECT_EQ(attributes.height, 150);
  EXPECT_TRUE(waitUntil([&] { return showsSomething(child); }, 10s));
  EXPECT_FALSE(fs::exists(workFolder()));  // preview makes no folder

  XDestroyWindow(display_, parent);
  XSync(display_, False);
  EXPECT_EQ(host->waitForExit(10s), 0);
}

}  // namespace
