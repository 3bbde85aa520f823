#pragma once
// Seam: the platform's sound player that loops one sound file in the background.

#include <string_view>

namespace pellarin {

class LoopingSoundPlayer {
 public:
  virtual ~LoopingSoundPlayer() = default;

  // Starts looping the file without a gap, replacing any sound already playing, and returns at
  // once. True when the platform accepted the sound.
  virtual bool startLoop(std::string_view file) = 0;

  // Stops whatever sound is playing. True when the platform accepted the request.
  virtual bool stop() = 0;
};

}  // namespace pellarin
