// The host's Win32 adapters against the real system (Wine, on the prefix's own virtual X
// server): windows looked up by title across processes, timers, the renderer's process, the
// preview inside a window of the test's, the hidden window's unload requests, and the music
// lock held by other processes, ones that are killed and ones that start programs of their own.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "common/win32_text.h"
#include "host/core/preview_window_win32.h"
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

void pump(DWORD milliseconds) {
  const DWORD end = ::GetTickCount() + milliseconds;
  do {
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    ::Sleep(5);
  } while (static_cast<LONG>(end - ::GetTickCount()) > 0);
}

// Dispatches messages until done() holds, for 10 s at most; done()'s final answer.
template <typename Done>
bool pumpUntil(Done done) {
  for (int i = 0; i < 500 && !done(); ++i) pump(20);
  return done();
}

// Written whole, into the file named by an environment variable.
void report(const char* variable, const std::string& text) {
  const fs::path file = std::getenv(variable);
  std::ofstream(file.string() + ".part", std::ios::binary) << text;
  fs::rename(file.string() + ".part", file);
}

// A started renderer's part: for "window" opens a window that WM_CLOSE ends, for "stubborn"
// one that ignores it; then reports how it was started (PELLARIN_TEST_REPORT); for "own" it
// then ends by itself.
int actRenderer(const std::string& argument) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  ::GetStartupInfoW(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : -1;
  const std::string mode = argument.substr(0, argument.find(' '));
  const HWND window = mode == "own" ? nullptr
                                    : ::CreateWindowExW(0, L"Static", L"renderer", WS_POPUP, 0, 0,
                                                        10, 10, nullptr, nullptr, nullptr, nullptr);
  report("PELLARIN_TEST_REPORT", "show=" + std::to_string(show) + " [" + argument + "]");
  if (mode == "own") return 0;
  if (mode == "stubborn") {
    // Its window never answers; the process waits for ever.
    ::Sleep(INFINITE);
  }
  while (::IsWindow(window)) pump(20);  // WM_CLOSE destroys it (DefWindowProc)
  return 0;
}

// Starts a renderer that runs until it is ended, reports its number (PELLARIN_TEST_LAUNCHED)
// and waits to be killed.
int launchRenderer(const std::string& program) {
  ProcessLauncherWin32 launcher;
  if (!launcher.start(program, {"--child=renderer", "window"})) return 1;
  report("PELLARIN_TEST_LAUNCHED", std::to_string(launcher.startedProcess()));
  ::Sleep(INFINITE);
  return 0;
}

