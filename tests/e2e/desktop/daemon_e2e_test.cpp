// Pellarin under the real screen-saver daemon (xscreensaver), installed into a temporary prefix
// and put into an ordinary user's list with the installed command, on a virtual X server with two
// screens: the daemon starts one host per screen in its own window, each shows the crystals
// there, the music (a WAV setting, recorded by a replacement output) plays once, nothing is
// written into the installed tree, and nothing of Pellarin runs 2 s after the daemon is told
// that the user is back.

#include "tests/e2e/desktop/installed_copy.h"  // first: gtest before Xlib

#include <X11/Xutil.h>
#include <signal.h>

#include <cstdio>

namespace pellarin::testing {
namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration duration) {
  return std::chrono::duration<double>(duration).count();
}

// What the recording output writes per second: 16-bit stereo at 44.1 kHz.
constexpr double kBytesPerSecond = 44100 * 2 * 2;

class UnderTheDaemon : public InstalledCopyTest {
 protected:
  void SetUp() override {
    InstalledCopyTest::SetUp();
    if (HasFatalFailure()) return;
    server_ =
        std::make_unique<VirtualXServer>(std::vector<std::string>{"1024x768x24", "800x600x24"});
    ASSERT_FALSE(server_->name().empty());
    ::setenv("DISPLAY", server_->name().c_str(), 1);
    ASSERT_NE(display_ = openDisplay(), nullptr);
    ASSERT_EQ(ScreenCount(display_), 2);

    // A WAV of half a second chosen as the music, in the user's own folders.
    const fs::path music = home() / "loop.wav";
    ASSERT_EQ(runCommand("/usr/bin/gst-launch-1.0",
                         {"-q", "audiotestsrc", "num-buffers=22", "samplesperbuffer=1000", "!",
                          "audio/x-raw,format=S16LE,rate=44100,channels=2", "!", "wavenc", "!",
                          "filesink", "location=" + music.string()}),
              0);
    fs::create_directories(workFolder());
    put(workFolder() / "Pellarin.ini",
        "[Settings]\r\nBGM\x8B\xE6\x95\xAA= 2\r\nBGM\xCC\xA7\xB2\xD9=" + music.string() + "\r\n");
    // The daemon's own settings: only Pellarin, at once, never locked, no fading; then
    // Pellarin put into its list as a user does it.
    put(home() / ".xscreensaver",
        "mode:\t\tone\nselected:\t0\ntimeout:\t1:00:00\ncycle:\t\t0:00:00\nlock:\t\tFalse\n"
        "fade:\t\tFalse\nunfade:\t\tFalse\nsplash:\t\tFalse\n");
    std::string output;
    ASSERT_EQ(runAsUser({(prefix() / "bin" / "pellarin-add-to-xscreensaver").string()}, &output), 0)
        << output;
    if (::geteuid() == 0) {
      ASSERT_EQ(runCommand("/usr/bin/chown", {"-R", "nobody:nogroup", home().string()}), 0);
    }

    const CommandLine daemon = asOrdinaryUser(
        daemonEnvironment(), {"xscreensaver", "--no-splash", "--log", log().string()});
    daemon_ = std::make_unique<Process>(daemon.program, daemon.args);
  }

  void TearDown() override {
    if (daemon_ != nullptr) {
      runAsUser({"xscreensaver-command", "-exit"});
      daemon_->waitForExit(5s);
    }
    daemon_.reset();
    for (const pid_t left : runningProcessesIn(programFolder())) ::kill(left, SIGKILL);
    if (display_ != nullptr) XCloseDisplay(display_);
    server_.reset();
    if (HasFailure()) std::printf("--- daemon log ---\n%s\n", readFile(log()).c_str());
    InstalledCopyTest::TearDown();
  }

  fs::path log() const { return home() / "daemon.log"; }
  fs::path heard() const { return home() / "heard.raw"; }
  std::vector<std::string> daemonEnvironment() const {
    std::vector<std::string> variables = userEnvironment();
    // Every host that plays appends what it plays to one file, at the pace of a real output.
    variables.push_back(
        "PELLARIN_AUDIO_SINK=audioconvert ! audioresample ! "
        "audio/x-raw,format=S16LE,rate=44100,channels=2 ! filesink append=true "
        "buffer-mode=unbuffered sync=true location=" +
        heard().string());
    for (const char* name : {"LSAN_OPTIONS", "UBSAN_OPTIONS"}) {
      if (const char* value = ::getenv(name)) variables.push_back(name + std::string("=") + value);
    }
    // A sanitizer build's leak check at exit takes the programs a second or more, which the
    // 2 s after the deactivation are not about; the programs' own tests look for leaks.
    if (const char* value = ::getenv("ASAN_OPTIONS")) {
      variables.push_back("ASAN_OPTIONS=" + std::string(value) + ":detect_leaks=0");
    }
    return variables;
  }
  std::optional<int> runAsUser(const std::vector<std::string>& command,
                               std::string* output = nullptr) {
    const CommandLine line = asOrdinaryUser(daemonEnvironment(), command);
    return runCommand(line.program, line.args, output, 30s);
  }
  std::uintmax_t heardBytes() const {
    std::error_code error;
    const std::uintmax_t bytes = fs::file_size(heard(), error);
    return error ? 0 : bytes;
  }

