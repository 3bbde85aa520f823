#pragma once
// Cue sheets of audio CD images: one raw data file of 44.1 kHz 16-bit stereo little-endian
// samples (2352 bytes per CD frame) and the tracks' start positions in it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pellarin {

inline constexpr std::uint32_t kCdFrameBytes = 2352;

struct CueSheet {
  // The data file as the sheet names it (relative to the sheet's folder unless absolute).
  std::string dataFile;
  struct Track {
    std::uint32_t startFrame = 0;  // its INDEX 01
    bool audio = true;
  };
  std::vector<Track> tracks;
};

// Reads the sheet; none when it names no data file or no track, more than one data file, a
// data file that is not raw little-endian, or positions out of order.
std::optional<CueSheet> parseCueSheet(std::string_view text);

}  // namespace pellarin
