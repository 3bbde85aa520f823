// The host's music lock and process launcher against the real system: real files, links,
// pipes, processes and signals.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "host/core/gtk_adapters.h"
#include "host/core/posix_adapters.h"
#include "host_test_support.h"

namespace pellarin {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// True once done() holds, within the limit.
template <typename Done>
bool within(std::chrono::milliseconds limit, Done done) {
  for (const auto end = std::chrono::steady_clock::now() + limit;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(10ms);
  }
}

// No such process any more (a child of ours that ended is reaped first).
bool gone(pid_t pid) {
  ::waitpid(pid, nullptr, WNOHANG);
  return ::kill(pid, 0) != 0 && errno == ESRCH;
}

class PosixAdaptersTest : public testing::IsolatedHostTest {
 protected:
  // A shell that writes its process number into the file "pid", then runs `then`.
  std::vector<std::string> shell(const std::string& then) {
    return {"-c", "echo $$ > '" + (root() / "pid").string() + "'; " + then};
  }
  pid_t startedPid() {
    pid_t pid = 0;
    within(5s, [&] { return (pid = std::atoi(testing::readFile(root() / "pid").c_str())) > 0; });
    return pid;
  }
};

TEST_F(PosixAdaptersTest, OneMusicLockHolderAtATimeUntilItEndsHoweverItEnds) {
  const fs::path file = root() / "Pellarin.music.lock";
  // A holder killed outright lets go; one that becomes another program (the host starting its
  // renderer) lets go as it does so.
  for (const bool execs : {false, true}) {
    SCOPED_TRACE(execs ? "exec" : "kill");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    ASSERT_NE(holder, -1);
    if (holder == 0) {
      MusicLockPosix lock(file);
      const char held = lock.tryAcquire() ? 'y' : 'n';
      if (::write(ready[1], &held, 1) == 1 && execs) ::execl("/bin/sleep", "sleep", "30", nullptr);
      ::pause();
      ::_exit(0);
    }
    char held = 0;
    ASSERT_EQ(::read(ready[0], &held, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(held, 'y');
    MusicLockPosix mine(file);
    if (!execs) {
      EXPECT_FALSE(mine.tryAcquire());
      ::kill(holder, SIGKILL);
    }
    EXPECT_TRUE(within(5s, [&] { return mine.tryAcquire(); }));
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
  }
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  // What cannot be a lock does not silence the music, and nothing is made through a link.
  fs::create_symlink(root() / "target", root() / "link.lock");
  ASSERT_EQ(::mkfifo((root() / "pipe.lock").c_str(), 0600), 0);
  for (const char* place : {"link.lock", "pipe.lock", "no/folder.lock"}) {
    EXPECT_TRUE(MusicLockPosix(root() / place).tryAcquire()) << place;
  }
  EXPECT_FALSE(fs::exists(root() / "target"));
}

// First of the launcher cases, so that the forked host starts before GLib has threads.
TEST_F(PosixAdaptersTest, AStartedProgramEndsWithTheProgramThatStartedItHoweverThatEnds) {
  ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);  // the orphan comes back here to be reaped
  const pid_t host = ::fork();
  ASSERT_NE(host, -1);
  if (host == 0) {
    ProcessLauncherGtk().start("/bin/sh", shell("exec sleep 30"));
    ::pause();
  }
  const pid_t renderer = startedPid();
  ASSERT_GT(renderer, 0);
  ::kill(host, SIGKILL);
  ::waitpid(host, nullptr, 0);
  EXPECT_TRUE(within(5s, [&] { return gone(renderer); }));
  ::prctl(PR_SET_CHILD_SUBREAPER, 0);
}

TEST_F(PosixAdaptersTest, AProgramThatIgnoresTheRequestToEndIsEndedByForce) {
  ProcessLauncherGtk launcher;
  ASSERT_TRUE(launcher.start("/bin/sh", shell("trap '' TERM; exec sleep 30")));
  const pid_t renderer = startedPid();
  ASSERT_GT(renderer, 0);
  std::this_thread::sleep_for(100ms);  // the trap is set
  launcher.endStartedProcess(0ms, 200ms);
  EXPECT_FALSE(launcher.startedProcessRunning());
  EXPECT_TRUE(gone(renderer));
}

}  // namespace
}  // namespace pellarin
