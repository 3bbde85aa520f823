#include "host/core/host_main.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "common/system_names.h"
#include "common/work_folder.h"
#include "host/core/command_line.h"
#include "host/core/host_texts.h"
#include "host/core/quorvane_b.h"
#include "host_test_support.h"

namespace pellarin {
namespace {

using Quorvane_B::MainResult;
using testing::readFile;

// One double for every seam of the start-up; `log` names the form action taken.
struct FakeStartUp final : WindowFinder, PointerControl, ScreenMetrics, UserMessage, StartUpForms {
  bool windowWithTitleExists(std::string_view title) override {
    lookups.emplace_back(title);
    return titles.count(std::string(title)) != 0;
  }
  bool windowWithTitleExistsInside(WindowId, std::string_view title) override {
    lookups.emplace_back(title);
    return false;
  }
  bool windowExists(WindowId window) override { return windows.count(window) != 0; }
  WindowId rootWindow() override { return kRoot; }
  std::int32_t showCursor(bool show) override {
    pointerCalls.push_back(show);
    return show ? 0 : -1;
  }
  ScreenSize primaryScreenSize() override { return size; }
  void showMessage(std::string_view text) override { messages.emplace_back(text); }
  void printMessage(std::string_view text) override { printed.emplace_back(text); }
  bool showPreview(std::int32_t parent) override {
    log = "preview " + std::to_string(parent);
    return previewWorks;
  }
  void showSettingsDialog() override { log = "dialog"; }
  void loadRunModeForm(const RunModeOptions& options) override {
    log = "run";
    runOptions = options;
    settingsAtLoad = readFile(settingsFilePath());
    kindAtLoad = Quorvane_B::musicKind;
  }

  static constexpr WindowId kRoot = 0x100;
  std::set<std::string> titles;
  std::set<WindowId> windows{kRoot, 0x2a, 0x2b};
  std::vector<std::string> lookups, messages, printed;
  RunModeOptions runOptions;
  std::vector<bool> pointerCalls;
  ScreenSize size{1280, 800};
  bool previewWorks = true;
  std::string log, settingsAtLoad;
  int kindAtLoad = -9;
};

class MainTest : public testing::IsolatedHostTest {
 protected:
  void SetUp() override {
    IsolatedHostTest::SetUp();
    programFolder_ = root() / "program";
    placeCompanions();
  }
  void placeCompanions() {
    std::filesystem::remove_all(programFolder_);
    for (const char* name : {kConverterLibraryName, kRendererFileName, kDecoderLibraryName})
      writeFile(programFolder_ / name, "ELF");
  }
  // A run with fresh doubles set up as setup_ is; the arguments are the line split at blanks.
  MainResult run(std::string_view commandLine,
                 std::optional<std::string_view> daemonWindow = std::nullopt) {
    fake_ = setup_;
    Quorvane_B::MainServices services{fake_, fake_, fake_, fake_, fake_, programFolder_};
    return Quorvane_B::Main(readHostArguments(words(commandLine), daemonWindow), services);
  }
  static std::vector<std::string> words(std::string_view line) {
    std::vector<std::string> result;
    std::istringstream in{std::string(line)};
    for (std::string word; in >> word;) result.push_back(word);
    return result;
  }

