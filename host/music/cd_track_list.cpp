#include "host/music/cd_track_list.h"

namespace pellarin {

std::vector<CdTrack> cdTrackList(const std::vector<NumberedCdTrack>& audioTracks) {
  std::vector<CdTrack> tracks;
  std::uint32_t previousEnd = 0;
  for (const NumberedCdTrack& audio : audioTracks) {
    if (audio.number <= tracks.size() || audio.number > 99 || audio.startFrame < previousEnd ||
        audio.endFrame <= audio.startFrame) {
      return {};
    }
    // The data tracks before this one share the frames since the previous audio track; each
    // but the last gets none, as nothing tells where one ends and the next begins.
    while (tracks.size() + 1 < audio.number) {
      bool last = tracks.size() + 2 == audio.number;
      std::uint32_t count = last ? audio.startFrame - previousEnd : 0;
      tracks.push_back({previousEnd, count, false});
      previousEnd += count;
    }
    tracks.push_back({audio.startFrame, audio.endFrame - audio.startFrame, true});
    previousEnd = audio.endFrame;
  }
  return tracks;
}

std::optional<std::size_t> cdTrackHolding(const std::vector<CdTrack>& tracks, std::uint32_t frame) {
  for (std::size_t i = 0; i < tracks.size(); ++i) {
    if (frame >= tracks[i].startFrame && frame - tracks[i].startFrame < tracks[i].frameCount) {
      return i;
    }
  }
  return std::nullopt;
}

std::uint32_t cdAudioRunEnd(const std::vector<CdTrack>& tracks, std::uint32_t frame) {
  std::optional<std::size_t> index = cdTrackHolding(tracks, frame);
  if (!index || !tracks[*index].audio) return frame;
  std::size_t last = *index;
  while (last + 1 < tracks.size() && tracks[last + 1].audio &&
         tracks[last + 1].startFrame == tracks[last].startFrame + tracks[last].frameCount) {
    ++last;
  }
  return tracks[last].startFrame + tracks[last].frameCount;
}

}  // namespace pellarin