  // The renderer's window on a screen, once it is lit in the middle third, where the crystals
  // grow; 0 until then.
  Window litRendererOn(int screen) {
    const Window renderer = findWindowFrom(display_, RootWindow(display_, screen), "Quorvane_VC");
    if (renderer == 0) return 0;
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display_, renderer, &attributes) == 0) return 0;
    const int width = attributes.width / 3, height = attributes.height / 3;
    for (const std::uint32_t pixel : pixels(display_, renderer, width, height, width, height)) {
      if (pixel != 0) return renderer;
    }
    return 0;
  }
  Window parentOf(Window window) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display_, window, &root, &parent, &children, &count) == 0) return 0;
    if (children != nullptr) XFree(children);
    return parent;
  }

  std::unique_ptr<VirtualXServer> server_;
  Display* display_ = nullptr;
  std::unique_ptr<Process> daemon_;
};

TEST_F(UnderTheDaemon, ShowsTheCrystalsOnEveryScreenPlaysTheMusicOnceAndEndsWithTheDaemon) {
  const int screens = ScreenCount(display_);
  const auto installed = installedTree();
  // The daemon answers once it has set itself up.
  std::string output;
  ASSERT_TRUE(waitUntil(
      [&] {
        return runAsUser({"xscreensaver-command", "-activate"}, &output) == 0;
      },
      30s, 200ms))
      << output;
  const auto activated = Clock::now();

  std::vector<Window> renderers(screens, 0);
  for (int screen = 0; screen < screens; ++screen) {
    ASSERT_TRUE(
        waitUntil([&] { return (renderers[screen] = litRendererOn(screen)) != 0; }, 60s, 20ms))
        << "no lit crystals on screen " << screen;
    std::printf("[ figures  ] screen %d: activation to the first lit frame %.3f s\n", screen,
                seconds(Clock::now() - activated));
    // Inside the daemon's window for that screen, at its size.
    const Window saver = parentOf(renderers[screen]);
    XClassHint hint{};
    ASSERT_NE(XGetClassHint(display_, saver, &hint), 0);
    EXPECT_STREQ(hint.res_class, "XScreenSaver");
    XFree(hint.res_name);
    XFree(hint.res_class);
    XWindowAttributes inner{}, outer{};
    XGetWindowAttributes(display_, renderers[screen], &inner);
    XGetWindowAttributes(display_, saver, &outer);
    EXPECT_EQ(inner.width, outer.width);
    EXPECT_EQ(inner.height, outer.height);
  }
  // A host and a renderer per screen.
  EXPECT_EQ(runningProcessesIn(programFolder()).size(), 2u * screens);

  // The music: one player writes at the pace of its clock; a second would about double that.
  // The count starts once the players are under way: a player held up at its start catches up
  // on its clock at once.
  ASSERT_TRUE(waitUntil([&] { return heardBytes() > 0; }, 30s)) << "no music";
  std::this_thread::sleep_for(2s);
  const std::uintmax_t before = heardBytes();
  const auto from = Clock::now();
  std::this_thread::sleep_for(8s);
  const double playedFor = seconds(Clock::now() - from);
  const double heardFor = static_cast<double>(heardBytes() - before) / kBytesPerSecond;
  std::printf("[ figures  ] %.2f s of music in %.2f s\n", heardFor, playedFor);
  EXPECT_GT(heardFor, 0.0) << "the music stopped";
  EXPECT_LT(heardFor, 1.5 * playedFor) << "the music plays more than once";

  // The user is back: the daemon ends its hacks, and with them every program of ours.
  ASSERT_EQ(runAsUser({"xscreensaver-command", "-deactivate"}, &output), 0) << output;
  const auto deactivated = Clock::now();
  EXPECT_TRUE(waitUntil([&] { return runningProcessesIn(programFolder()).empty(); }, 2s))
      << "a program of Pellarin still runs 2 s after the deactivation";
  std::printf("[ figures  ] deactivation to the last program gone %.3f s\n",
              seconds(Clock::now() - deactivated));
  const std::uintmax_t final = heardBytes();
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(heardBytes(), final) << "music after the end";
  EXPECT_EQ(installedTree(), installed) << "a program wrote into its installed folder";
}

}  // namespace
}  // namespace pellarin::testing
