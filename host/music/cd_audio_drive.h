#pragma once
// Seam: an audio CD drive (or a stand-in for one) that plays stretches of its disc.
// Positions are in CD frames of 1/75 second, counted from the first frame of the disc (LBA 0).

#include <cstdint>
#include <vector>

namespace pellarin {

inline constexpr std::uint32_t kCdFramesPerSecond = 75;

struct CdTrack {
  std::uint32_t startFrame = 0;
  std::uint32_t frameCount = 0;
  bool audio = true;  // false for a data track, which is never played
};

enum class CdDiscState { ready, noDisc };

class CdAudioDrive {
 public:
  virtual ~CdAudioDrive() = default;

  // Ready once the disc's track list has been read; a drive without a readable disc tries again
  // at each call.
  virtual CdDiscState discState() = 0;
  // The disc's tracks in order (track 1 first); empty without a readable disc.
  virtual std::vector<CdTrack> tracks() = 0;
  // Plays frames [fromFrame, toFrame), which lie in adjoining audio tracks; false, playing
  // nothing, for any other range.
  virtual bool play(std::uint32_t fromFrame, std::uint32_t toFrame) = 0;
  // Stops and keeps the position.
  virtual bool stop() = 0;
  virtual bool pause() = 0;
  // True while frames are being played: false once stopped, paused or at the end.
  virtual bool playing() = 0;
  // The frame being played, or where playing stopped.
  virtual std::uint32_t positionFrame() = 0;
};

}  // namespace pellarin
