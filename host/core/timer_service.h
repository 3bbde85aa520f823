#pragma once
// Repeating timers on the host's one event thread.

#include <chrono>
#include <functional>
#include <memory>

namespace pellarin {

class Timer {
 public:
  virtual ~Timer() = default;
  // An enabled timer calls its tick every interval, counted from when it was enabled.
  virtual void setEnabled(bool enabled) = 0;
  virtual bool enabled() const = 0;
};

class TimerService {
 public:
  virtual ~TimerService() = default;
  // A new timer, disabled. The tick runs on the event thread, never inside setEnabled.
  virtual std::unique_ptr<Timer> createTimer(std::chrono::milliseconds interval,
                                             std::function<void()> tick) = 0;
};

}  // namespace pellarin
