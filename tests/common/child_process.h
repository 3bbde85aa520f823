#pragma once
// Runs a piece of a test in a forked child: as an ordinary user where root would pass a
// permission check, and under an alarm so that a call that blocks fails the test instead of
// hanging it.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

namespace pellarin::testing {

// The account the ordinary-user cases run as when the tests run as root.
inline constexpr uid_t kOrdinaryUser = 65534;
inline constexpr gid_t kOrdinaryGroup = 65534;

enum class ChildUser { Same, Ordinary };

// "ok" when body returned true, "blocked" when the alarm ended it, otherwise how it ended.
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
  if (WIFSIGNALED(status)) return WTERMSIG(status) == SIGALRM ? "blocked" : "killed";
  return WEXITSTATUS(status) == 0   ? "ok"
         : WEXITSTATUS(status) == 1 ? "failed"
                                    : "could not become an ordinary user";
}

}  // namespace pellarin::testing
