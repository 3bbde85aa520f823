#pragma once
// Starts a program as a new process, follows whether it still runs, and ends it.

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace pellarin {

class ProcessLauncher {
 public:
  virtual ~ProcessLauncher() = default;
  // Starts the program file with these arguments without waiting for it; false when it could
  // not be started. The process never outlives this one: should this process end without
  // endStartedProcess (killed, crashed), the platform asks the started one to end as well.
  virtual bool start(const std::filesystem::path& program,
                     const std::vector<std::string>& arguments) = 0;
  // True while the process that start() made has not ended.
  virtual bool startedProcessRunning() = 0;
  // Ends the process that start() made, unless it has ended already: waits up to ownEnd for it
  // to end by itself, then asks it to end (SIGTERM, WM_CLOSE) and waits up to asked, then ends
  // it by force. Returns once it is gone. Nothing happens when no process was started.
  virtual void endStartedProcess(std::chrono::milliseconds ownEnd,
                                 std::chrono::milliseconds asked) = 0;
};

}  // namespace pellarin