// Carries the run-mode title in a hidden window until it is killed.
int holdTitle(const std::string& title) {
  TitledHiddenWindowWin32 window(title, [] {});
  report("PELLARIN_TEST_REPORT", "titled");
  for (;;) pump(100);
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

// Both titles of the single-instance rule, hidden or shown, in this process or another, titled
// through the wide calls (this version) or the narrow ones with code page 932 bytes (earlier
// versions, as the system's code page reads them).
TEST_F(Win32AdaptersTest, WindowsAreFoundByTitleAcrossProcessesAndCodePages) {
  WindowFinderWin32 finder;
  const std::string dialogTitle = "\xE2\x96\xA0Pellarin\xE2\x96\xA0";  // ■Pellarin■
  EXPECT_FALSE(finder.windowWithTitleExists(dialogTitle));
  EXPECT_FALSE(finder.windowWithTitleExists("Quorvane_Main"));

  const HWND wide = ::CreateWindowExW(0, L"Static", wideText(dialogTitle).c_str(), WS_POPUP, 0, 0,
                                      10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(wide, nullptr);
  EXPECT_TRUE(finder.windowWithTitleExists(dialogTitle)) << "the dialog of this version";
  ::DestroyWindow(wide);
  EXPECT_FALSE(finder.windowWithTitleExists(dialogTitle));

  const HWND narrow = ::CreateWindowExA(0, "Static", "\x81\xA1Pellarin\x81\xA1", WS_POPUP, 0, 0, 10,
                                        10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(narrow, nullptr);
  EXPECT_TRUE(finder.windowWithTitleExists(dialogTitle)) << "the dialog of an earlier version";
  ::DestroyWindow(narrow);

  testing::setEnvironment("PELLARIN_TEST_REPORT", (root() / "titled").string());
  std::optional<testing::ChildProcess> other =
      testing::ChildProcess::start("titled", "Quorvane_Main");
  ASSERT_TRUE(other && testing::within(30s, [&] { return fs::exists(root() / "titled"); }));
  EXPECT_TRUE(finder.windowWithTitleExists("Quorvane_Main"));
  EXPECT_FALSE(finder.windowWithTitleExists("Quorvane_Mai"));
  other->kill();
  EXPECT_FALSE(finder.windowWithTitleExists("Quorvane_Main"));
}

TEST_F(Win32AdaptersTest, TimersTickThroughTheMessageLoopWhileEnabled) {
  TimerServiceWin32 timers;
  int ticksA = 0;
  int ticksB = 0;
  std::unique_ptr<Timer> b;
  std::unique_ptr<Timer> a = timers.createTimer(30ms, [&] {
    ++ticksA;
    if (ticksA == 3) a->setEnabled(false);  // switched off inside its own tick
  });
  b = timers.createTimer(30ms, [&] { ++ticksB; });
  EXPECT_FALSE(a->enabled());
  pump(200);
  EXPECT_EQ(ticksA, 0) << "a new timer is off";

  a->setEnabled(true);
  b->setEnabled(true);
  EXPECT_EQ(ticksA, 0) << "never inside setEnabled";
  EXPECT_TRUE(pumpUntil([&] { return ticksB >= 5; })) << "the other timer runs on";
  EXPECT_EQ(ticksA, 3);
  EXPECT_FALSE(a->enabled());
  b.reset();  // a timer that goes stops
  pump(100);

  // On again, for a timer that switched itself off.
  a->setEnabled(true);
  EXPECT_TRUE(pumpUntil([&] { return ticksA > 3; }));
  a->setEnabled(false);
  const int stopped = ticksA;
  pump(200);
  EXPECT_EQ(ticksA, stopped);
}

// The renderer program is named ".dll"; it starts with a normal, activated window and exactly
// the arguments given; ending it waits for its own end, then asks, then forces.
TEST_F(Win32AdaptersTest, TheRendererStartsAndEndsAsTheHostAsks) {
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  const fs::path renderer = root() / "program" / "Pellarin2.dll";
  fs::create_directories(renderer.parent_path());
  fs::copy_file(self, renderer);
  const fs::path reportFile = root() / "renderer-report";
  testing::setEnvironment("PELLARIN_TEST_REPORT", reportFile.string());

  {
    ProcessLauncherWin32 launcher;
    EXPECT_FALSE(launcher.startedProcessRunning());
    launcher.endStartedProcess(0ms, 0ms);  // nothing started: nothing happens
    EXPECT_FALSE(launcher.start(root() / "missing.dll", {}));
    EXPECT_FALSE(launcher.startedProcessRunning());
  }

  // argument, how it ends (own end, asked, forced), the least time ending takes
  struct Case {
    std::string argument;
    DWORD exitCode;
    std::chrono::milliseconds atLeast;
  };
  const Case cases[] = {
      {"own C:\\a b\\\"q\" \\", 0, 0ms},
      {"window", 0, 300ms},
      {"stubborn", 1, 600ms},
  };
  for (const Case& expected : cases) {
    SCOPED_TRACE(expected.argument);
    fs::remove(reportFile);
    ProcessLauncherWin32 launcher;
    ASSERT_TRUE(launcher.start(renderer, {"--child=renderer", expected.argument}));
    ASSERT_TRUE(testing::within(30s, [&] { return fs::exists(reportFile); }));
    EXPECT_EQ(testing::readFile(reportFile), "show=1 [" + expected.argument + "]");
    const HANDLE process = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                         launcher.startedProcess());
    ASSERT_NE(process, nullptr);
    if (expected.atLeast == 0ms) {
      ::WaitForSingleObject(process, 10000);
      EXPECT_FALSE(launcher.startedProcessRunning());
    } else {
      EXPECT_TRUE(launcher.startedProcessRunning());  // its window is up
    }
    const auto started = std::chrono::steady_clock::now();
    launcher.endStartedProcess(300ms, 300ms);
    EXPECT_GE(std::chrono::steady_clock::now() - started, expected.atLeast);
    EXPECT_FALSE(launcher.startedProcessRunning());
    DWORD code = STILL_ACTIVE;
    EXPECT_EQ(::WaitForSingleObject(process, 0), WAIT_OBJECT_0);
    ::GetExitCodeProcess(process, &code);
    EXPECT_EQ(code, expected.exitCode);
    ::CloseHandle(process);
  }
}

// A host that is killed, however it ends, takes its renderer with it.
TEST_F(Win32AdaptersTest, TheRendererEndsWithAHostThatIsKilled) {
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  testing::setEnvironment("PELLARIN_TEST_REPORT", (root() / "renderer-report").string());
  testing::setEnvironment("PELLARIN_TEST_LAUNCHED", (root() / "launched").string());
  std::optional<testing::ChildProcess> host =
      testing::ChildProcess::start("launch", fs::path(self).string());
  ASSERT_TRUE(host && testing::within(30s, [&] { return fs::exists(root() / "launched"); }));
  const DWORD rendererId = static_cast<DWORD>(std::stoul(testing::readFile(root() / "launched")));
  const HANDLE renderer = ::OpenProcess(SYNCHRONIZE, FALSE, rendererId);
  ASSERT_NE(renderer, nullptr);
  EXPECT_EQ(::WaitForSingleObject(renderer, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  host->kill();
  EXPECT_EQ(::WaitForSingleObject(renderer, 10000), WAIT_OBJECT_0) << "the renderer outlived it";
  ::CloseHandle(renderer);
}

// The system asking the program to end reaches the run-mode form as an unload request.
TEST_F(Win32AdaptersTest, TheHiddenWindowPassesOnTheSystemsEndRequests) {
  int requests = 0;
  TitledHiddenWindowWin32 window("Quorvane_Main", [&] { ++requests; });
  ASSERT_NE(window.window(), nullptr);
  EXPECT_FALSE(::IsWindowVisible(window.window()));
  EXPECT_EQ(::SendMessageW(window.window(), WM_QUERYENDSESSION, 0, 0), TRUE);
  EXPECT_EQ(requests, 0);
  ::SendMessageW(window.window(), WM_ENDSESSION, FALSE, 0);  // the end was called off
  EXPECT_EQ(requests, 0);
  ::SendMessageW(window.window(), WM_ENDSESSION, TRUE, 0);
  EXPECT_EQ(requests, 1);
  ::SendMessageW(window.window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(requests, 2);
  EXPECT_TRUE(::IsWindow(window.window())) << "the program ends it, not the message";
}

// The preview inside a window of this process, whose painting Wine shows (a child window of
// another process it does not draw): the picture at its size in the top-left corner, black
// around it, and the end when the parent goes.
TEST_F(Win32AdaptersTest, ThePreviewFillsItsParentWithThePictureOnBlack) {
  constexpr int kWidth = 152;
  constexpr int kHeight = 112;
  std::vector<std::uint8_t> rgb(kWidth * kHeight * 3);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      std::uint8_t* pixel = &rgb[static_cast<std::size_t>((y * kWidth + x) * 3)];
      pixel[0] = static_cast<std::uint8_t>(x + 60);
      pixel[1] = static_cast<std::uint8_t>(y + 20);
      pixel[2] = static_cast<std::uint8_t>(200);
    }
  }
  PreviewWindowWin32 refused(PictureView{kWidth, kHeight, rgb});
  EXPECT_FALSE(refused.attach(nullptr, [] {}));
  const HWND gone = ::CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                      nullptr, nullptr);
  ::DestroyWindow(gone);
  EXPECT_FALSE(refused.attach(gone, [] {}));

  const HWND parent = ::CreateWindowExW(0, L"Static", L"", WS_POPUP | WS_VISIBLE, 30, 30, 200, 150,
                                        nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(parent, nullptr);
  int ends = 0;
  PreviewWindowWin32 preview(PictureView{kWidth, kHeight, rgb});
  ASSERT_TRUE(preview.attach(parent, [&] { ++ends; }));
  EXPECT_EQ(::GetParent(preview.window()), parent);
  RECT inside{};
  ::GetClientRect(preview.window(), &inside);
  EXPECT_EQ(std::pair(inside.right, inside.bottom), std::pair(200L, 150L));
  ::UpdateWindow(preview.window());
  pump(300);

  const HDC context = ::GetDC(parent);
  const std::pair<POINT, COLORREF> samples[] = {
      {{0, 0}, RGB(60, 20, 200)},     {{151, 0}, RGB(211, 20, 200)}, {{0, 111}, RGB(60, 131, 200)},
      {{100, 50}, RGB(160, 70, 200)}, {{152, 0}, RGB(0, 0, 0)},      {{0, 112}, RGB(0, 0, 0)},
      {{199, 149}, RGB(0, 0, 0)}};
  for (const auto& [at, colour] : samples) {
    EXPECT_EQ(::GetPixel(context, at.x, at.y), colour) << at.x << ',' << at.y;
  }
  ::ReleaseDC(parent, context);

  EXPECT_EQ(ends, 0);
  ::DestroyWindow(parent);
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(preview.window(), nullptr);
}

}  // namespace
}  // namespace pellarin

int main(int argc, char** argv) {
  return pellarin::testing::runTestsOrRole(argc, argv,
                                           {{"hold", pellarin::holdMusicLock},
                                            {"sleep", pellarin::sleepForever},
                                            {"renderer", pellarin::actRenderer},
                                            {"launch", pellarin::launchRenderer},
                                            {"titled", pellarin::holdTitle}});
}
