#pragma once
// Starts a program as a new process and follows whether it still runs.

#include <filesystem>

namespace pellarin {

class ProcessLauncher {
 public:
  virtual ~ProcessLauncher() = default;
  // Starts the program file without waiting for it; false when it could not be started.
  virtual bool start(const std::filesystem::path& program) = 0;
  // True while the process that start() made has not ended.
  virtual bool startedProcessRunning() = 0;
};

}  // namespace pellarin