  std::filesystem::path programFolder_;
  FakeStartUp setup_, fake_;
};

TEST_F(MainTest, TheModeLetterDecidesFolderCheckAndForm) {
  // Command line, form shown ("" for none), keeps running, hides the pointer, makes the work
  // folder and checks the companions.
  const std::tuple<const char*, std::string, bool, bool, bool> cases[] = {
      {"-s", "run", true, true, true},
      {"/s 123", "run", true, true, true},
      {"", "run", true, false, true},
      {"S", "", false, false, true},
      {"/a", "", false, false, true},
      {"/c:5678", "dialog", false, false, true},
      {"/p 1234", "preview 1234", true, false, false},
      {"/P:1234", "preview 1234", true, false, false},
      {"/p", "preview 0", true, false, false},
  };
  for (const auto& [line, form, keepsRunning, hidesPointer, checks] : cases) {
    SCOPED_TRACE(std::string("\"") + line + '"');
    std::filesystem::remove_all(workFolder());
    placeCompanions();
    EXPECT_EQ(run(line) == MainResult::KeepRunning, keepsRunning);
    EXPECT_EQ(fake_.log, form);
    EXPECT_EQ(fake_.pointerCalls, hidesPointer ? std::vector<bool>{false} : std::vector<bool>{});
    EXPECT_EQ(std::filesystem::is_directory(workFolder()), checks);
    EXPECT_TRUE(fake_.messages.empty());
    // Only the run form gets the screen size, written before it loads.
    EXPECT_EQ(std::filesystem::exists(settingsFilePath()), form == "run");
    if (form == "run") {
      EXPECT_EQ(fake_.runOptions.pointerHiddenAtStart, hidesPointer);
      EXPECT_TRUE(fake_.runOptions.titled);
      EXPECT_FALSE(fake_.runOptions.window.has_value());
    }

    std::filesystem::remove(programFolder_ / kRendererFileName);
    const MainResult missing = run(line);
    if (checks) {
      EXPECT_EQ(missing, MainResult::End);
      EXPECT_EQ(fake_.log, "");
      EXPECT_TRUE(fake_.pointerCalls.empty());  // the pointer is hidden only after the check
      EXPECT_EQ(fake_.messages, std::vector<std::string>{kRendererMissingMessage});
    } else {
      EXPECT_EQ(fake_.log, form);
      EXPECT_TRUE(fake_.messages.empty());
    }
  }
}

TEST_F(MainTest, OnlyTheFirstMissingCompanionIsReported) {
  const std::pair<std::vector<const char*>, std::string> cases[] = {
      {{kConverterLibraryName, kRendererFileName, kDecoderLibraryName}, kConverterMissingMessage},
      {{kRendererFileName, kDecoderLibraryName}, kRendererMissingMessage},
      {{kDecoderLibraryName}, kDecoderMissingMessage},
  };
  for (const auto& [missing, message] : cases) {
    placeCompanions();
    for (const char* name : missing) std::filesystem::remove(programFolder_ / name);
    EXPECT_EQ(run("/S"), MainResult::End);
    EXPECT_EQ(fake_.messages, std::vector<std::string>{message});
  }
  placeCompanions();  // a folder in a companion's place counts as missing
  std::filesystem::remove(programFolder_ / kConverterLibraryName);
  std::filesystem::create_directories(programFolder_ / kConverterLibraryName);
  run("/S");
  EXPECT_EQ(fake_.messages, std::vector<std::string>{kConverterMissingMessage});
}

TEST_F(MainTest, ARunningCopyOrDialogEndsEveryModeAtOnce) {
  for (const char* title : {kRunModeWindowTitle, kDialogTitle}) {
    setup_.titles = {title};
    for (const char* line : {"/S", "/P 1234", "/C", ""}) {
      EXPECT_EQ(run(line), MainResult::End) << title << ' ' << line;
      // Both looks are made, whichever finds a window.
      EXPECT_EQ(fake_.lookups, (std::vector<std::string>{kRunModeWindowTitle, kDialogTitle}));
      EXPECT_EQ(fake_.log, "");
      EXPECT_TRUE(fake_.pointerCalls.empty());
    }
  }
  EXPECT_FALSE(std::filesystem::exists(workFolder()));
}

TEST_F(MainTest, RunModeWritesTheScreenSizeAndLoadsTheMusicSettingsFirst) {
  writeFile(settingsFilePath(), "[Settings]\r\nBGM\x8B\xE6\x95\xAA= 1\r\n");
  setup_.size = {40000, 768};  // too big for 16 bits: written as 0
  EXPECT_EQ(run("/S"), MainResult::KeepRunning);
  EXPECT_EQ(Quorvane_B::cursorHideResult, -1);
  EXPECT_EQ(fake_.kindAtLoad, 1);
  EXPECT_NE(fake_.settingsAtLoad.find("Width= 0\r\n"), std::string::npos);
  EXPECT_NE(fake_.settingsAtLoad.find("Height= 768\r\n"), std::string::npos);

  setup_.previewWorks = false;  // a number naming no window ends the program
  EXPECT_EQ(run("/p 99"), MainResult::End);
}

// A link in the work folder's place: the start-up reads none of the settings behind it and writes
// nothing there, and goes on with the defaults.
TEST_F(MainTest, ALinkInTheWorkFoldersPlaceIsNeitherReadNorWritten) {
  const std::filesystem::path elsewhere = root() / "elsewhere";
  const std::string settings = "[Settings]\r\nBGM\x8B\xE6\x95\xAA= 1\r\n";
  writeFile(elsewhere / kSettingsFileName, settings);
  std::filesystem::create_directories(workFolder().parent_path());
  if (!testing::makeFolderLink(workFolder(), elsewhere)) {
    GTEST_SKIP() << "no links on this system; common_work_folder_test meets planted ones";
  }
  EXPECT_EQ(run("/S"), MainResult::KeepRunning);
  EXPECT_EQ(fake_.kindAtLoad, 0);
  EXPECT_EQ(Quorvane_B::musicFolder, programFolder().string());
  EXPECT_EQ(readFile(elsewhere / kSettingsFileName), settings);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(elsewhere), {}), 1);
}

