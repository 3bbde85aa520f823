// The host's file-system calls, its music lock and its process launcher against the real
// system: real files, links, pipes, processes, signals and an ordinary user.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <regex>
#include <set>
#include <thread>

#include "host/core/file_system.h"
#include "host/core/gtk_adapters.h"
#include "host/core/posix_adapters.h"
#include "host_test_support.h"
#include "tests/common/temp_folder.h"

namespace pellarin {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
constexpr uid_t kNobody = 65534;

// Runs body in a child process as an ordinary user; true when it returned true.
template <typename Body>
bool asOrdinaryUser(Body body) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(2);
    ::_exit(body() ? 0 : 1);
  }
  int status = 0;
  return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

// True once no process with this id is left (a zombie this process may reap counts as gone).
bool goneWithin(pid_t pid, std::chrono::milliseconds limit) {
  for (const auto end = std::chrono::steady_clock::now() + limit;;) {
    ::waitpid(pid, nullptr, WNOHANG);
    if (::kill(pid, 0) != 0 && errno == ESRCH) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(5ms);
  }
}

// True once done() holds, within the limit.
template <typename Done>
bool eventually(Done done, std::chrono::milliseconds limit) {
  for (const auto end = std::chrono::steady_clock::now() + limit;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(10ms);
  }
}

// A number a program wrote into a file, once it is there.
pid_t pidFrom(const fs::path& file) {
  pid_t pid = 0;
  for (int i = 0; i < 500 && pid == 0; ++i) {
    pid = static_cast<pid_t>(std::atoi(testing::readFile(file).c_str()));
    if (pid == 0) std::this_thread::sleep_for(10ms);
  }
  return pid;
}

class PosixAdaptersTest : public testing::TempFolderTest {};

TEST_F(PosixAdaptersTest, TemporaryFilesAreNewPrivateAndGoneAfterUse) {
  const mode_t previousMask = ::umask(0);  // the mode must not depend on the caller's umask
  std::set<fs::path> names;
  for (int i = 0; i < 3; ++i) {
    const auto file = TemporaryFile::create(folder_, "Dumy", ".bmp");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->path().parent_path(), folder_);
    EXPECT_TRUE(std::regex_match(file->path().filename().string(),
                                 std::regex(R"(Dumy-[A-Za-z0-9]{6}\.bmp)")));
    struct stat info {};
    ASSERT_EQ(::lstat(file->path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode, S_IFREG | 0600);
    EXPECT_TRUE(file->writeAndClose(std::vector<std::uint8_t>{'B', 'M', 0, 1}));
    EXPECT_EQ(get(file->path()), std::string("BM\0\1", 4));
    EXPECT_FALSE(file->writeAndClose({}));  // closed already
    names.insert(file->path());
  }
  ::umask(previousMask);
  EXPECT_EQ(names.size(), 3u);
  EXPECT_EQ(entryCount(), 0);  // each one removed with its object

  EXPECT_EQ(TemporaryFile::create(folder_ / "missing", "Dumy", ".bmp"), nullptr);
  ASSERT_EQ(::chmod(folder_.c_str(), 0755), 0);  // readable, not writable, for others
  EXPECT_TRUE(
      asOrdinaryUser([&] { return TemporaryFile::create(folder_, "Dumy", ".bmp") == nullptr; }));
}

TEST_F(PosixAdaptersTest, ChecksNeverBlockOnAPipe) {
  const fs::path pipe = path("pipe");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  put(path("file"), "x");
  auto check = std::async(std::launch::async, [&] {
    return std::pair(isReadableRegularFile(pipe.string()), isReadableRegularFile(path("file")));
  });
  if (check.wait_for(5s) != std::future_status::ready) {
    ADD_FAILURE() << "the check blocks on a named pipe";
    ::close(::open(pipe.c_str(), O_WRONLY | O_NONBLOCK));  // lets the blocked open go on
  }
  EXPECT_EQ(check.get(), std::pair(false, true));
}

