// The settings-file engine on the real file system: permissions, links, pipes, full disks and
// writers killed half-way. What another user could plant or what root would slip past runs in a
// child as an ordinary user.
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
  // The temporary files of writes, left in the folder.
  std::vector<std::string> temporaries() const {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder_, error)) {
      const std::string name = entry.path().filename().string();
      if (name.ends_with(".tmp")) names.push_back(name);
    }
    return names;
  }

  struct CaughtWriter {
    pid_t pid;
    fs::path temporary;
  };
  // Starts a write of key "k" in a child and stops the child once its temporary file has passed
  // 1 MB, before it is renamed into place. Nothing when the write ended before it was caught.
  std::optional<CaughtWriter> catchWriter(const std::string& value) {
    const pid_t child = ::fork();
    if (child == -1) return std::nullopt;
    if (child == 0) ::_exit(write("k", value, ini_) ? 0 : 1);
    for (;;) {
      std::error_code error;
      for (const auto& entry : fs::directory_iterator(folder_, error)) {
        if (!entry.path().filename().string().ends_with(".tmp")) continue;
        if (fs::file_size(entry.path(), error) < (1u << 20) || error) continue;
        ::kill(child, SIGSTOP);
        int status = 0;
        ::waitpid(child, &status, WUNTRACED);
        if (WIFSTOPPED(status) && fs::exists(entry.path()))
          return CaughtWriter{child, entry.path()};
        if (WIFSTOPPED(status)) {
          ::kill(child, SIGCONT);
          ::waitpid(child, &status, 0);
        }
        return std::nullopt;
      }
      int status = 0;
      if (::waitpid(child, &status, WNOHANG) == child) return std::nullopt;
    }
  }
  // A file large enough that its write can be caught half-way.
  void putLargeFile() {
    put(ini_, "[S]\r\nk=old\r\n[Pad]\r\npad=" + std::string(64u << 20, 'p') + "\r\n");
  }
  std::optional<CaughtWriter> catchWriterInFewTries(const std::string& value) {
    std::optional<CaughtWriter> caught;
    for (int attempt = 0; attempt < 5 && !caught; ++attempt) caught = catchWriter(value);
    return caught;
  }
};

