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
using testing::ChildUser;
using testing::inChild;

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
  // Whether the host's start-up may use the work folder, with the debug output it gave.
  std::pair<bool, std::string> createLogged() {
    ::testing::internal::CaptureStderr();
    const bool usable = createWorkFolder();
    return {usable, ::testing::internal::GetCapturedStderr()};
  }

  fs::path config_, work_;
};

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
  EXPECT_EQ(workFolder(), fs::path(account->pw_dir) / ".config" / kWorkFolderName);
  EXPECT_TRUE(fs::exists(programFolder() / "common_work_folder_test"));
}

// The folders the host makes are the user's alone, whatever the umask would allow.
TEST_F(WorkFolder, MissingFoldersAreCreatedPrivately) {
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

// Whatever stands in the work folder's place: a real folder of our own is used (and closed to
// others), anything else is refused with one debug line and its paths are empty, so that nothing
// is read or written there.
TEST_F(WorkFolder, OnlyARealFolderOfOurOwnIsUsedAndItIsMadePrivate) {
  const fs::path elsewhere = path("elsewhere");
  const auto folderWithMode = [&](int bits) {
    return [&, bits] {
      fs::create_directory(work_);
      ::chmod(work_.c_str(), static_cast<mode_t>(bits));
    };
  };
  const struct {
    const char* rule;
    std::function<void()> place;
    bool usable;
  } rows[] = {
      {"nothing yet", [] {}, true},
      {"ours, open to all", folderWithMode(0777), true},
      {"ours, closed to us", folderWithMode(0500), true},
      {"ours, set-group-id", folderWithMode(02750), true},
      {"a link to a folder of ours", [&] { fs::create_directory_symlink(elsewhere, work_); },
       false},
      {"a dangling link", [&] { fs::create_directory_symlink(path("nowhere"), work_); }, false},
      {"a file", [&] { put(work_, "x"); }, false},
      {"someone else's",
       [&] {
         folderWithMode(0700)();
         if (::geteuid() == 0) ::chown(work_.c_str(), testing::kOrdinaryUser, 0);
       },
       ::geteuid() != 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.rule);
    fs::remove_all(config_);
    fs::create_directories(config_);
    fs::create_directories(elsewhere);
    ::chmod(elsewhere.c_str(), 0755);
    row.place();
    const int modeBefore = mode(work_);
    const auto [usable, log] = createLogged();
    EXPECT_EQ(usable, row.usable);
    if (row.usable) {
      EXPECT_TRUE(fs::is_directory(fs::symlink_status(work_)));
      EXPECT_EQ(mode(work_), 0700);
      EXPECT_EQ(settingsFilePath(), work_ / kSettingsFileName);
      EXPECT_EQ(pictureFilePath(), work_ / kPictureFileName);
      EXPECT_EQ(log, "");
    } else {
      EXPECT_EQ(mode(work_), modeBefore);
      EXPECT_EQ(settingsFilePath(), fs::path());
      EXPECT_EQ(pictureFilePath(), fs::path());
      EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
      EXPECT_NE(log.find(work_.string()), std::string::npos) << log;
    }
    EXPECT_EQ(mode(elsewhere), 0755);
    EXPECT_TRUE(fs::is_empty(elsewhere));
    EXPECT_FALSE(fs::exists(path("nowhere")));
  }
}

// The renderer only reads: it takes the folder as the host would, but never makes one.
TEST_F(WorkFolder, AnExistingFolderIsOpenedTheSameWayWithoutCreatingOne) {
  EXPECT_EQ(openWorkFolder(WorkFolderUse::Existing), std::nullopt);
  EXPECT_FALSE(fs::exists(config_));
  EXPECT_EQ(settingsFilePath(), work_ / kSettingsFileName);  // nothing there to read either

  fs::create_directories(work_);
  ::chmod(work_.c_str(), 0755);
  EXPECT_EQ(openWorkFolder(WorkFolderUse::Existing), work_);
  EXPECT_EQ(mode(work_), 0700);

  fs::rename(work_, path("moved"));
  fs::create_directory_symlink(path("moved"), work_);
  EXPECT_EQ(openWorkFolder(WorkFolderUse::Existing), std::nullopt);
  EXPECT_EQ(openWorkFolder(WorkFolderUse::Create), std::nullopt);
  EXPECT_EQ(settingsFilePath(), fs::path());
}

// A user meets a folder that root (or anyone else) made first: it is not the user's to use.
TEST_F(WorkFolder, AnOrdinaryUserRefusesAFolderSomeoneElseMadeAndUsesOneOfTheirOwn) {
  fs::create_directories(work_);
  ASSERT_EQ(::chmod(folder_.c_str(), 0755), 0);
  ASSERT_EQ(::chmod(work_.c_str(), 0777), 0);
  ASSERT_EQ(::chmod(config_.c_str(), 0777), 0);
  if (::geteuid() != 0) {  // as an ordinary user already: hand the test's folder to nobody else
    GTEST_SKIP() << "needs root to plant a folder of another user";
  }
  const auto refusedThenOwn = [&] {
    if (createWorkFolder() || !settingsFilePath().empty()) return false;
    if (mode(work_) != 0777 || !fs::is_empty(work_)) return false;
    std::error_code error;
    fs::remove(work_, error);  // the sticky bit is not set: the user may clear the way
    return !error && createWorkFolder() && mode(work_) == 0700 &&
           settingsFilePath() == work_ / kSettingsFileName;
  };
  EXPECT_EQ(inChild(refusedThenOwn, ChildUser::Ordinary), "ok");
}

}  // namespace
}  // namespace pellarin
