// Pellarin.scr as the Windows system runs it, under Wine on a virtual X server of the test's own,
// watched from the Linux side: the host's files, its windows as X sees them, keys through XTest,
// the debug channel (PELLARIN_DEBUG) and Wine's trace of winmm on the host's error output.
// Each test copies the four files into a program folder of its own and points the work folder
// (PELLARIN_WORK_FOLDER_PARENT) into its temporary folder; one Wine prefix serves them all.
//
// From CTest's environment: WINEPREFIX (a prefix of this test's own), PELLARIN_WINE_BIN (the
// build's bin/) and PELLARIN_WINE_TEST_WINDOW (the Windows helper of test_window_win32.cpp).

#include "tests/support/wine_support.h"  // first: gtest before Xlib

#include <X11/keysym.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <sstream>

namespace pellarin::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// The settings file's key names: code page 932 bytes.
const std::string kKindKey = "BGM\x8B\xE6\x95\xAA";
const std::string kTrackKey = "BGM\xD8\xCB\xDF\xB0\xC4";
const std::string kFileKey = "BGM\xCC\xA7\xB2\xD9";

const std::set<std::pair<int, int>> kBuiltInPictureSizes = {{256, 256}, {128, 128}, {44, 128}};

// Not the renderer's default size (1024 x 768), so that a size written is the screen's.
constexpr int kScreenWidth = 1152;
constexpr int kScreenHeight = 864;

std::size_t count(const std::string& text, const std::string& part) {
  std::size_t found = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++found;
  }
  return found;
}

// Text as Wine's trace shows it: backslashes and quotation marks escaped.
std::string wineTraceText(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    if (c == '\\' || c == '"') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

class HostUnderWineTest : public TempFolderTest {
 protected:
  static void SetUpTestSuite() {
    ASSERT_FALSE(variable("WINEPREFIX").empty()) << "run through CTest";
    ::setenv("PELLARIN_XVFB_SCREEN",
             (std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight) + "x24").c_str(),
             1);
    const auto started = Clock::now();
    prefix_ = std::make_unique<WinePrefix>(variable("WINEPREFIX"));
    ASSERT_TRUE(prefix_->booted());
    std::printf("[ figures  ] Wine prefix and X server ready in %.1f s\n",
                std::chrono::duration<double>(Clock::now() - started).count());
  }
  static void TearDownTestSuite() { prefix_.reset(); }

  void SetUp() override {
    TempFolderTest::SetUp();
    program_ = folder_ / "program";
    fs::create_directories(program_);
    const fs::path bin = variable("PELLARIN_WINE_BIN");
    for (const char* name : {"Pellarin.scr", "Pellarin1.dll", "Pellarin2.dll", "kVeld.dll"}) {
      ASSERT_TRUE(fs::exists(bin / name)) << name << ": build every target";
      fs::copy_file(bin / name, program_ / name);
    }
    ::setenv("PELLARIN_WORK_FOLDER_PARENT", windowsPath(folder_ / "config").c_str(), 1);
    ::setenv("PELLARIN_DEBUG", "1", 1);
    ::unsetenv("WINEDEBUG");
    ASSERT_NE(display_ = openDisplay(), nullptr);
  }
  void TearDown() override {
    if (display_ != nullptr) XCloseDisplay(display_);
    TempFolderTest::TearDown();
  }

  std::unique_ptr<Process> startHost(const std::vector<std::string>& arguments,
                                     const std::string& log = "host.log") {
    return prefix_->start(program_ / "Pellarin.scr", arguments, folder_ / log);
  }
  std::unique_ptr<Process> startTestWindow(const std::string& role, const fs::path& report) {
    return prefix_->start(variable("PELLARIN_WINE_TEST_WINDOW"), {role, windowsPath(report)});
  }
  fs::path workFolder() const { return folder_ / "config" / "k_veld_temp"; }
  void writeSettings(const std::string& lines) {
    fs::create_directories(workFolder());
    put(workFolder() / "Pellarin.ini", "[Settings]\r\n" + lines);
  }
  // Wine gives a window the keyboard when it is told so, or when the pointer is over it.
  void pressKeyIn(Window window, unsigned long keysym) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(display_, window, &attributes);
    XWarpPointer(display_, 0, window, 0, 0, 0, 0, attributes.width / 2, attributes.height / 2);
    XSetInputFocus(display_, window, RevertToPointerRoot, CurrentTime);
    XSync(display_, False);
    std::this_thread::sleep_for(300ms);
    pressKey(display_, keysym);
  }
  // Runs /S until the renderer's window shows, then ends it with Escape; the host's exit code.
  std::optional<int> runUntilEscape(std::chrono::milliseconds showing, const std::string& log) {
    auto host = startHost({"/S"}, log);
    const Window renderer = waitForWindow(display_, "Quorvane_VC", 60s, true);
    EXPECT_NE(renderer, 0u) << readFile(folder_ / log);
    if (renderer == 0) return std::nullopt;
    std::this_thread::sleep_for(showing);
    pressKeyIn(renderer, XK_Escape);
    return host->waitForExit(20s);
  }

  static inline std::unique_ptr<WinePrefix> prefix_;
  fs::path program_;
  Display* display_ = nullptr;
};

