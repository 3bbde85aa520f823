#pragma once
// Seam: where the audio of a CD comes from, a drive or a disc image.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/music/cd_audio_drive.h"

namespace pellarin {

class CdSectorSource {
 public:
  virtual ~CdSectorSource() = default;

  virtual CdDiscState discState() = 0;
  virtual std::vector<CdTrack> tracks() = 0;
  // Reads count frames of 2352 bytes (44.1 kHz 16-bit stereo, little-endian) from frame on.
  // May be called from a streaming thread. False when they cannot be read.
  virtual bool read(std::uint32_t frame, std::uint32_t count, std::uint8_t* out) = 0;
};

// An image: a cue sheet and its raw data file. Null when the sheet or its data cannot be read.
std::unique_ptr<CdSectorSource> openCdImage(const std::string& cueSheetPath);

}  // namespace pellarin
