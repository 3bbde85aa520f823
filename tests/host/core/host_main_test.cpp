#include "host/core/host_main.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "common/system_names.h"
#include "common/work_folder.h"
#include "host/core/command_line.h"
#include "host/core/host_texts.h"
#include "host/core/quorvane_b.h"
#include "host_test_support.h"

namespace pellarin {
namespace {

using testing::readFile;
using testing::writeFile;

class FakeWindows final : public WindowFinder {
 public:
  bool windowWithTitleExists(std::string_view title) override {
    lookups.emplace_back(title);
    return titles.count(std::string(title)) != 0;
  }
  std::set<std::string> titles;
  std::vector<std::string> lookups;
};

class FakePointer final : public PointerControl {
 public:
  std::int32_t showCursor(bool show) override {
    calls.push_back(show);
    count += show ? 1 : -1;
    return count;
  }
  std::vector<bool> calls;
  std::int32_t count = 0;
};

class FakeScreen final : public ScreenMetrics {
 public:
  ScreenSize primaryScreenSize() override { return size; }
  ScreenSize size{1280, 800};
};

class FakeMessages final : public UserMessage {
 public:
  void showMessage(std::string_view text) override { shown.emplace_back(text); }
  std::vector<std::string> shown;
};

class FakeForms final : public StartUpForms {
 public:
  bool showPreview(std::int32_t parent) override {
    previews.push_back(parent);
    return previewWorks;
  }
  void showSettingsDialog() override { ++dialogs; }
  void loadRunModeForm() override {
    ++runModeLoads;
    settingsAtLoad = readFile(settingsFilePath());
  }
  std::vector<std::int32_t> previews;
  bool previewWorks = true;
  int dialogs = 0;
  int runModeLoads = 0;
  std::string settingsAtLoad;
};

class MainTest : public testing::IsolatedHostTest {
 protected:
  void SetUp() override {
    IsolatedHostTest::SetUp();
    programFolder_ = root() / "program";
    for (const char* name : {kConverterLibraryName, kRendererFileName, kDecoderLibraryName}) {
      writeFile(programFolder_ / name, "ELF");
    }
  }
  Quorvane_B::MainResult run(std::string_view commandLine) {
    Quorvane_B::MainServices services{windows_,  pointer_, screen_,
                                      messages_, forms_,   programFolder_};
    return Quorvane_B::Main(commandLine, services);
  }
  bool workFolderExists() const { return std::filesystem::is_directory(workFolder()); }