TEST_F(ProfileFiles, NewAndRewrittenFilesArePrivateToTheirOwnerWhoIsKept) {
  const mode_t oldMask = ::umask(0);  // would let a plain create make the file 0666
  const bool created = write("k", "1", ini_);
  ::umask(oldMask);
  ASSERT_TRUE(created);
  EXPECT_EQ(mode(ini_), 0600);
  for (const int wider : {0644, 0666, 0604, 0700, 02660}) {
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
  EXPECT_EQ(read("k", ini_), "3");
}

// A link is written through only to a file in the link's own folder; reads follow any link.
TEST_F(ProfileFiles, ALinkIsWrittenThroughOnlyToAFileInItsOwnFolder) {
  const fs::path work = path("work"), link = work / "a.ini";
  fs::create_directories(work / "sub");
  fs::create_symlink("real.ini", work / "chain.ini");
  const std::string before = "[S]\r\nk=before\r\n";
  const struct {
    const char* rule;
    std::string target;
    fs::path file;  // the file the link ends at
    bool written;
  } rows[] = {
      {"absolute, outside", path("outside.ini").string(), path("outside.ini"), false},
      {"relative, outside", "../outside.ini", path("outside.ini"), false},
      {"into a subfolder", "sub/inner.ini", work / "sub" / "inner.ini", false},
      {"beside it", "real.ini", work / "real.ini", true},
      {"beside it, by way of the parent", "../work/real.ini", work / "real.ini", true},
      {"beside it, through another link", "chain.ini", work / "real.ini", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.rule);
    put(row.file, before);
    fs::remove(link);
    fs::create_symlink(row.target, link);
    EXPECT_EQ(write("k", "after", link), row.written);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(get(row.file), row.written ? "[S]\r\nk=after\r\n" : before);
    EXPECT_EQ(read("k", link), row.written ? "after" : "before");
  }
  EXPECT_TRUE(temporaries().empty());
  EXPECT_EQ(std::distance(fs::directory_iterator(work), {}), 4);  // a, chain, real, sub
}

TEST_F(ProfileFiles, NoFolderDeviceOrDanglingLinkIsTakenForTheFile) {
  ASSERT_TRUE(fs::create_directory(path("folder.ini")));
  fs::create_symlink("nowhere.ini", path("dangling.ini"));
  fs::create_symlink("/dev/null", path("device.ini"));
  for (const auto& place : {path("folder.ini"), path("dangling.ini"), path("missing/a.ini"),
                            folder_ / "", fs::path("/dev/null"), fs::path()}) {
    EXPECT_EQ(readProfileString("S", "k", "d", 9, place), "d") << place;
    EXPECT_EQ(readProfileInt("S", "k", 5, place), 5);
    EXPECT_FALSE(write("k", "v", place));
  }
  EXPECT_FALSE(write("k", "v", path("device.ini")));
  EXPECT_TRUE(fs::is_empty(path("folder.ini")));
  EXPECT_FALSE(fs::exists(path("nowhere.ini")));
  EXPECT_EQ(entryCount(), 3);
}

// Opening a named pipe for reading waits for a writer unless told not to; the alarm turns such a
// wait into a failure.
TEST_F(ProfileFiles, ANamedPipeInTheFilesPlaceNeverBlocksAReadOrAWrite) {
  ASSERT_EQ(::mkfifo(ini_.c_str(), 0600), 0);
  fs::create_symlink("a.ini", path("link.ini"));
  const std::string outcome = inChild(
      [&] {
        bool ok = true;
        for (const auto& file : {ini_, path("link.ini")}) {
          ok = ok && readProfileString("S", "k", "d", 9, file) == "d";
          ok = ok && readProfileInt("S", "k", 5, file) == 5;
          ok = ok && !write("k", "v", file);
        }
        return ok;
      },
      ChildUser::Same, 10);
  EXPECT_EQ(outcome, "ok");
  EXPECT_TRUE(fs::is_fifo(fs::symlink_status(ini_)));
  EXPECT_EQ(entryCount(), 2);
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
  const std::string outcome = inChild(
      [&] {
        bool ok = ::chmod(ini_.c_str(), 0444) == 0 && !write("k", "2", ini_);
        ok = ok && ::chmod(ini_.c_str(), 0200) == 0 && read("k", ini_) == "d";
        ok = ok && !write("k", "2", ini_);
        return ok && ::chmod(ini_.c_str(), 0600) == 0;
      },
      ChildUser::Ordinary);
  EXPECT_EQ(outcome, "ok");
  EXPECT_EQ(get(ini_), "[S]\r\nk=1\r\n");
  EXPECT_EQ(entryCount(), 1);
}

TEST_F(ProfileFiles, AWriterKilledHalfWayLeavesATemporaryFileThatTheNextWriteRemoves) {
  putLargeFile();
  const std::optional<CaughtWriter> caught = catchWriterInFewTries("killed");
  ASSERT_TRUE(caught) << "every write ended before it could be caught";
  ASSERT_EQ(::kill(caught->pid, SIGKILL), 0);
  ASSERT_EQ(::waitpid(caught->pid, nullptr, 0), caught->pid);
  ASSERT_TRUE(fs::exists(caught->temporary));
  EXPECT_EQ(read("k", ini_), "old");

  // Temporary files of other files, and what only looks like one, are not this write's to clear.
  const std::string others[] = {".b.ini.1.2.3.tmp", "a.ini.1.2.3.tmp", ".a.ini.1.2.3.tmp.x"};
  for (const std::string& name : others) put(path(name), "x");
  ASSERT_TRUE(fs::create_directory(path(".a.ini.folder.tmp")));
  fs::create_symlink("b.ini", path(".a.ini.link.tmp"));
  put(path("b.ini"), "kept");

  ASSERT_TRUE(write("k", "next", ini_));
  EXPECT_FALSE(fs::exists(caught->temporary));
  EXPECT_EQ(read("k", ini_), "next");
  for (const std::string& name : others) EXPECT_TRUE(fs::exists(path(name))) << name;
  EXPECT_TRUE(fs::is_directory(path(".a.ini.folder.tmp")));
  EXPECT_TRUE(fs::is_symlink(path(".a.ini.link.tmp")));
  EXPECT_EQ(get(path("b.ini")), "kept");
}

// The writer is stopped, not dead: its temporary file must still be there when it goes on.
TEST_F(ProfileFiles, TheTemporaryFileOfAWriteStillRunningInAnotherProcessIsLeftAlone) {
  putLargeFile();
  const std::optional<CaughtWriter> caught = catchWriterInFewTries("running");
  ASSERT_TRUE(caught) << "every write ended before it could be caught";
  const bool written = write("n", "meanwhile", ini_);
  const bool kept = fs::exists(caught->temporary);
  ::kill(caught->pid, SIGCONT);
  int status = 0;
  ASSERT_EQ(::waitpid(caught->pid, &status, 0), caught->pid);
  EXPECT_TRUE(written);
  EXPECT_TRUE(kept);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  // Nothing is locked: the write that ends last is the one that stays.
  EXPECT_EQ(read("k", ini_), "running");
  EXPECT_TRUE(temporaries().empty());
}

}  // namespace
}  // namespace pellarin
