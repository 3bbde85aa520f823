#pragma once
// Seam: how many audio output devices the system offers.

#include <cstdint>

namespace pellarin {

class AudioOutputCounter {
 public:
  virtual ~AudioOutputCounter() = default;
  virtual std::int32_t countOutputDevices() = 0;
};

}  // namespace pellarin
