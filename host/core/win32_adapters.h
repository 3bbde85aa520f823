#pragma once
// The host's Win32 adapters: USER windows and timers, KERNEL processes and files. Each
// translates one seam to the system's calls, in the order the seams give them; they mirror the
// X11 (x11_adapters.h) and GTK / POSIX (gtk_adapters.h, posix_adapters.h) ones.
//
// Missing against the Linux adapters, and why:
// - Windows has no screen-saver daemon that hands a window to draw into: the window options are
//   not read there (host_program_win32.cpp), so windowWithTitleExistsInside and rootWindow only
//   keep the seam whole.
// - The preview does not follow its parent's size: the system's preview window never changes
//   size, and a child window is not told when its parent's does.

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "common/window_win32.h"
#include "host/core/music_lock.h"
#include "host/core/pointer_control.h"
#include "host/core/process_launcher.h"
#include "host/core/program_end.h"
#include "host/core/screen_metrics.h"
#include "host/core/timer_service.h"
#include "host/core/user_message.h"
#include "host/core/window_finder.h"

namespace pellarin {

// FindWindowA with the title's code page 932 bytes, the lookup earlier versions made (the same
// window as the wide lookup on a Japanese system); then FindWindowW with the title itself, which
// finds a window titled through the wide calls on a system of any code page. Hidden windows and
// windows of every process count.
class WindowFinderWin32 final : public WindowFinder {
 public:
  bool windowWithTitleExists(std::string_view title) override;
  bool windowWithTitleExistsInside(WindowId ancestor, std::string_view title) override;
  bool windowExists(WindowId window) override;
  // The desktop window.
  WindowId rootWindow() override;
};

// ShowCursor: the system keeps the count.
class PointerControlWin32 final : public PointerControl {
 public:
  std::int32_t showCursor(bool show) override;
};

// The primary monitor's size (GetSystemMetrics).
class ScreenMetricsWin32 final : public ScreenMetrics {
 public:
  ScreenSize primaryScreenSize() override;
};

// A top-level window that is never shown and exists to carry a title for others to find. It
// also hears the system ask the program to end (WM_CLOSE, the end of the session): that is the
// form's unload request, handed to closeRequested.
class TitledHiddenWindowWin32 {
 public:
  TitledHiddenWindowWin32(std::string_view title, std::function<void()> closeRequested);
  ~TitledHiddenWindowWin32();
  TitledHiddenWindowWin32(const TitledHiddenWindowWin32&) = delete;
  TitledHiddenWindowWin32& operator=(const TitledHiddenWindowWin32&) = delete;
  HWND window() const { return window_; }

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  std::function<void()> closeRequested_;
  HWND window_ = nullptr;
};

// MessageBoxW with an OK button, captioned with the program's title: the Japanese texts show on
// a system of any code page. printMessage writes to stderr and the debug channel.
class UserMessageWin32 final : public UserMessage {
 public:
  void showMessage(std::string_view text) override;
  void printMessage(std::string_view text) override;
};

// SetTimer on a message-only window of the service's; the ticks come through the thread's
// message loop. The service outlives its timers.
class TimerServiceWin32 final : public TimerService {
 public:
  TimerServiceWin32();
  ~TimerServiceWin32() override;
  TimerServiceWin32(const TimerServiceWin32&) = delete;
  TimerServiceWin32& operator=(const TimerServiceWin32&) = delete;
  std::unique_ptr<Timer> createTimer(std::chrono::milliseconds interval,
                                     std::function<void()> tick) override;

 private:
  class WindowTimer;
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
  UINT_PTR nextId_ = 1;
  std::map<UINT_PTR, WindowTimer*> timers_;
};

// CreateProcessW with a normal, activated window; nothing of this process is inherited. The
// process is put into a job that ends it when this process ends without ending it first
// (killed, crashed). Asking it to end posts WM_CLOSE to its top-level windows.
class ProcessLauncherWin32 final : public ProcessLauncher {
 public:
  ProcessLauncherWin32() = default;
  ~ProcessLauncherWin32() override;
  ProcessLauncherWin32(const ProcessLauncherWin32&) = delete;
  ProcessLauncherWin32& operator=(const ProcessLauncherWin32&) = delete;
  bool start(const std::filesystem::path& program,
             const std::vector<std::string>& arguments) override;
  bool startedProcessRunning() override;
  void endStartedProcess(std::chrono::milliseconds ownEnd,
                         std::chrono::milliseconds asked) override;
  // The process start() made, or 0.
  DWORD startedProcess() const { return processId_; }

 private:
  HANDLE process_ = nullptr;
  HANDLE job_ = nullptr;
  DWORD processId_ = 0;
};

// Ends the thread's message loop (runMessageLoop) after the current message.
class ProgramEndWin32 final : public ProgramEnd {
 public:
  void endProgram() override;
  bool ended() const { return ended_; }

 private:
  bool ended_ = false;
};

// Dispatches the thread's messages until end has ended the program (or WM_QUIT arrives).
void runMessageLoop(const ProgramEndWin32& end);

// MusicLock over a file in the work folder held open sharing nothing: no other process can open
// it meanwhile, the system closes the handle when the holding process ends, however it ends,
// and the handle is not inherited by the programs this one starts. The file itself stays and
// means nothing.
class MusicLockWin32 final : public MusicLock {
 public:
  explicit MusicLockWin32(std::filesystem::path file) : file_(std::move(file)) {}
  ~MusicLockWin32() override;
  MusicLockWin32(const MusicLockWin32&) = delete;
  MusicLockWin32& operator=(const MusicLockWin32&) = delete;
  bool tryAcquire() override;
  void release() override;

 private:
  std::filesystem::path file_;
  std::intptr_t handle_ = -1;
};

}  // namespace pellarin
