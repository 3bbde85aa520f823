// The settings-file engine on the real file system. What another user could plant or what root
// would slip past runs in a child as an ordinary user.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

#include "child_process.h"
#include "common/profile.h"
#include "temp_folder.h"

namespace pellarin {
namespace {

namespace fs = std::filesystem;
using testing::ChildUser;
using testing::inChild;

class ProfileFiles : public testing::TempFolderTest {
 protected:
  bool write(const std::string& key, const std::string& value, const fs::path& file) {
    return writeProfileString("S", key, value, file);
  }
  std::string read(const std::string& key, const fs::path& file) {
    return readProfileString("S", key, "d", 256, file);
  }
  static int mode(const fs::path& file) {
    struct stat status {};
    return ::lstat(file.c_str(), &status) == 0 ? static_cast<int>(status.st_mode & 07777) : -1;
  }
  std::vector<fs::path> temporaries() const {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      if (entry.path().extension() == ".tmp") files.push_back(entry.path());
    }
    return files;
  }
  // A write of "k" in a child, stopped once its temporary file has passed 1 MB: the child and
  // that file, or nothing when every write ended before it could be caught.
  std::optional<std::pair<pid_t, fs::path>> stoppedWriter() {
    put(ini_, "[S]\r\nk=old\r\n[Pad]\r\npad=" + std::string(64u << 20, 'p') + "\r\n");
    for (int attempt = 0; attempt < 5; ++attempt) {
      const pid_t child = ::fork();
      if (child == 0) ::_exit(write("k", "killed", ini_) ? 0 : 1);
      int status = 0;
      while (::waitpid(child, &status, WNOHANG) == 0) {
        const std::vector<fs::path> files = temporaries();
        std::error_code error;
        if (files.empty() || fs::file_size(files[0], error) < (1u << 20) || error) continue;
        ::kill(child, SIGSTOP);
        ::waitpid(child, &status, WUNTRACED);
        if (WIFSTOPPED(status) && fs::exists(files[0])) return std::pair(child, files[0]);
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        break;
      }
    }
    return std::nullopt;
  }
};

TEST_F(ProfileFiles, NewAndRewrittenFilesArePrivateToTheirOwnerWhoIsKept) {
  const mode_t oldMask = ::umask(0);  // would let a plain create make the file 0666
  const bool created = write("k", "1", ini_);
  ::umask(oldMask);
  ASSERT_TRUE(created);
  EXPECT_EQ(mode(ini_), 0600);
  for (const int wider : {0644, 02660}) {
    ASSERT_EQ(::chmod(ini_.c_str(), static_cast<mode_t>(wider)), 0);
    ASSERT_TRUE(write("k", "2", ini_));
    EXPECT_EQ(mode(ini_), 0600) << std::oct << wider;
  }
  if (::geteuid() == 0) {  // root rewriting a user's file leaves it the user's
    ASSERT_EQ(::chown(ini_.c_str(), testing::kOrdinaryUser, testing::kOrdinaryGroup), 0);
    ASSERT_TRUE(write("k", "3", ini_));
    struct stat status {};
    ASSERT_EQ(::stat(ini_.c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, testing::kOrdinaryUser);
    EXPECT_EQ(status.st_gid, testing::kOrdinaryGroup);
  }
}

// Reads follow any link; a write goes through one only to a file in the link's own folder.
TEST_F(ProfileFiles, ALinkIsWrittenThroughOnlyToAFileInItsOwnFolder) {
  const fs::path work = path("work"), link = work / "a.ini";
  fs::create_directories(work / "sub");
  fs::create_symlink("real.ini", work / "chain.ini");
  const std::string before = "[S]\r\nk=before\r\n";
  const struct {
    std::string target;
    fs::path file;  // the file the link ends at
    bool written;
  } rows[] = {
      {"../outside.ini", path("outside.ini"), false},
      {"sub/inner.ini", work / "sub" / "inner.ini", false},
      {"chain.ini", work / "real.ini", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.target);
    put(row.file, before);
    fs::remove(link);
    fs::create_symlink(row.target, link);
    EXPECT_EQ(write("k", "after", link), row.written);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(get(row.file), row.written ? "[S]\r\nk=after\r\n" : before);
    EXPECT_EQ(read("k", link), row.written ? "after" : "before");
  }
  EXPECT_TRUE(temporaries().empty());
}

// Opening a named pipe for reading waits for a writer unless told not to; the alarm turns such a
// wait into a failure.
TEST_F(ProfileFiles, NoFolderPipeDeviceOrDanglingLinkIsTakenForTheFileAndNoneBlocks) {
  ASSERT_TRUE(fs::create_directory(path("folder.ini")));
  ASSERT_EQ(::mkfifo(ini_.c_str(), 0600), 0);
  fs::create_symlink("a.ini", path("pipe-link.ini"));
  fs::create_symlink("nowhere.ini", path("dangling.ini"));
  const std::string outcome = inChild(
      [&] {
        bool ok = true;
        for (const auto& place : {ini_, path("pipe-link.ini"), path("folder.ini"),
                                  path("dangling.ini"), fs::path("/dev/null"), fs::path()}) {
          ok = ok && readProfileString("S", "k", "d", 9, place) == "d";
          ok = ok && readProfileInt("S", "k", 5, place) == 5 && !write("k", "v", place);
        }
        return ok;
      },
      ChildUser::Same, 10);
  EXPECT_EQ(outcome, "ok");
  EXPECT_TRUE(fs::is_fifo(fs::symlink_status(ini_)));
  EXPECT_TRUE(fs::is_empty(path("folder.ini")));
  EXPECT_FALSE(fs::exists(path("nowhere.ini")));
  EXPECT_EQ(entryCount(), 4);
}

// The file-size limit stands in for a full disk: both make write() fail part-way.
TEST_F(ProfileFiles, AFullDiskLeavesTheOldFile) {
  const std::string before = "[S]\r\nk=" + std::string(1000, 'o') + "\r\n";
  put(ini_, before);
  rlimit oldLimit{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &oldLimit), 0);
  const rlimit small{4096, oldLimit.rlim_max};
  const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = write("k", std::string(10000, 'n'), ini_);
  ::setrlimit(RLIMIT_FSIZE, &oldLimit);
  ::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(written);
  EXPECT_EQ(get(ini_), before);
  EXPECT_EQ(entryCount(), 1);
}

// Root reads and writes whatever the mode says, so the check runs as an ordinary user.
TEST_F(ProfileFiles, UnreadableAndReadOnlyFilesAreLeftAlone) {
  put(ini_, "[S]\r\nk=1\r\n");
  ASSERT_EQ(::chmod(folder_.c_str(), 0777), 0);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(ini_.c_str(), testing::kOrdinaryUser, testing::kOrdinaryGroup), 0);
  }
  const auto refused = [&] {
    return ::chmod(ini_.c_str(), 0444) == 0 && !write("k", "2", ini_) &&
           ::chmod(ini_.c_str(), 0200) == 0 && read("k", ini_) == "d" && !write("k", "2", ini_);
  };
  EXPECT_EQ(inChild(refused, ChildUser::Ordinary), "ok");
  ::chmod(ini_.c_str(), 0600);
  EXPECT_EQ(get(ini_), "[S]\r\nk=1\r\n");
  EXPECT_EQ(entryCount(), 1);
}