// Inside a window a screen-saver daemon gave: no single-instance rule (the daemon runs one host
// per monitor), no pointer hiding, no screen size written, a form without the run-mode title.
TEST_F(MainTest, InsideAGivenWindowRunModeLeavesTheStandaloneRulesAside) {
  setup_.titles = {kRunModeWindowTitle, kDialogTitle};
  // Arguments, XSCREENSAVER_WINDOW, the window run mode gets (0: the program ends at once).
  const std::tuple<const char*, const char*, WindowId> cases[] = {
      {"--window-id 42 --max-fps 30", nullptr, 42},
      {"-root", nullptr, FakeStartUp::kRoot},
      {"", "0x2b", 0x2b},
      {"--window-id 99", nullptr, 0},  // names no window
      {"--window-id x", "0x2a", 0},    // no usable number: the program cannot know where to draw
  };
  for (const auto& [line, daemonWindow, window] : cases) {
    SCOPED_TRACE(std::string(line) + " / " + (daemonWindow ? daemonWindow : "unset"));
    std::filesystem::remove_all(workFolder());
    const MainResult result =
        run(line, daemonWindow ? std::optional<std::string_view>(daemonWindow) : std::nullopt);
    EXPECT_EQ(result, window == 0 ? MainResult::End : MainResult::KeepRunning);
    EXPECT_EQ(fake_.log, window == 0 ? "" : "run");
    EXPECT_TRUE(fake_.lookups.empty() && fake_.pointerCalls.empty());
    EXPECT_FALSE(std::filesystem::exists(settingsFilePath()));
    EXPECT_EQ(std::filesystem::is_directory(workFolder()), window != 0);
    if (window == 0) continue;
    EXPECT_EQ(fake_.runOptions.window, std::optional<WindowId>(window));
    EXPECT_FALSE(fake_.runOptions.titled || fake_.runOptions.pointerHiddenAtStart);
  }
  run("--window-id 42 --max-fps 30");
  EXPECT_EQ(fake_.runOptions.pacing.maxFps, std::optional<std::uint32_t>(30));

  // A missing companion goes to the error output: nobody could answer a box behind the
  // daemon's window.
  std::filesystem::remove(programFolder_ / kDecoderLibraryName);
  EXPECT_EQ(run("--window-id 42"), MainResult::End);
  EXPECT_TRUE(fake_.log.empty() && fake_.messages.empty());
  EXPECT_EQ(fake_.printed, std::vector<std::string>{kDecoderMissingMessage});
}

