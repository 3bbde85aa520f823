// The host's Win32 adapters against the real system: the music lock held by other processes,
// ones that are killed and ones that start programs of their own.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "host/core/win32_adapters.h"
#include "host_test_support.h"
#include "tests/common/child_process_win32.h"
#include "tests/common/win32_test_support.h"

namespace pellarin {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The holder in the child: takes the lock on "<folder>\Pellarin.music.lock"; for "<folder>|start"
// it then starts a program of its own that inherits every handle it can. It writes what it got
// (and the started program's number) into "<folder>\ready" and waits to be killed.
int holdMusicLock(const std::string& argument) {
  const bool starts = argument.ends_with("|start");
  const fs::path folder = argument.substr(0, argument.size() - (starts ? 6 : 0));
  MusicLockWin32 lock(folder / "Pellarin.music.lock");
  std::string report = lock.tryAcquire() ? "held" : "not held";
  if (starts) {
    std::optional<testing::ChildProcess> started =
        testing::ChildProcess::start("sleep", "", /*inheritHandles=*/true);
    if (!started) return 1;
    report += " " + std::to_string(started->id());
    started->detach();  // runs on when this process is killed, as a renderer would
  }
  std::ofstream(folder / "ready.part") << report;
  fs::rename(folder / "ready.part", folder / "ready");
  ::Sleep(INFINITE);
  return 0;
}

int sleepForever(const std::string&) {
  ::Sleep(INFINITE);
  return 0;
}

namespace {

class Win32AdaptersTest : public testing::IsolatedHostTest {
 protected:
  // Starts a holder and waits for its report.
  std::optional<testing::ChildProcess> startHolder(const std::string& argument,
                                                   std::string& report) {
    fs::remove(root() / "ready");
    std::optional<testing::ChildProcess> holder = testing::ChildProcess::start("hold", argument);
    if (!holder || !testing::within(30s, [&] { return fs::exists(root() / "ready"); })) return {};
    report = testing::readFile(root() / "ready");
    return holder;
  }
};

TEST_F(Win32AdaptersTest, OneMusicLockHolderAtATimeUntilItEndsHoweverItEnds) {
  const fs::path file = root() / "Pellarin.music.lock";
  // A holder killed outright lets go.
  std::string report;
  std::optional<testing::ChildProcess> holder = startHolder(root().string(), report);
  ASSERT_TRUE(holder);
  EXPECT_EQ(report, "held");
  MusicLockWin32 mine(file);
  EXPECT_FALSE(mine.tryAcquire());
  MusicLockWin32 again(file);
  holder->kill();
  EXPECT_TRUE(mine.tryAcquire());
  EXPECT_TRUE(mine.tryAcquire());  // held already
  EXPECT_FALSE(again.tryAcquire()) << "a second lock of the same process";
  mine.release();
  EXPECT_TRUE(again.tryAcquire());
  again.release();
  EXPECT_EQ(testing::letIn(file), testing::privateToUser());

  // A holder that started a program lets go when it ends, though the program runs on.
  std::optional<testing::ChildProcess> starter = startHolder(root().string() + "|start", report);
  ASSERT_TRUE(starter);
  ASSERT_TRUE(report.starts_with("held ")) << report;
  const DWORD started = static_cast<DWORD>(std::stoul(report.substr(5)));
  starter->kill();
  EXPECT_TRUE(mine.tryAcquire());
  testing::killProcess(started);
}

// What cannot be a lock does not silence the music.
TEST_F(Win32AdaptersTest, WhatCannotBeALockLetsTheMusicPlay) {
  ASSERT_TRUE(fs::create_directory(root() / "folder.lock"));
  for (const char* place : {"folder.lock", "no\\folder.lock"}) {
    EXPECT_TRUE(MusicLockWin32(root() / place).tryAcquire()) << place;
  }
  EXPECT_FALSE(fs::exists(root() / "no"));
}

}  // namespace
}  // namespace pellarin

int main(int argc, char** argv) {
  return pellarin::testing::runTestsOrRole(
      argc, argv, {{"hold", pellarin::holdMusicLock}, {"sleep", pellarin::sleepForever}});
}