// A stopped writer's temporary file outlives another write; once the writer is killed, the next
// write removes it, and nothing else that merely looks like one.
TEST_F(ProfileFiles, AKilledWritersTemporaryFileIsRemovedByTheNextWriteARunningOnesIsNot) {
  const auto caught = stoppedWriter();
  ASSERT_TRUE(caught) << "every write ended before it could be caught";
  const auto [writer, temporary] = *caught;
  EXPECT_TRUE(write("n", "meanwhile", ini_));
  EXPECT_TRUE(fs::exists(temporary));
  ASSERT_EQ(::kill(writer, SIGKILL), 0);
  ASSERT_EQ(::waitpid(writer, nullptr, 0), writer);
  EXPECT_EQ(read("k", ini_), "old");

  const std::string others[] = {".b.ini.1.2.3.tmp", "a.ini.1.2.3.tmp", ".a.ini.1.2.3.tmp.x"};
  for (const std::string& name : others) put(path(name), "x");
  fs::create_symlink("b.ini", path(".a.ini.link.tmp"));
  ASSERT_TRUE(write("k", "next", ini_));
  EXPECT_FALSE(fs::exists(temporary));
  EXPECT_EQ(read("k", ini_), "next");
  EXPECT_EQ(read("n", ini_), "meanwhile");
  for (const std::string& name : others) EXPECT_TRUE(fs::exists(path(name))) << name;
  EXPECT_TRUE(fs::is_symlink(path(".a.ini.link.tmp")));
}

}  // namespace
}  // namespace pellarin
