#include "renderer/shell/termination_posix.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace pellarin {

namespace {

volatile sig_atomic_t requested = 0;
int wakeupPipe[2] = {-1, -1};

void onTerminationSignal(int signal) {
  if (requested != 0) {
    // The shutdown the first request started is taking too long for the sender.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
    return;
  }
  requested = 1;
  const int savedErrno = errno;
  if (wakeupPipe[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeupPipe[1], &byte, 1);
  }
  errno = savedErrno;
}

}  // namespace

int installTerminationHandlers() {
  static const int readable = [] {
    if (::pipe2(wakeupPipe, O_CLOEXEC | O_NONBLOCK) != 0) wakeupPipe[0] = wakeupPipe[1] = -1;
    struct sigaction action {};
    action.sa_handler = &onTerminationSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted reads and writes of the X connection carry on; waits end early anyway.
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    return wakeupPipe[0];
  }();
  return readable;
}

bool terminationRequested() {
  return requested != 0;
}

void drainTerminationWakeups() {
  if (wakeupPipe[0] < 0) return;
  char bytes[16];
  while (::read(wakeupPipe[0], bytes, sizeof bytes) > 0) {
  }
}

}  // namespace pellarin