TEST_F(HostUnderWineTest, RunModeHandsOverStartsTheRendererAndEndsAfterEscape) {
  const auto start = Clock::now();
  auto host = startHost({"/S"});
  const Window renderer = waitForWindow(display_, "Quorvane_VC", 60s, true);
  ASSERT_NE(renderer, 0u) << "the renderer's window never appeared\n"
                          << readFile(folder_ / "host.log");
  EXPECT_TRUE(waitUntil([&] { return showsSomething(display_, renderer); }, 30s));
  std::printf("[ figures  ] /S to the renderer's lit window %.3f s\n",
              std::chrono::duration<double>(Clock::now() - start).count());

  const std::string settings = readFile(workFolder() / "Pellarin.ini");
  EXPECT_NE(settings.find("Width= " + std::to_string(kScreenWidth) + "\r\n"), std::string::npos)
      << settings;
  EXPECT_NE(settings.find("Height= " + std::to_string(kScreenHeight) + "\r\n"), std::string::npos)
      << settings;
  const auto picture = decodeJpeg(readFile(workFolder() / "Pellarin.dat"));
  ASSERT_TRUE(picture.has_value()) << "Pellarin.dat is no JPEG";
  EXPECT_EQ(kBuiltInPictureSizes.count({picture->width, picture->height}), 1u)
      << picture->width << 'x' << picture->height;
  for (const fs::path& folder : {program_, workFolder()}) {
    for (const auto& entry : fs::directory_iterator(folder)) {
      EXPECT_FALSE(entry.path().filename().string().starts_with("Dumy")) << entry;
    }
  }
  // Started once, with no arguments.
  const auto started = [&] {
    return count(readFile(folder_ / "host.log"), "host: started renderer ");
  };
  EXPECT_EQ(started(), 1u) << readFile(folder_ / "host.log");
  EXPECT_NE(readFile(folder_ / "host.log").find(" with 0 arguments"), std::string::npos);

  // A second start, in any mode, ends at once and starts nothing.
  for (const char* mode : {"/S", "/P 1234", "/C", "/c:99", ""}) {
    std::vector<std::string> arguments;
    std::istringstream words(mode);
    for (std::string word; words >> word;) arguments.push_back(word);
    EXPECT_EQ(startHost(arguments, "second.log")->waitForExit(20s), 0) << mode;
    EXPECT_NE(readFile(folder_ / "second.log").find("another copy is running"), std::string::npos)
        << mode << ": " << readFile(folder_ / "second.log");
  }
  EXPECT_EQ(started(), 1u);
  EXPECT_TRUE(host->running());

  pressKeyIn(renderer, XK_Escape);
  const auto escape = Clock::now();
  EXPECT_EQ(host->waitForExit(10s), 0);
  const double toExit = std::chrono::duration<double>(Clock::now() - escape).count();
  std::printf("[ figures  ] Escape to host exit %.3f s\n", toExit);
  // The watch looks every 500 ms, and Wine without a window manager keeps a destroyed window
  // for about 2 s more; the bound leaves room for a loaded machine and still fails when the
  // host only ends by some other way than its watch.
  EXPECT_LT(toExit, 6.0);
  // The renderer had ended by itself: the host never had to ask it.
  for (const char* ending : {"asking renderer", "ending renderer"}) {
    EXPECT_EQ(count(readFile(folder_ / "host.log"), ending), 0u) << readFile(folder_ / "host.log");
  }
  EXPECT_TRUE(waitUntil([&] { return findWindow(display_, "Quorvane_VC", true) == 0; }, 10s));
}

TEST_F(HostUnderWineTest, PreviewsLiveInTheirGivenWindowsUntilTheyAreDestroyed) {
  // Two at once, in both spellings of the command line.
  const fs::path reports[] = {folder_ / "parent1", folder_ / "parent2"};
  std::vector<std::unique_ptr<Process>> parents;
  std::vector<std::string> numbers;
  for (const fs::path& report : reports) {
    parents.push_back(startTestWindow("parent", report));
    ASSERT_TRUE(waitUntil([&] { return fs::exists(report); }, 30s)) << "no parent window";
    numbers.push_back(readFile(report).substr(0, readFile(report).find('\n')));
  }
  std::vector<std::unique_ptr<Process>> hosts;
  hosts.push_back(startHost({"/p", numbers[0]}, "preview1.log"));
  hosts.push_back(startHost({"/P:" + numbers[1]}, "preview2.log"));

  // Wine draws no child window of another process, so what the preview shows is read in
  // host_win32_adapters_test, where the parent is the test's own; here its place and its life.
  for (std::size_t i = 0; i < 2; ++i) {
    put(reports[i].string() + ".destroy", "");
    ASSERT_TRUE(waitUntil([&] { return fs::exists(reports[i].string() + ".children"); }, 40s));
    EXPECT_EQ(readFile(reports[i].string() + ".children"),
              "1 200x150 shown child \"Preview Window\" of another process\n")
        << readFile(folder_ / ("preview" + std::to_string(i + 1) + ".log"));
    EXPECT_EQ(hosts[i]->waitForExit(20s), 0) << "the preview outlived its window";
    EXPECT_EQ(parents[i]->waitForExit(20s), 0);
  }
  EXPECT_FALSE(fs::exists(workFolder()));  // a preview makes no folder
}

