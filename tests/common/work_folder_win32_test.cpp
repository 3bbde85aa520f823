// The work folder on Windows: "C:\k_veld_temp" unless a test puts it elsewhere, made private
// by its access list, and refused when it is a reparse point, no folder or another user's.
#include <gtest/gtest.h>

#include "common/system_names.h"
#include "common/work_folder.h"
#include "temp_folder.h"
#include "test_platform.h"
#include "win32_test_support.h"

namespace pellarin {
namespace {

namespace fs = std::filesystem;
using testing::letIn;
using testing::privateToUser;

class WorkFolder : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    useParent(path("config"));
    work_ = path("config") / kWorkFolderName;
  }
  static void useParent(const fs::path& parent) {
    testing::setEnvironment("PELLARIN_WORK_FOLDER_PARENT", parent.string());
  }
  // Whether the host's start-up may use the work folder, with the debug output it gave.
  static std::pair<bool, std::string> createLogged() {
    ::testing::internal::CaptureStderr();
    const bool usable = createWorkFolder();
    return {usable, ::testing::internal::GetCapturedStderr()};
  }
  // A folder made as any program makes one: it takes what its parent passes on.
  static void makeOrdinaryFolder(const fs::path& folder) {
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr)) << folder;
  }

  fs::path work_;
};

TEST_F(WorkFolder, LiesInTheRootOfCUnlessAnAbsoluteParentIsGiven) {
  EXPECT_EQ(settingsFilePath(), work_ / kSettingsFileName);
  EXPECT_EQ(pictureFilePath(), work_ / kPictureFileName);
  for (const char* unusable : {"", "relative\\parent", "\\no-drive", "C:no-root"}) {
    useParent(unusable);
    EXPECT_EQ(workFolder(), fs::path("C:\\k_veld_temp")) << unusable;
  }
  testing::unsetEnvironment("PELLARIN_WORK_FOLDER_PARENT");
  EXPECT_EQ(workFolder(), fs::path("C:\\k_veld_temp"));
  EXPECT_TRUE(fs::exists(programFolder() / "common_work_folder_test.exe"));
}

// The folders the host makes let in the user and the system alone, from the first moment, and
// so does what the settings engine makes inside.
TEST_F(WorkFolder, MissingFoldersAreCreatedPrivately) {
  useParent(path("a") / "b");
  ASSERT_TRUE(createWorkFolder());
  for (const auto& folder : {path("a"), path("a") / "b", workFolder()}) {
    EXPECT_EQ(letIn(folder), privateToUser()) << folder;
  }
  EXPECT_NE(letIn(folder_), privateToUser()) << "the test cannot tell private from open";
  EXPECT_TRUE(createWorkFolder());  // already there
}

// Whatever stands in the work folder's place: a real folder of our own is used (and closed to
// others), anything else is refused with one debug line and its paths are empty, so that
// nothing is read or written there.
TEST_F(WorkFolder, OnlyARealFolderOfOurOwnIsUsedAndItIsMadePrivate) {
  const struct {
    const char* rule;
    std::function<void()> place;
    bool usable;
  } rows[] = {
      {"nothing yet", [] {}, true},
      {"ours, open to all", [&] { makeOrdinaryFolder(work_); }, true},
      {"ours, read-only",
       [&] {
         makeOrdinaryFolder(work_);
         ::SetFileAttributesW(work_.c_str(), FILE_ATTRIBUTE_READONLY);
       },
       true},
      {"a file", [&] { put(work_, "x"); }, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.rule);
    fs::remove_all(path("config"));
    fs::create_directories(path("config"));
    row.place();
    const auto [usable, log] = createLogged();
    EXPECT_EQ(usable, row.usable);
    if (row.usable) {
      EXPECT_TRUE(fs::is_directory(fs::symlink_status(work_)));
      if (!testing::underWine()) {
        EXPECT_EQ(letIn(work_), privateToUser());
      }
      EXPECT_EQ(settingsFilePath(), work_ / kSettingsFileName);
      EXPECT_EQ(log, "");
    } else {
      EXPECT_EQ(settingsFilePath(), fs::path());
      EXPECT_EQ(pictureFilePath(), fs::path());
      EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
      EXPECT_NE(log.find(work_.string()), std::string::npos) << log;
    }
    ::SetFileAttributesW(work_.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

// The renderer only reads: it takes the folder as the host would, but never makes one.
TEST_F(WorkFolder, AnExistingFolderIsOpenedTheSameWayWithoutCreatingOne) {
  EXPECT_EQ(openWorkFolder(WorkFolderUse::Existing), std::nullopt);
  EXPECT_FALSE(fs::exists(path("config")));
  EXPECT_EQ(settingsFilePath(), work_ / kSettingsFileName);  // nothing there to read either

  fs::create_directories(path("config"));
  makeOrdinaryFolder(work_);
  EXPECT_EQ(openWorkFolder(WorkFolderUse::Existing), work_);
  if (!testing::underWine()) {
    EXPECT_EQ(letIn(work_), privateToUser());
  }
}

// A reparse point leads anywhere, and another user's folder is theirs to fill with what we would
// then read or overwrite: both are refused, and left exactly as they were.
TEST_F(WorkFolder, AReparsePointOrAFolderOfAnotherUserIsRefusedAndLeftAlone) {
  const fs::path planted = testing::plantedFolder();
  if (planted.empty()) GTEST_SKIP() << "needs the folders tests/common/plant_links.sh plants";
  const fs::path elsewhere = planted / "elsewhere";
  const std::set<std::string> elsewhereBefore = letIn(elsewhere);
  for (const char* place : {"work-link", "work-other"}) {
    SCOPED_TRACE(place);
    const fs::path parent = planted / place;
    const fs::path work = parent / kWorkFolderName;
    const std::set<std::string> before = letIn(work);
    if (place == std::string("work-other") && before.contains("owner:" + testing::userSid())) {
      continue;  // planted by an ordinary user, who cannot give a folder away
    }
    useParent(parent);
    for (const WorkFolderUse use : {WorkFolderUse::Create, WorkFolderUse::Existing}) {
      ::testing::internal::CaptureStderr();
      EXPECT_EQ(openWorkFolder(use), std::nullopt);
      const std::string log = ::testing::internal::GetCapturedStderr();
      EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
    }
    EXPECT_EQ(settingsFilePath(), fs::path());
    EXPECT_EQ(letIn(work), before);
  }
  // Wine shows a link that leads nowhere as nothing at all; either way nothing is made there.
  useParent(planted / "work-dangling");
  EXPECT_EQ(openWorkFolder(WorkFolderUse::Create), std::nullopt);
  EXPECT_FALSE(fs::exists(planted / "nowhere"));
  EXPECT_TRUE(fs::is_empty(elsewhere));
  EXPECT_EQ(letIn(elsewhere), elsewhereBefore);
}

}  // namespace
}  // namespace pellarin
