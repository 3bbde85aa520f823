#include "common/work_folder.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/system_names.h"
#include "temp_folder.h"

namespace pellarin {
namespace {

using WorkFolder = testing::TempFolderTest;

TEST_F(WorkFolder, FollowsXdgConfigHomeThenHomeThenTheAccount) {
  ::setenv("HOME", path("home").c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", path("xdg").c_str(), 1);
  EXPECT_EQ(settingsFilePath(), path("xdg") / kWorkFolderName / kSettingsFileName);
  EXPECT_EQ(pictureFilePath(), path("xdg") / kWorkFolderName / kPictureFileName);
  for (const char* unusable : {"", "relative/xdg"}) {
    ::setenv("XDG_CONFIG_HOME", unusable, 1);
    EXPECT_EQ(workFolder(), path("home") / ".config" / kWorkFolderName);
  }
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("HOME", "relative", 1);
  const passwd* account = ::getpwuid(::getuid());
  ASSERT_NE(account, nullptr);
  EXPECT_EQ(workFolder(), std::filesystem::path(account->pw_dir) / ".config" / kWorkFolderName);
  EXPECT_TRUE(std::filesystem::exists(programFolder() / "common_work_folder_test"));
}

TEST_F(WorkFolder, CreatesMissingFoldersPrivately) {
  ::setenv("XDG_CONFIG_HOME", path("a/b").c_str(), 1);
  ASSERT_TRUE(createWorkFolder());
  EXPECT_TRUE(std::filesystem::is_directory(workFolder()));
  EXPECT_TRUE(createWorkFolder());  // already there
  ::setenv("XDG_CONFIG_HOME", folder_.c_str(), 1);
  const mode_t oldMask = ::umask(0277);  // would leave the owner without write and search
  const bool created = createWorkFolder();
  ::umask(oldMask);
  ASSERT_TRUE(created);
  struct stat status {};
  ASSERT_EQ(::stat(workFolder().c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0700u);
  ::setenv("XDG_CONFIG_HOME", path("a").c_str(), 1);
  put(path("a") / kWorkFolderName, "a file in the way");
  EXPECT_FALSE(createWorkFolder());
}

}  // namespace
}  // namespace pellarin
