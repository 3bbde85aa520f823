#pragma once
// Runs a piece of a test in a forked child: as an ordinary user where root would pass a
// permission check, and under an alarm so that a call that blocks fails the test instead of
// hanging it.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>

namespace pellarin::testing {

// The account the ordinary-user cases run as when the tests run as root.
inline constexpr uid_t kOrdinaryUser = 65534;
inline constexpr gid_t kOrdinaryGroup = 65534;

enum class ChildUser { Same, Ordinary };

// "ok" when body returned true; "failed" when it returned false; otherwise how the child ended
// ("blocked" when the alarm ended it).
inline std::string inChild(const std::function<bool()>& body, ChildUser user = ChildUser::Same,
                           unsigned alarmSeconds = 30) {
  const pid_t child = ::fork();
  if (child == -1) return "fork failed";
  if (child == 0) {
    ::alarm(alarmSeconds);
    if (user == ChildUser::Ordinary && ::geteuid() == 0 &&
        (::setgid(kOrdinaryGroup) != 0 || ::setuid(kOrdinaryUser) != 0)) {
      ::_exit(2);
    }
    ::_exit(body() ? 0 : 1);
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child) return "lost";
  if (WIFSIGNALED(status)) {
    if (WTERMSIG(status) == SIGALRM) return "blocked";
    return std::string("killed by ") + ::strsignal(WTERMSIG(status));
  }
  switch (WEXITSTATUS(status)) {
    case 0:
      return "ok";
    case 1:
      return "failed";
    case 2:
      return "could not become an ordinary user";
    default:
      return "exit " + std::to_string(WEXITSTATUS(status));
  }
}

}  // namespace pellarin::testing
