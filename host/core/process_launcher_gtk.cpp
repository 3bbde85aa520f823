#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "common/debug_log.h"
#include "host/core/gtk_adapters.h"

extern char** environ;

namespace pellarin {

namespace {

// The signals the child starts with in their default disposition (the host handles some).
constexpr int kDefaultSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGCHLD, SIGPIPE};

// Between fork and exec: only calls that are safe in a child of a threaded process.
[[noreturn]] void becomeProgram(const char* path, char* const* argv, pid_t host, int report) {
  // The renderer ends with the host, however the host ends; if the host has ended already, the
  // renderer does not start at all.
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (::getppid() != host) ::_exit(127);
  struct sigaction defaults {};
  defaults.sa_handler = SIG_DFL;
  for (const int signal : kDefaultSignals) ::sigaction(signal, &defaults, nullptr);
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  ::execve(path, argv, environ);
  const int error = errno;
  [[maybe_unused]] const ssize_t written = ::write(report, &error, sizeof error);
  ::_exit(127);
}

// True once the process has ended (and is reaped), within the limit.
bool endsWithin(pid_t pid, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (true) {
    const pid_t reaped = ::waitpid(pid, nullptr, WNOHANG);
    if (reaped == pid || (reaped < 0 && errno == ECHILD)) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace

struct ProcessLauncherGtk::Child {
  pid_t pid = -1;
  bool running = false;
  guint watch = 0;
};

ProcessLauncherGtk::~ProcessLauncherGtk() {
  // Its watch must not call into freed memory; the process itself gets SIGTERM when the host's
  // main thread ends.
  if (child_ && child_->watch != 0 && child_->running) g_source_remove(child_->watch);
}

bool ProcessLauncherGtk::start(const std::filesystem::path& program,
                               const std::vector<std::string>& arguments) {
  const std::string path = program.string();
  std::vector<std::string> words{path};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  // The child tells through this pipe why exec failed; a successful exec closes it.
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return false;
  // No handler of the host may run in the child before it has reset them.
  sigset_t all;
  sigset_t previous;
  sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &previous);
  const pid_t host = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) becomeProgram(path.c_str(), argv.data(), host, report[1]);
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  ::close(report[1]);
  int error = 0;
  ssize_t got = -1;
  if (pid > 0) {
    do {
      got = ::read(report[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
  } else {
    error = errno;
  }
  ::close(report[0]);
  if (pid < 0 || got == static_cast<ssize_t>(sizeof error)) {
    if (pid > 0) ::waitpid(pid, nullptr, 0);
    debugLog("host: cannot start %s (errno %d)\n", path.c_str(), error);
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
        watched->watch = 0;
        debugLog("host: renderer %d ended (status %d)\n", static_cast<int>(watched->pid), status);
      },
      reference, [](gpointer data) { delete static_cast<std::shared_ptr<Child>*>(data); });
  child_ = std::move(child);
  return true;
}

bool ProcessLauncherGtk::startedProcessRunning() {
  return child_ && child_->running;
}

void ProcessLauncherGtk::endStartedProcess(std::chrono::milliseconds ownEnd,
                                           std::chrono::milliseconds asked) {
  if (!child_ || !child_->running) return;
  // Reaped here from now on: GLib's watch would otherwise find the process gone and complain.
  if (child_->watch != 0) g_source_remove(child_->watch);
  child_->watch = 0;
  const pid_t pid = child_->pid;
  if (!endsWithin(pid, ownEnd)) {
    debugLog("host: asking renderer %d to end\n", static_cast<int>(pid));
    ::kill(pid, SIGTERM);
    if (!endsWithin(pid, asked)) {
      debugLog("host: ending renderer %d by force\n", static_cast<int>(pid));
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }
  child_->running = false;
}

pid_t ProcessLauncherGtk::startedProcess() const {
  return child_ ? child_->pid : -1;
}

}  // namespace pellarin