TEST_F(HostUnderWineTest, AMissingCompanionIsShownInJapaneseAndTheHostEndsAfterOk) {
  fs::remove(program_ / "kVeld.dll");
  auto host = startHost({"/S"});
  auto reader = startTestWindow("message", folder_ / "message");
  ASSERT_EQ(reader->waitForExit(60s), 0) << "no message box\n" << readFile(folder_ / "host.log");
  EXPECT_EQ(readFile(folder_ / "message"), "Pellarin\nkVeld.dll が同じﾌｫﾙﾀﾞに見つかりません！\n");
  EXPECT_EQ(host->waitForExit(20s), 0);
  EXPECT_TRUE(fs::is_directory(workFolder()));
  EXPECT_FALSE(fs::exists(workFolder() / "Pellarin.ini"));  // the size comes after the check
  EXPECT_EQ(count(readFile(folder_ / "host.log"), "started renderer"), 0u);
}

// Wine has neither a CD drive nor an audio renderer here: the command strings reach winmm and
// fail as the system's would, and nothing hangs or ends early.
TEST_F(HostUnderWineTest, MusicCommandsReachWinmmAndTheirFailuresEndNothing) {
  ::setenv("WINEDEBUG", "trace+mci", 1);

  // The audio CD: the first poll finds no device and polling stops for good; the CD is not
  // stopped at the end.
  writeSettings(kKindKey + "= 1\r\n" + kTrackKey + "= 0\r\n");
  ASSERT_EQ(runUntilEscape(2s, "cd.log"), 0);
  const std::string cd = readFile(folder_ / "cd.log");
  EXPECT_NE(cd.find(R"(mciSendStringW (L"open cdaudio",)"), std::string::npos) << cd;
  EXPECT_NE(cd.find("music: mciSendStringA \"open cdaudio\" -> 266"), std::string::npos) << cd;
  EXPECT_EQ(count(cd, "music: mciSendStringA \"status cdaudio current track\" -> 266"), 1u) << cd;
  EXPECT_EQ(count(cd, "status cdaudio number of tracks"), 0u);
  EXPECT_EQ(count(cd, "stop cdaudio"), 0u);
  EXPECT_TRUE(fs::exists(workFolder() / "Pellarin.music.lock"));

  // An MP3: the open fails, so nothing plays; each second the status query fails and the
  // restart is sent and fails; the end stops and closes.
  fs::create_directories(folder_ / "music");
  put(folder_ / "music" / "loop.mp3", std::string("ID3\x03") + std::string(1024, '\0'));
  const std::string mp3Path = windowsPath(folder_ / "music" / "loop.mp3");
  writeSettings(kKindKey + "= 2\r\n" + kTrackKey + "= 0\r\n" + kFileKey + "=" + mp3Path + "\r\n");
  ASSERT_EQ(runUntilEscape(2500ms, "mp3.log"), 0);
  const std::string mp3 = readFile(folder_ / "mp3.log");
  const std::string open = "open \"" + mp3Path + "\" type MPEGVideo Alias MP3Play";
  EXPECT_NE(mp3.find("mciSendStringW (L\"" + wineTraceText(open) + "\","), std::string::npos)
      << mp3;
  EXPECT_NE(mp3.find("music: mciSendStringA \"" + open + "\" -> 277"), std::string::npos) << mp3;
  EXPECT_EQ(count(mp3, "music: mciSendStringA \"play MP3Play\" "), 0u);
  EXPECT_GE(count(mp3, "music: mciSendStringA \"status MP3Play mode\" -> "), 2u) << mp3;
  EXPECT_GE(count(mp3, "music: mciSendStringA \"play MP3Play from 0\" -> "), 2u) << mp3;
  EXPECT_NE(mp3.find("music: mciSendStringA \"close MP3Play\" -> "), std::string::npos) << mp3;

  // A WAV: no waveform output here, so no sound is started; the end stops the sound all the
  // same, which stops nothing.
  put(folder_ / "music" / "loop.wav", "RIFF");
  writeSettings(kKindKey + "= 2\r\n" + kTrackKey + "= 0\r\n" + kFileKey + "=" +
                windowsPath(folder_ / "music" / "loop.wav") + "\r\n");
  ASSERT_EQ(runUntilEscape(1s, "wav.log"), 0);
  const std::string wav = readFile(folder_ / "wav.log");
  EXPECT_NE(wav.find("music: waveOutGetNumDevs -> 0"), std::string::npos) << wav;
  EXPECT_EQ(count(wav, "PlaySoundA looping"), 0u) << wav;
  EXPECT_EQ(count(wav, "PlaySoundA stop -> 1"), 1u) << wav;
  EXPECT_EQ(count(wav, "mciSendString"), 0u) << wav;
}

}  // namespace
}  // namespace pellarin::testing
