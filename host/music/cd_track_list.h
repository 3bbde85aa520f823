#pragma once
// A disc's track list from what an audio CD source reports: the audio tracks only, each with its
// number on the disc. Numbers it leaves out are data tracks, which no drive plays as sound.

#include <cstdint>
#include <optional>
#include <vector>

#include "host/music/cd_audio_drive.h"

namespace pellarin {

struct NumberedCdTrack {
  std::uint32_t number = 0;      // 1 to 99, as on the disc
  std::uint32_t startFrame = 0;  // from the first frame of the disc
  std::uint32_t endFrame = 0;    // one past its last frame
};

// Tracks 1 to the highest audio track: the audio tracks where they lie and, for each number left
// out, a data track over the frames between its neighbours. Empty when the audio tracks are not
// in ascending order of number and position without overlap: no usable disc.
std::vector<CdTrack> cdTrackList(const std::vector<NumberedCdTrack>& audioTracks);

// The index of the track that holds frame; none when frame lies outside every track.
std::optional<std::size_t> cdTrackHolding(const std::vector<CdTrack>& tracks, std::uint32_t frame);

// Where playing from frame has to end: the end of the run of adjoining audio tracks that holds
// it. Frame itself when no audio track holds it.
std::uint32_t cdAudioRunEnd(const std::vector<CdTrack>& tracks, std::uint32_t frame);

}  // namespace pellarin