TEST(CommandLine, DaemonOptionsAreTakenOutBeforeTheModeLetterRule) {
  // Arguments, XSCREENSAVER_WINDOW; what is left for the mode letter and the window read
  // ("root", a number, "none" or "unusable"); --delay and --max-fps (0: not passed on).
  const std::tuple<std::vector<std::string>, const char*, const char*, std::string, std::uint32_t,
                   std::uint32_t>
      cases[] = {
          {{"/p", "1234"}, "42", "/p 1234", "none", 0, 0},  // an explicit mode keeps its meaning
          {{"-s", "--delay", "20000"}, nullptr, "-s", "none", 20000, 0},
          {{"-root"}, nullptr, "", "root", 0, 0},
          {{"--root"}, "0x2A", "", "42", 0, 0},
          {{"--window-id", "0x2a", "--root"}, "7", "", "42", 0, 0},
          {{"-window-id=4294967295"}, nullptr, "", "4294967295", 0, 0},
          {{"--window-id"}, nullptr, "", "unusable", 0, 0},
          {{"--window-id", "4294967296", "/S"}, nullptr, "/S", "unusable", 0, 0},
          {{"--window-id", "-5"}, nullptr, "", "unusable", 0, 0},
          {{"--max-fps", "30", "-delay=7"}, "42", "", "42", 7, 30},  // the variable alone
          {{"--delay", "-1", "--max-fps", "0"}, nullptr, "", "none", 0, 0},
          {{"--rooted", "--root=1"}, nullptr, "--rooted --root=1", "none", 0, 0},
      };
  for (const auto& [arguments, daemonWindow, rest, window, delay, maxFps] : cases) {
    SCOPED_TRACE(std::string(rest) + " / " + (daemonWindow ? daemonWindow : "unset"));
    const HostArguments read = readHostArguments(
        arguments, daemonWindow ? std::optional<std::string_view>(daemonWindow) : std::nullopt);
    EXPECT_EQ(read.commandLine, rest);
    const std::string seen = read.unusableWindow       ? "unusable"
                             : !read.window            ? "none"
                             : read.window->rootWindow ? "root"
                                                       : std::to_string(read.window->window);
    EXPECT_EQ(seen, window);
    EXPECT_EQ(read.pacing.delayMicroseconds.value_or(0), delay);
    EXPECT_EQ(read.pacing.maxFps.value_or(0), maxFps);
  }
}

// What the system passes to a Windows program: its name, then the arguments as typed.
TEST(CommandLine, ArgumentsFollowTheProgramName) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\WINDOWS\\system32\\Pellarin.scr /s", "/s"},
      {"\"C:\\Program Files\\Pellarin.scr\"  /p 1234 ", "/p 1234 "},
      {"\"C:\\a b\\Pellarin.scr\"/c:5678", "/c:5678"},
      {"Pellarin.scr\t\t/P\t99", "/P\t99"},
      {"Pellarin.scr", ""},
      {"\"C:\\no end /s", ""},
      {"", ""}};
  for (const auto& [line, arguments] : cases)
    EXPECT_EQ(commandLineArguments(line), arguments) << line;
}

TEST(CommandLine, ModeLetterAndPreviewNumber) {
  EXPECT_EQ(modeLetter("\xE2\x96\xA0S"), 'S');  // one character, however many bytes
  EXPECT_EQ(modeLetter("/\xC3\xBF"), '?');
  const std::pair<const char*, std::int32_t> cases[] = {
      {"/p 1234 x", 1234}, {"/p 12 34", 1234}, {"/p ", 0},    {"/p &H400001", 0x400001},
      {"/p 2.5", 2},       {"/p 3.5", 4},      {"/p 1E10", 0}};
  for (const auto& [line, number] : cases) EXPECT_EQ(previewWindowNumber(line), number) << line;
}

}  // namespace
}  // namespace pellarin
