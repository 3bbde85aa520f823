#pragma once
// When the next frame may start, at a steady rate, on the renderer's own counter.

#include <cstdint>

namespace pellarin {

class FramePacer {
 public:
  // `intervalMicroseconds` between frame starts, 0 for no limit; `counterFrequency` ticks per
  // second of the counter that the calls below are given.
  FramePacer(std::int64_t intervalMicroseconds, std::int64_t counterFrequency);

  bool limited() const { return interval_ > 0; }
  // True when a frame may start at `now`.
  bool due(std::int64_t now) const;
  // Microseconds from `now` until the next frame may start, at least 1 while it may not; 0 when
  // it may.
  std::int64_t microsecondsUntilDue(std::int64_t now) const;
  // A frame starts at `now`. The next one is due one interval after the previous due time, so
  // the rate holds on average; a frame that started more than an interval late begins a new
  // count instead of a burst of catching up.
  void frameStarted(std::int64_t now);

 private:
  std::int64_t interval_ = 0;  // in counter ticks
  std::int64_t frequency_ = 1;
  bool started_ = false;
  std::int64_t nextDue_ = 0;
};

}  // namespace pellarin
