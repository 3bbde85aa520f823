#include "host/core/host_main.h"

#include <gtest/gtest.h>

#include <set>
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
  std::int32_t showCursor(bool show) override {
    pointerCalls.push_back(show);
    return show ? 0 : -1;
  }
  ScreenSize primaryScreenSize() override { return size; }
  void showMessage(std::string_view text) override { messages.emplace_back(text); }
  bool showPreview(std::int32_t parent) override {
    log = "preview " + std::to_string(parent);
    return previewWorks;
  }
  void showSettingsDialog() override { log = "dialog"; }
  void loadRunModeForm() override {
    log = "run";
    settingsAtLoad = readFile(settingsFilePath());
    kindAtLoad = Quorvane_B::musicKind;
  }

  std::set<std::string> titles;
  std::vector<std::string> lookups, messages;
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
  // A run with fresh doubles set up as setup_ is.
  MainResult run(std::string_view commandLine) {
    fake_ = setup_;
    Quorvane_B::MainServices services{fake_, fake_, fake_, fake_, fake_, programFolder_};
    return Quorvane_B::Main(commandLine, services);
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
  std::filesystem::create_directory_symlink(elsewhere, workFolder());
  EXPECT_EQ(run("/S"), MainResult::KeepRunning);
  EXPECT_EQ(fake_.kindAtLoad, 0);
  EXPECT_EQ(Quorvane_B::musicFolder, programFolder().string());
  EXPECT_EQ(readFile(elsewhere / kSettingsFileName), settings);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(elsewhere), {}), 1);
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