  std::filesystem::path programFolder_;
  FakeWindows windows_;
  FakePointer pointer_;
  FakeScreen screen_;
  FakeMessages messages_;
  FakeForms forms_;
};

TEST(ModeLetter, IsTheSecondCharacterUpperCased) {
  EXPECT_EQ(modeLetter("/S"), 'S');
  EXPECT_EQ(modeLetter("/s"), 'S');
  EXPECT_EQ(modeLetter("-s"), 'S');
  EXPECT_EQ(modeLetter("xs"), 'S');
  EXPECT_EQ(modeLetter("/s 123"), 'S');
  EXPECT_EQ(modeLetter("/p 1234"), 'P');
  EXPECT_EQ(modeLetter("/c:5678"), 'C');
  EXPECT_EQ(modeLetter(""), '\0');
  EXPECT_EQ(modeLetter("S"), '\0');
  EXPECT_EQ(modeLetter("\xE2\x96\xA0S"), 'S');  // one character, however many bytes
  EXPECT_EQ(modeLetter("/\xC3\xBF"), '?');
}

TEST(PreviewWindowNumber, ReadsTheLeadingNumberFromTheFourthCharacter) {
  EXPECT_EQ(previewWindowNumber("/p 1234"), 1234);
  EXPECT_EQ(previewWindowNumber("/P:1234"), 1234);
  EXPECT_EQ(previewWindowNumber("/p 1234 x"), 1234);
  EXPECT_EQ(previewWindowNumber("/p 12 34"), 1234);
  EXPECT_EQ(previewWindowNumber("/p"), 0);
  EXPECT_EQ(previewWindowNumber("/p "), 0);
  EXPECT_EQ(previewWindowNumber("/p &H400001"), 0x400001);
  EXPECT_EQ(previewWindowNumber("/p 2.5"), 2);
  EXPECT_EQ(previewWindowNumber("/p 3.5"), 4);
  EXPECT_EQ(previewWindowNumber("/p 1E10"), 0);  // does not fit: left at 0
}

TEST_F(MainTest, RunModeHidesThePointerWritesTheScreenSizeAndLoadsTheForm) {
  for (const char* line : {"/S", "/s", "-s", "/s 123"}) {
    pointer_ = FakePointer();
    forms_ = FakeForms();
    EXPECT_EQ(run(line), Quorvane_B::MainResult::KeepRunning) << line;
    EXPECT_EQ(pointer_.calls, std::vector<bool>{false}) << line;
    EXPECT_EQ(Quorvane_B::cursorHideResult, -1);
    EXPECT_EQ(forms_.runModeLoads, 1) << line;
    EXPECT_NE(forms_.settingsAtLoad.find("Width= 1280\r\n"), std::string::npos);
    EXPECT_NE(forms_.settingsAtLoad.find("Height= 800\r\n"), std::string::npos);
  }
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(MainTest, AnEmptyCommandLineRunsWithThePointerLeftVisible) {
  EXPECT_EQ(run(""), Quorvane_B::MainResult::KeepRunning);
  EXPECT_TRUE(pointer_.calls.empty());
  EXPECT_EQ(forms_.runModeLoads, 1);
  EXPECT_TRUE(workFolderExists());
}

TEST_F(MainTest, OtherModeLettersCheckTheCompanionsAndEndSilently) {
  for (const char* line : {"S", "/a", "/x 1"}) {
    EXPECT_EQ(run(line), Quorvane_B::MainResult::End) << line;
  }
  EXPECT_TRUE(workFolderExists());
  EXPECT_TRUE(pointer_.calls.empty());
  EXPECT_EQ(forms_.runModeLoads, 0);
  EXPECT_EQ(forms_.dialogs, 0);
  EXPECT_TRUE(messages_.shown.empty());

  std::filesystem::remove(programFolder_ / kRendererFileName);
  EXPECT_EQ(run("/a"), Quorvane_B::MainResult::End);
  EXPECT_EQ(messages_.shown, std::vector<std::string>{kRendererMissingMessage});
}

TEST_F(MainTest, SettingsModeShowsTheDialogAfterTheCheckAndEnds) {
  for (const char* line : {"/c", "/C", "/c:5678"}) {
    EXPECT_EQ(run(line), Quorvane_B::MainResult::End) << line;
  }
  EXPECT_EQ(forms_.dialogs, 3);
  EXPECT_TRUE(workFolderExists());
  EXPECT_TRUE(pointer_.calls.empty());
  EXPECT_FALSE(std::filesystem::exists(settingsFilePath()));  // no screen size written

  std::filesystem::remove(programFolder_ / kDecoderLibraryName);
  EXPECT_EQ(run("/c"), Quorvane_B::MainResult::End);
  EXPECT_EQ(forms_.dialogs, 3);
  EXPECT_EQ(messages_.shown, std::vector<std::string>{kDecoderMissingMessage});
}

TEST_F(MainTest, PreviewAttachesToTheWindowWithoutFolderSettingsOrCheck) {
  std::filesystem::remove_all(programFolder_);  // companions are not checked
  EXPECT_EQ(run("/p 1234"), Quorvane_B::MainResult::KeepRunning);
  EXPECT_EQ(run("/P:1234"), Quorvane_B::MainResult::KeepRunning);
  EXPECT_EQ(run("/p"), Quorvane_B::MainResult::KeepRunning);
  EXPECT_EQ(forms_.previews, (std::vector<std::int32_t>{1234, 1234, 0}));
  EXPECT_FALSE(workFolderExists());
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_TRUE(pointer_.calls.empty());

  forms_.previewWorks = false;  // a number naming no window ends the program
  EXPECT_EQ(run("/p 99"), Quorvane_B::MainResult::End);
}

TEST_F(MainTest, ARunningCopyOrDialogEndsEveryModeAtOnce) {
  for (const char* title : {kRunModeWindowTitle, kDialogTitle}) {
    windows_.titles = {title};
    for (const char* line : {"/S", "/P 1234", "/C", ""}) {
      windows_.lookups.clear();
      EXPECT_EQ(run(line), Quorvane_B::MainResult::End) << title << ' ' << line;
      // Both looks are made, whichever finds a window.
      EXPECT_EQ(windows_.lookups, (std::vector<std::string>{kRunModeWindowTitle, kDialogTitle}));
    }
  }
  EXPECT_TRUE(forms_.previews.empty());
  EXPECT_EQ(forms_.dialogs, 0);
  EXPECT_EQ(forms_.runModeLoads, 0);
  EXPECT_TRUE(pointer_.calls.empty());
  EXPECT_FALSE(workFolderExists());
}

TEST_F(MainTest, OnlyTheFirstMissingCompanionIsReported) {
  const struct {
    std::vector<const char*> missing;
    const char* message;
  } cases[] = {
      {{kConverterLibraryName, kRendererFileName, kDecoderLibraryName}, kConverterMissingMessage},
      {{kRendererFileName, kDecoderLibraryName}, kRendererMissingMessage},
      {{kDecoderLibraryName}, kDecoderMissingMessage},
  };
  for (const auto& c : cases) {
    TearDown();
    SetUp();
    for (const char* name : c.missing) std::filesystem::remove(programFolder_ / name);
    messages_.shown.clear();
    EXPECT_EQ(run("/S"), Quorvane_B::MainResult::End);
    EXPECT_EQ(messages_.shown, std::vector<std::string>{c.message});
    EXPECT_EQ(forms_.runModeLoads, 0);
    EXPECT_TRUE(pointer_.calls.empty());  // the pointer is hidden only after the check
  }
}

TEST_F(MainTest, ACompanionThatIsAFolderCountsAsMissing) {
  std::filesystem::remove(programFolder_ / kConverterLibraryName);
  std::filesystem::create_directories(programFolder_ / kConverterLibraryName);
  EXPECT_EQ(run("/S"), Quorvane_B::MainResult::End);
  EXPECT_EQ(messages_.shown, std::vector<std::string>{kConverterMissingMessage});
}

TEST_F(MainTest, LoadsTheMusicSettingsBeforeTheForm) {
  writeFile(settingsFilePath(), "[Settings]\r\nBGM\x8B\xE6\x95\xAA= 1\r\n");
  run("/S");
  EXPECT_EQ(Quorvane_B::musicKind, 1);
  EXPECT_EQ(Quorvane_B::musicFolder, programFolder().string());
}

TEST_F(MainTest, AScreenTooBigForSixteenBitsWritesZero) {
  screen_.size = {40000, 768};
  run("/S");
  EXPECT_NE(forms_.settingsAtLoad.find("Width= 0\r\n"), std::string::npos);
  EXPECT_NE(forms_.settingsAtLoad.find("Height= 768\r\n"), std::string::npos);
}

}  // namespace
}  // namespace pellarin