TEST_F(PosixAdaptersTest, OneMusicLockHolderAtATimeUntilItEndsHoweverItEnds) {
  const fs::path file = path("Pellarin.music.lock");
  MusicLockPosix first(file), second(file);
  EXPECT_TRUE(first.tryAcquire());
  EXPECT_TRUE(first.tryAcquire());  // held already
  EXPECT_FALSE(second.tryAcquire());
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  first.release();
  EXPECT_TRUE(second.tryAcquire());
  second.release();

  // A holder killed outright lets go; one that becomes another program (the renderer) lets go
  // as it does so.
  for (const bool execs : {false, true}) {
    SCOPED_TRACE(execs ? "exec" : "kill");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    ASSERT_NE(holder, -1);
    if (holder == 0) {
      MusicLockPosix lock(file);
      const char held = lock.tryAcquire() ? 'y' : 'n';
      if (::write(ready[1], &held, 1) != 1) ::_exit(1);
      if (execs) ::execl("/bin/sleep", "sleep", "30", nullptr);
      ::pause();
      ::_exit(0);
    }
    ::close(ready[1]);
    char held = 0;
    ASSERT_EQ(::read(ready[0], &held, 1), 1);
    ::close(ready[0]);
    EXPECT_EQ(held, 'y');
    MusicLockPosix mine(file);
    if (!execs) {
      EXPECT_FALSE(mine.tryAcquire());
      ::kill(holder, SIGKILL);
      ::waitpid(holder, nullptr, 0);
    }
    EXPECT_TRUE(eventually([&] { return mine.tryAcquire(); }, 5s));
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
  }

  // What cannot be a lock does not silence the music, and nothing is written through a link.
  const fs::path target = path("target");
  fs::create_symlink(target, path("link.lock"));
  ASSERT_EQ(::mkfifo(path("pipe.lock").c_str(), 0600), 0);
  for (const fs::path& place : {path("link.lock"), path("pipe.lock"), path("no/folder.lock")}) {
    EXPECT_TRUE(MusicLockPosix(place).tryAcquire()) << place;
  }
  EXPECT_FALSE(fs::exists(target));
}

class LauncherTest : public testing::TempFolderTest {
 protected:
  // A shell that writes its arguments and its process number, then runs `then`.
  std::vector<std::string> script(const std::string& then) {
    return {"-c",
            "printf '%s|' \"$@\" > '" + path("args").string() + "'; echo $$ > '" +
                path("pid").string() + "'; " + then,
            "sh"};
  }
};

// The host killed outright (SIGKILL, a crash): its renderer does not run on alone. First of
// the launcher tests, so that the forked host starts before GLib has threads of its own.
TEST_F(LauncherTest, TheStartedProgramEndsWithTheProgramThatStartedIt) {
  ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);  // orphans come back here to be reaped
  const pid_t host = ::fork();
  ASSERT_NE(host, -1);
  if (host == 0) {
    ProcessLauncherGtk launcher;
    launcher.start("/bin/sh", script("exec sleep 30"));
    ::pause();
    ::_exit(0);
  }
  const pid_t renderer = pidFrom(path("pid"));
  ASSERT_GT(renderer, 0);
  EXPECT_FALSE(goneWithin(renderer, 200ms));
  ::kill(host, SIGKILL);
  ::waitpid(host, nullptr, 0);
  EXPECT_TRUE(goneWithin(renderer, 5s));
  ::prctl(PR_SET_CHILD_SUBREAPER, 0);
}

TEST_F(LauncherTest, StartsWithArgumentsAndEndsTheProgramAskingFirstThenByForce) {
  // The host handles or ignores signals the program must meet in their default disposition.
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGTERM, &ignore, &previous);
  ProcessLauncherGtk launcher;
  std::vector<std::string> arguments = script("exec sleep 30");
  arguments.insert(arguments.end(), {"--window-id", "4 2"});
  ASSERT_TRUE(launcher.start("/bin/sh", arguments));
  ::sigaction(SIGTERM, &previous, nullptr);
  const pid_t pid = pidFrom(path("pid"));
  ASSERT_GT(pid, 0);
  EXPECT_EQ(pid, launcher.startedProcess());
  EXPECT_EQ(get(path("args")), "--window-id|4 2|");
  EXPECT_TRUE(launcher.startedProcessRunning());
  const auto asked = std::chrono::steady_clock::now();
  launcher.endStartedProcess(0ms, 5000ms);
  EXPECT_LT(std::chrono::steady_clock::now() - asked, 4s) << "ended when asked, not forced";
  EXPECT_FALSE(launcher.startedProcessRunning());
  EXPECT_TRUE(goneWithin(pid, 0ms));

  // One that does not listen is ended by force once its time is up.
  ProcessLauncherGtk stubborn;
  ASSERT_TRUE(stubborn.start("/bin/sh", script("trap '' TERM; exec sleep 30")));
  const pid_t deaf = pidFrom(path("pid"));
  ASSERT_GT(deaf, 0);
  std::this_thread::sleep_for(100ms);  // the trap is set
  stubborn.endStartedProcess(0ms, 200ms);
  EXPECT_TRUE(goneWithin(deaf, 0ms));

  // One that ends by itself within its time is waited for; then there is nothing to end.
  ProcessLauncherGtk brief;
  ASSERT_TRUE(brief.start(
      "/bin/sh", script("trap 'echo asked > \"" + path("asked").string() + "\"' TERM; sleep 0.3")));
  brief.endStartedProcess(5000ms, 5000ms);
  EXPECT_FALSE(fs::exists(path("asked")));
  brief.endStartedProcess(0ms, 0ms);

  // What cannot be started is reported.
  put(path("plain"), "#!/bin/sh\n");
  for (const fs::path& program : {path("missing"), path("plain")}) {
    ProcessLauncherGtk failing;
    EXPECT_FALSE(failing.start(program, {})) << program;
    EXPECT_FALSE(failing.startedProcessRunning());
    failing.endStartedProcess(0ms, 0ms);
  }
}

}  // namespace
}  // namespace pellarin
