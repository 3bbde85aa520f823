// The shipped programs from build/bin, run as the desktop would run them, on the test's own
// virtual X server. Each test copies the four files into a temporary program folder and points
// XDG_CONFIG_HOME and HOME at temporary folders.

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
  while (Clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return done();
}

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A started program; killed and reaped if a test leaves it running.
class Process {
 public:
  Process(const fs::path& program, const std::vector<std::string>& arguments,
          const std::vector<std::string>& environment) {
    std::vector<std::string> args{program.string()};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = environment;
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    if (posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) {
      pid_ = -1;
    }
  }
  ~Process() {
    if (pid_ > 0 && !exited_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  // The exit status once the process has ended within the limit.
  std::optional<int> waitForExit(std::chrono::milliseconds limit) {
    waitUntil([&] { return poll(); }, limit);
    if (!exited_) return std::nullopt;
    return status_;
  }
  bool running() { return !poll(); }

 private:
  bool poll() {
    if (exited_) return true;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      exited_ = true;
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return exited_;
  }
  pid_t pid_ = -1;
  bool exited_ = false;
  int status_ = -1;
};

class HostEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : kShippedFiles) {
      if (!fs::exists(fs::path(PELLARIN_BIN_DIR) / name)) {
        FAIL() << name << " is not in " << PELLARIN_BIN_DIR << ": build every shipped target";
      }
    }
    std::string pattern = (fs::temp_directory_path() / "pellarin-e2e-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    program_ = root_ / "program";
    fs::create_directories(program_);
    for (const char* name : kShippedFiles) {
      fs::copy_file(fs::path(PELLARIN_BIN_DIR) / name, program_ / name);
    }
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

  std::vector<std::string> environment() const {
    std::vector<std::string> env{"XDG_CONFIG_HOME=" + (root_ / "config").string(),
                                 "HOME=" + (root_ / "home").string(), "PATH=/usr/bin:/bin"};
    for (const char* name :
         {"DISPLAY", "PELLARIN_DEBUG", "LIBGL_ALWAYS_SOFTWARE", "ASAN_OPTIONS", "LSAN_OPTIONS",
          "UBSAN_OPTIONS", "PELLARIN_AUDIO_SINK", "PELLARIN_CD_DEVICE"}) {
      if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
    }
    return env;
  }
  std::unique_ptr<Process> startHost(const std::vector<std::string>& arguments) {
    auto process = std::make_unique<Process>(program_ / "Pellarin", arguments, environment());
    EXPECT_TRUE(process->started());
    return process;
  }
  fs::path workFolder() const { return root_ / "config" / "k_veld_temp"; }

  // Any window with this title (WM_NAME or _NET_WM_NAME), anywhere in the tree.
  // viewable: only a window that is shown (the toolkit keeps a hidden window named after the
  // program, too).
  Window findWindow(const std::string& title, bool viewable = false) {
    const Atom netWmName = XInternAtom(display_, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display_, "UTF8_STRING", False);
    std::vector<Window> pending{DefaultRootWindow(display_)};
    while (!pending.empty()) {
      const Window window = pending.back();
      pending.pop_back();
      XWindowAttributes attributes{};
      const bool shown = XGetWindowAttributes(display_, window, &attributes) != 0 &&
                         attributes.map_state == IsViewable;
      Atom type = None;
      int format = 0;
      unsigned long count = 0, remaining = 0;
      unsigned char* data = nullptr;
      if (XGetWindowProperty(display_, window, netWmName, 0, 256, False, utf8, &type, &format,
                             &count, &remaining, &data) == Success &&
          data != nullptr) {
        const bool match = std::string(reinterpret_cast<char*>(data), count) == title;
        XFree(data);
        if (match && (shown || !viewable)) return window;
      } else if (data != nullptr) {
        XFree(data);
      }
      char* name = nullptr;
      if (XFetchName(display_, window, &name) != 0 && name != nullptr) {
        const bool match = title == name;
        XFree(name);
        if (match && (shown || !viewable)) return window;
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
    waitUntil(
        [&] {
          found = findWindow(title, viewable);
          return found != 0;
        },
        limit);
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

  fs::path root_;
  fs::path program_;
  Display* display_ = nullptr;
};

std::optional<std::pair<int, int>> jpegSize(const std::string& bytes) {
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

bool isBuiltInPictureSize(std::pair<int, int> size) {
  return size == std::pair{256, 256} || size == std::pair{128, 128} || size == std::pair{44, 128};
}

TEST_F(HostEndToEndTest, RunModeHandsOverStartsTheRendererAndEndsAfterEscape) {
  const auto start = Clock::now();
  auto host = startHost({"/S"});
  const Window renderer = waitForWindow("Quorvane_VC", 30s);
  ASSERT_NE(renderer, 0u) << "the renderer's window never appeared";
  const double toWindow = secondsSince(start);
  const bool frame = waitUntil([&] { return showsSomething(renderer); }, 30s);
  const double toFrame = secondsSince(start);
  std::printf("[ figures  ] /S to renderer window %.3f s, to first lit frame %.3f s%s\n", toWindow,
              toFrame, frame ? "" : " (no lit frame seen)");

  // The host's hidden window is there for as long as run mode lasts.
  EXPECT_NE(findWindow("Quorvane_Main"), 0u);
  EXPECT_TRUE(host->running());

  const std::string settings = readFile(workFolder() / "Pellarin.ini");
  const int screenWidth = DisplayWidth(display_, DefaultScreen(display_));
  const int screenHeight = DisplayHeight(display_, DefaultScreen(display_));
  EXPECT_NE(settings.find("Width= " + std::to_string(screenWidth) + "\r\n"), std::string::npos)
      << settings;
  EXPECT_NE(settings.find("Height= " + std::to_string(screenHeight) + "\r\n"), std::string::npos)
      << settings;
  const auto size = jpegSize(readFile(workFolder() / "Pellarin.dat"));
  ASSERT_TRUE(size.has_value()) << "Pellarin.dat is no JPEG";
  EXPECT_TRUE(isBuiltInPictureSize(*size)) << size->first << 'x' << size->second;
  EXPECT_FALSE(fs::exists(program_ / "Dumy.bmp"));

  // A second start, in any mode, ends at once and starts nothing.
  for (const char* mode : {"/S", "/P 1234", "/C", ""}) {
    auto second = startHost({mode});
    EXPECT_EQ(second->waitForExit(10s), 0) << mode;
  }
  EXPECT_TRUE(host->running());

  pressKey(XK_Escape);
  const auto escaped = Clock::now();
  EXPECT_TRUE(waitUntil([&] { return findWindow("Quorvane_VC") == 0; }, 10s));
  EXPECT_EQ(host->waitForExit(10s), 0);
  std::printf("[ figures  ] Escape to host exit %.3f s\n", secondsSince(escaped));
  EXPECT_EQ(findWindow("Quorvane_Main"), 0u);
}

// A mono 16-bit PCM WAV file of silence.
void writeSilentWav(const fs::path& path, int samples) {
  std::string file = "RIFF....WAVEfmt ";
  auto put = [&](std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) file += static_cast<char>(value >> (8 * i));
  };
  put(16, 4);
  put(1, 2);
  put(1, 2);
  put(22050, 4);
  put(44100, 4);
  put(2, 2);
  put(16, 2);
  file += "data";
  put(static_cast<std::uint32_t>(samples * 2), 4);
  file.append(static_cast<std::size_t>(samples * 2), '\0');
  const auto riffSize = static_cast<std::uint32_t>(file.size() - 8);
  for (int i = 0; i < 4; ++i)
    file[static_cast<std::size_t>(4 + i)] = static_cast<char>(riffSize >> (8 * i));
  std::ofstream(path, std::ios::binary) << file;
}

TEST_F(HostEndToEndTest, MusicOfEachKindRunsWithTheSaverAndStopsWithIt) {
  setenv("PELLARIN_AUDIO_SINK", "fakesink sync=true", 1);
  setenv("PELLARIN_CD_DEVICE", (root_ / "no-drive").c_str(), 1);
  const fs::path wav = root_ / "loop.Wav";
  writeSilentWav(wav, 4000);
  fs::create_directories(workFolder());
  // "BGM区分" and "BGMﾌｧｲﾙ" in code page 932.
  const std::string kind = "BGM\x8B\xE6\x95\xAA";
  const std::string file = "BGM\xCC\xA7\xB2\xD9";
  for (const std::string& settings :
       {"[Settings]\r\n" + kind + "= 2\r\n" + file + "=" + wav.string() + "\r\n",
        "[Settings]\r\n" + kind + "= 1\r\n"}) {
    std::ofstream(workFolder() / "Pellarin.ini", std::ios::binary) << settings;
    auto host = startHost({"/S"});
    ASSERT_NE(waitForWindow("Quorvane_VC", 30s), 0u);
    std::this_thread::sleep_for(1500ms);  // the music plays (or the CD poll gives up)
    EXPECT_TRUE(host->running());
    pressKey(XK_Escape);
    EXPECT_EQ(host->waitForExit(10s), 0) << settings;
    EXPECT_TRUE(waitUntil([&] { return findWindow("Quorvane_VC") == 0; }, 10s));
  }
  unsetenv("PELLARIN_AUDIO_SINK");
  unsetenv("PELLARIN_CD_DEVICE");
}

TEST_F(HostEndToEndTest, TermSignalEndsRunModeLikeTheRenderersEnd) {
  auto host = startHost({"/s"});
  ASSERT_NE(waitForWindow("Quorvane_VC", 30s), 0u);
  ::kill(host->pid(), SIGTERM);
  EXPECT_EQ(host->waitForExit(10s), 0);
  EXPECT_EQ(findWindow("Quorvane_Main"), 0u);
  // The renderer runs on by itself; Escape ends it.
  pressKey(XK_Escape);
  EXPECT_TRUE(waitUntil([&] { return findWindow("Quorvane_VC") == 0; }, 10s));
}

TEST_F(HostEndToEndTest, AnOpenSettingsDialogKeepsEveryOtherStartOut) {
  auto dialog = startHost({"/c"});
  ASSERT_NE(waitForWindow("■Pellarin■", 20s, true), 0u) << "no settings dialog";
  for (const char* mode : {"/S", "/c", ""}) {
    auto second = startHost({mode});
    EXPECT_EQ(second->waitForExit(10s), 0) << mode;
  }
  EXPECT_EQ(findWindow("Quorvane_VC"), 0u);
  EXPECT_FALSE(fs::exists(workFolder() / "Pellarin.dat"));
  EXPECT_TRUE(dialog->running());
}

TEST_F(HostEndToEndTest, EveryBuiltInPictureIsHandedOverAcrossRuns) {
  // A stand-in renderer that ends at once keeps each run short; the picture is the host's.
  fs::remove(program_ / "Pellarin2.dll");
  {
    std::ofstream script(program_ / "Pellarin2.dll");
    script << "#!/bin/sh\nexit 0\n";
  }
  fs::permissions(program_ / "Pellarin2.dll", fs::perms::owner_all);
  std::set<std::pair<int, int>> seen;
  // The choice is seeded with the clock's seconds, so runs are spread over seconds.
  for (int run = 0; run < 40 && seen.size() < 3; ++run) {
    const auto started = Clock::now();
    auto host = startHost({"/S"});
    ASSERT_EQ(host->waitForExit(20s), 0);
    const auto size = jpegSize(readFile(workFolder() / "Pellarin.dat"));
    ASSERT_TRUE(size.has_value());
    EXPECT_TRUE(isBuiltInPictureSize(*size));
    seen.insert(*size);
    EXPECT_FALSE(fs::exists(program_ / "Dumy.bmp"));
    std::this_thread::sleep_until(started + 1100ms);
  }
  EXPECT_EQ(seen.size(), 3u);
}

TEST_F(HostEndToEndTest, AMissingCompanionIsReportedAndTheProgramEndsAfterOk) {
  fs::remove(program_ / "kVeld.dll");
  auto host = startHost({"/S"});
  const Window dialog = waitForWindow("Pellarin", 20s, true);
  ASSERT_NE(dialog, 0u) << "no message box";
  EXPECT_TRUE(host->running());
  EXPECT_TRUE(fs::is_directory(workFolder()));
  EXPECT_FALSE(fs::exists(workFolder() / "Pellarin.dat"));
  // The box waits for the user: press Return on it.
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(host->running());
  XSetInputFocus(display_, dialog, RevertToPointerRoot, CurrentTime);
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

TEST_F(HostEndToEndTest, APreviewNumberNamingNoWindowEndsCleanly) {
  const Window gone =
      XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 5, 5, 0, 0, 0);
  XDestroyWindow(display_, gone);
  XSync(display_, False);
  for (const std::string& number : {std::to_string(gone), std::string("0"), std::string("abc")}) {
    auto host = startHost({"/p", number});
    EXPECT_EQ(host->waitForExit(10s), 0) << number;
  }
}

}  // namespace
