#include "common/work_folder.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "common/system_names.h"
#include "temp_folder.h"

namespace pellarin {
namespace {

// Sets or unsets an environment variable for one scope and puts the old value back.
class EnvironmentVariable {
 public:
  EnvironmentVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~EnvironmentVariable() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

using WorkFolder = testing::TempFolderTest;

TEST_F(WorkFolder, FollowsXdgConfigHomeThenHomeThenTheAccount) {
  {
    EnvironmentVariable home("HOME", path("home").c_str());
    EnvironmentVariable xdg("XDG_CONFIG_HOME", path("xdg").c_str());
    EXPECT_EQ(settingsFilePath(), path("xdg") / kWorkFolderName / kSettingsFileName);
    EXPECT_EQ(pictureFilePath(), path("xdg") / kWorkFolderName / kPictureFileName);
    for (const char* unusable : {static_cast<const char*>(nullptr), "", "relative/xdg"}) {
      EnvironmentVariable other("XDG_CONFIG_HOME", unusable);
      EXPECT_EQ(workFolder(), path("home") / ".config" / kWorkFolderName);
    }
  }
  EnvironmentVariable xdg("XDG_CONFIG_HOME", nullptr);
  EnvironmentVariable home("HOME", nullptr);
  const passwd* account = ::getpwuid(::getuid());
  ASSERT_NE(account, nullptr);
  EXPECT_EQ(workFolder(), std::filesystem::path(account->pw_dir) / ".config" / kWorkFolderName);
}

TEST_F(WorkFolder, CreatesMissingFoldersPrivately) {
  {
    EnvironmentVariable xdg("XDG_CONFIG_HOME", path("a/b").c_str());
    ASSERT_TRUE(createWorkFolder());
    EXPECT_TRUE(std::filesystem::is_directory(workFolder()));
    EXPECT_TRUE(createWorkFolder());  // already there
  }
  EnvironmentVariable xdg("XDG_CONFIG_HOME", folder_.c_str());
  const mode_t oldMask = ::umask(0277);  // would leave the owner without write and search
  const bool created = createWorkFolder();
  ::umask(oldMask);
  ASSERT_TRUE(created);
  struct stat status {};
  ASSERT_EQ(::stat(workFolder().c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0700u);
  EnvironmentVariable other("XDG_CONFIG_HOME", path("a").c_str());
  put(path("a") / kWorkFolderName, "a file in the way");
  EXPECT_FALSE(createWorkFolder());
}

TEST(ProgramFolder, HoldsThisTest) {
  EXPECT_TRUE(std::filesystem::exists(programFolder() / "common_work_folder_test"));
}

}  // namespace
}  // namespace pellarin
