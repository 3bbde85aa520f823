#pragma once
// Seam: one opened media file that plays its sound (the "MPEGVideo" device type).

#include <cstdint>
#include <optional>

namespace pellarin {

class MediaFileDevice {
 public:
  virtual ~MediaFileDevice() = default;

  // Plays from the given position (milliseconds) to the end, or to the given end position.
  virtual bool play(std::uint64_t fromMs, std::optional<std::uint64_t> toMs) = 0;
  // Stops and keeps the position.
  virtual bool stop() = 0;
  virtual bool pause() = 0;
  // True while the sound plays: false once stopped, paused or at the end.
  virtual bool playing() = 0;
  virtual std::uint64_t positionMs() = 0;
  virtual std::uint64_t lengthMs() = 0;
};

}  // namespace pellarin
