#include "renderer/shell/frame_pacer.h"

#include <algorithm>

namespace pellarin {

namespace {

constexpr std::int64_t kMicrosecondsPerSecond = 1'000'000;
// About eleven days: longer intervals are taken as this, which keeps the tick arithmetic below
// within 64 bits for any counter up to a terahertz.
constexpr std::int64_t kLongestInterval = 1'000'000'000'000;

}  // namespace

FramePacer::FramePacer(std::int64_t intervalMicroseconds, std::int64_t counterFrequency)
    : frequency_(std::clamp<std::int64_t>(counterFrequency, 1, 1'000'000'000'000)) {
  const std::int64_t microseconds = std::min(intervalMicroseconds, kLongestInterval);
  if (microseconds <= 0) return;
  const std::int64_t ticks =
      microseconds / kMicrosecondsPerSecond * frequency_ +
      microseconds % kMicrosecondsPerSecond * frequency_ / kMicrosecondsPerSecond;
  interval_ = std::max<std::int64_t>(ticks, 1);
}

bool FramePacer::due(std::int64_t now) const {
  return !limited() || !started_ || now >= nextDue_;
}

std::int64_t FramePacer::microsecondsUntilDue(std::int64_t now) const {
  if (due(now)) return 0;
  const std::int64_t ticks = nextDue_ - now;
  const std::int64_t microseconds =
      ticks / frequency_ * kMicrosecondsPerSecond +
      (ticks % frequency_ * kMicrosecondsPerSecond + frequency_ - 1) / frequency_;
  return std::max<std::int64_t>(microseconds, 1);
}

void FramePacer::frameStarted(std::int64_t now) {
  if (!limited()) return;
  if (started_ && now - nextDue_ < interval_) {
    nextDue_ += interval_;
  } else {
    nextDue_ = now + interval_;
  }
  started_ = true;
}

}  // namespace pellarin
