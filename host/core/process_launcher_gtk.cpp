#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>

#include "common/debug_log.h"
#include "host/core/gtk_adapters.h"

extern char** environ;

namespace pellarin {

struct ProcessLauncherGtk::Child {
  pid_t pid = -1;
  bool running = false;
  guint watch = 0;
};

ProcessLauncherGtk::~ProcessLauncherGtk() {
  // A renderer still running is left to run; its watch must not call into freed memory.
  if (child_ && child_->watch != 0 && child_->running) g_source_remove(child_->watch);
}

bool ProcessLauncherGtk::start(const std::filesystem::path& program) {
  const std::string path = program.string();
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // The child starts with no blocked signals and default dispositions for the usual ones.
  sigset_t empty;
  sigemptyset(&empty);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGCHLD, SIGPIPE}) sigaddset(&defaults, signal);
  posix_spawnattr_setsigmask(&attributes, &empty);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
  pid_t pid = -1;
  const int error = posix_spawn(&pid, path.c_str(), nullptr, &attributes, argv, environ);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) {
    debugLog("host: cannot start %s (error %d)\n", path.c_str(), error);
    return false;
  }

  auto child = std::make_shared<Child>();
  child->pid = pid;
  child->running = true;
  // The watch owns a reference, so it stays valid whoever goes first.
  auto* reference = new std::shared_ptr<Child>(child);
  child->watch = g_child_watch_add_full(
      G_PRIORITY_DEFAULT, pid,
      [](GPid, gint status, gpointer data) {
        auto& watched = *static_cast<std::shared_ptr<Child>*>(data);
        watched->running = false;
        debugLog("host: renderer %d ended (status %d)\n", static_cast<int>(watched->pid), status);
      },
      reference, [](gpointer data) { delete static_cast<std::shared_ptr<Child>*>(data); });
  child_ = std::move(child);
  return true;
}

bool ProcessLauncherGtk::startedProcessRunning() {
  return child_ && child_->running;
}

pid_t ProcessLauncherGtk::startedProcess() const {
  return child_ ? child_->pid : -1;
}

}  // namespace pellarin
