// The work folder on Windows: "C:\k_veld_temp" unless a test puts it elsewhere, made private by
// its access list, and refused when it is a reparse point, no folder or another user's.
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
  static void useParent(const fs::path& parent) {
    testing::setEnvironment("PELLARIN_WORK_FOLDER_PARENT", parent.string());
  }
};

// The folders the host makes let in the user and the system alone from the first moment.
TEST_F(WorkFolder, LiesInTheRootOfCUnlessAParentIsGivenAndIsCreatedPrivately) {
  for (const char* unusable : {"relative\\parent", "\\no-drive", "C:no-root"}) {
    useParent(unusable);
    EXPECT_EQ(workFolder(), fs::path("C:\\k_veld_temp")) << unusable;
  }
  useParent(path("a") / "b");
  ASSERT_TRUE(createWorkFolder());
  EXPECT_EQ(settingsFilePath(), path("a") / "b" / kWorkFolderName / kSettingsFileName);
  for (const auto& folder : {path("a"), path("a") / "b", workFolder()}) {
    EXPECT_EQ(letIn(folder), privateToUser()) << folder;
  }
  EXPECT_NE(letIn(folder_), privateToUser()) << "the test cannot tell private from open";
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
    const fs::path work = planted / place / kWorkFolderName;
    const std::set<std::string> before = letIn(work);
    if (place == std::string("work-other") && before.contains("owner:" + testing::userSid())) {
      continue;  // planted by an ordinary user, who cannot give a folder away
    }
    useParent(planted / place);
    for (const WorkFolderUse use : {WorkFolderUse::Create, WorkFolderUse::Existing}) {
      EXPECT_EQ(openWorkFolder(use), std::nullopt);
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
