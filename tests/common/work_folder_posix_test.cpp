#include "common/work_folder.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "child_process.h"
#include "common/system_names.h"
#include "temp_folder.h"

namespace pellarin {
namespace {

namespace fs = std::filesystem;

class WorkFolder : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    config_ = path("config");
    work_ = config_ / kWorkFolderName;
    ::setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
  }
  static int mode(const fs::path& file) {
    struct stat status {};
    return ::lstat(file.c_str(), &status) == 0 ? static_cast<int>(status.st_mode & 07777) : -1;
  }

  fs::path config_, work_;
};

TEST_F(WorkFolder, FollowsXdgConfigHomeThenHomeThenTheAccount) {
  ::setenv("HOME", path("home").c_str(), 1);
  EXPECT_EQ(settingsFilePath(), work_ / kSettingsFileName);
  ::setenv("XDG_CONFIG_HOME", "relative/xdg", 1);
  EXPECT_EQ(workFolder(), path("home") / ".config" / kWorkFolderName);
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("HOME", "relative", 1);
  const passwd* account = ::getpwuid(::getuid());
  ASSERT_NE(account, nullptr);
  EXPECT_EQ(workFolder(), fs::path(account->pw_dir) / ".config" / kWorkFolderName);
}

TEST_F(WorkFolder, MissingFoldersAreCreatedPrivatelyWhateverTheUmask) {
  ::setenv("XDG_CONFIG_HOME", path("a/b").c_str(), 1);
  const mode_t oldMask = ::umask(0277);  // would leave the owner without write and search
  const bool created = createWorkFolder();
  ::umask(oldMask);
  ASSERT_TRUE(created);
  for (const auto& folder : {path("a"), path("a/b"), workFolder()}) {
    EXPECT_EQ(mode(folder), 0700) << folder;
  }
  EXPECT_TRUE(createWorkFolder());  // already there
}

// A real folder of our own is used and closed to others; anything else is refused with one
// debug line and its paths are empty, so that nothing is read or written there.
TEST_F(WorkFolder, OnlyARealFolderOfOurOwnIsUsedAndItIsMadePrivate) {
  const fs::path elsewhere = path("elsewhere");
  const struct {
    const char* rule;
    std::function<void()> place;
    bool usable;
  } rows[] = {
      {"nothing yet", [] {}, true},
      {"ours, open to all",
       [&] {
         fs::create_directory(work_);
         ::chmod(work_.c_str(), 0777);
       },
       true},
      {"a link to a folder of ours", [&] { fs::create_directory_symlink(elsewhere, work_); },
       false},
      {"a file", [&] { put(work_, "x"); }, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.rule);
    fs::remove_all(config_);
    fs::create_directories(config_);
    fs::create_directories(elsewhere);
    ::chmod(elsewhere.c_str(), 0755);
    row.place();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(createWorkFolder(), row.usable);
    const std::string log = ::testing::internal::GetCapturedStderr();
    if (row.usable) {
      EXPECT_EQ(mode(work_), 0700);
      EXPECT_EQ(pictureFilePath(), work_ / kPictureFileName);
      EXPECT_EQ(log, "");
    } else {
      EXPECT_EQ(settingsFilePath(), fs::path());
      EXPECT_EQ(pictureFilePath(), fs::path());
      EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
      EXPECT_NE(log.find(work_.string()), std::string::npos) << log;
    }
    EXPECT_EQ(mode(elsewhere), 0755);
    EXPECT_TRUE(fs::is_empty(elsewhere));
  }
}

// The renderer only reads: it takes the folder as the host would, but never makes one.
TEST_F(WorkFolder, AnExistingFolderIsOpenedTheSameWayWithoutCreatingOne) {
  EXPECT_EQ(openWorkFolder(WorkFolderUse::Existing), std::nullopt);
  EXPECT_FALSE(fs::exists(config_));
  fs::create_directories(work_);
  ::chmod(work_.c_str(), 0755);
  EXPECT_EQ(openWorkFolder(WorkFolderUse::Existing), work_);
  EXPECT_EQ(mode(work_), 0700);
}

// A user meets a folder that root (or anyone else) made first: it is not the user's to use.
TEST_F(WorkFolder, AnOrdinaryUserRefusesAFolderSomeoneElseMadeAndUsesOneOfTheirOwn) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to plant a folder of another user";
  fs::create_directories(work_);
  for (const auto& folder : {folder_, config_, work_}) ::chmod(folder.c_str(), 0777);
  const auto refusedThenOwn = [&] {
    if (createWorkFolder() || !settingsFilePath().empty()) return false;
    if (mode(work_) != 0777 || !fs::is_empty(work_)) return false;
    std::error_code error;
    fs::remove(work_, error);  // the sticky bit is not set: the user may clear the way
    return !error && createWorkFolder() && mode(work_) == 0700;
  };
  EXPECT_EQ(testing::inChild(refusedThenOwn, testing::ChildUser::Ordinary), "ok");
}

}  // namespace
}  // namespace pellarin
