#pragma once
// The host's GTK / GLib adapters: message box, timers, process start, ending the event loop.

#include <glib.h>
#include <sys/types.h>

#include <memory>

#include "host/core/process_launcher.h"
#include "host/core/program_end.h"
#include "host/core/timer_service.h"
#include "host/core/user_message.h"

namespace pellarin {

// A GTK message dialog with an OK button, captioned with the program's title.
// printMessage writes to stderr.
class UserMessageGtk final : public UserMessage {
 public:
  void showMessage(std::string_view text) override;
  void printMessage(std::string_view text) override;
};

// GLib timeouts on the default main context.
class TimerServiceGtk final : public TimerService {
 public:
  std::unique_ptr<Timer> createTimer(std::chrono::milliseconds interval,
                                     std::function<void()> tick) override;
};

// Starts programs with fork and exec; a GLib child watch reaps each one when it ends, so no
// zombie is left behind. The child gets SIGTERM when the host's main thread ends
// (PR_SET_PDEATHSIG), however it ends.
class ProcessLauncherGtk final : public ProcessLauncher {
 public:
  ~ProcessLauncherGtk() override;
  bool start(const std::filesystem::path& program,
             const std::vector<std::string>& arguments) override;
  bool startedProcessRunning() override;
  void endStartedProcess(std::chrono::milliseconds ownEnd,
                         std::chrono::milliseconds asked) override;
  // The process start() made, or -1.
  pid_t startedProcess() const;

 private:
  struct Child;
  std::shared_ptr<Child> child_;
};

// Leaves the GLib main loop that runs the host.
class ProgramEndGtk final : public ProgramEnd {
 public:
  explicit ProgramEndGtk(GMainLoop* loop) : loop_(loop) {}
  void endProgram() override;
  bool ended() const { return ended_; }

 private:
  GMainLoop* loop_;
  bool ended_ = false;
};

}  // namespace pellarin
