// Fuzzes the building of a disc's track list from what an audio CD source reports, and the two
// look-ups the command interpreter makes in it.
//
// Input: one line per item, numbers in decimal:
//   N S E   an audio track the source reports: its number, first frame, one past its last frame
//   ? F     a frame to look up (the tracks' own edges and frame 0 are always looked up too)
//
// Checked: a list comes out exactly when the reported tracks are usable (numbers 1 to 99 and
// frames rising, without overlap or empty tracks); it then holds each reported track under its
// number, data tracks for the numbers left out, and no two tracks share a frame. The track found
// for a frame holds it, and none is found when none holds it; playing from a frame in an audio
// track runs through sound only, to the end of its run of audio tracks that follow each other
// without a gap; from any other frame it runs nowhere.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "host/music/cd_track_list.h"

namespace pellarin {
namespace {

bool holds(const CdTrack& track, std::uint32_t frame) {
  return frame >= track.startFrame && frame - track.startFrame < track.frameCount;
}

std::uint32_t endOf(const CdTrack& track) {
  return track.startFrame + track.frameCount;
}

bool usable(const std::vector<NumberedCdTrack>& reported) {
  if (reported.empty()) return false;
  std::uint32_t number = 0;
  std::uint32_t end = 0;
  for (const NumberedCdTrack& track : reported) {
    if (track.number <= number || track.number > 99 || track.startFrame < end ||
        track.endFrame <= track.startFrame) {
      return false;
    }
    number = track.number;
    end = track.endFrame;
  }
  return true;
}

void checkList(const std::vector<NumberedCdTrack>& reported, const std::vector<CdTrack>& tracks) {
  FUZZ_CHECK(tracks.size() == reported.back().number, "%zu tracks for %u numbers", tracks.size(),
             reported.back().number);
  std::vector<bool> isReported(tracks.size(), false);
  for (const NumberedCdTrack& track : reported) {
    const CdTrack& listed = tracks[track.number - 1];
    FUZZ_CHECK(
        listed.audio && listed.startFrame == track.startFrame && endOf(listed) == track.endFrame,
        "track %u is listed as %s %u to %u, reported as %u to %u", track.number,
        listed.audio ? "audio" : "data", listed.startFrame, endOf(listed), track.startFrame,
        track.endFrame);
    isReported[track.number - 1] = true;
  }
  for (std::size_t i = 0; i < tracks.size(); ++i) {
    FUZZ_CHECK(isReported[i] || !tracks[i].audio, "track %zu is audio but was not reported", i + 1);
    if (i > 0) {
      FUZZ_CHECK(endOf(tracks[i - 1]) <= tracks[i].startFrame,
                 "track %zu ends at %u, after track %zu starts at %u", i, endOf(tracks[i - 1]),
                 i + 1, tracks[i].startFrame);
    }
  }
}

void checkLookUps(const std::vector<CdTrack>& tracks, std::uint32_t frame) {
  const std::optional<std::size_t> found = cdTrackHolding(tracks, frame);
  if (found) {
    FUZZ_CHECK(*found < tracks.size() && holds(tracks[*found], frame),
               "frame %u found in a track that does not hold it", frame);
  } else {
    for (const CdTrack& track : tracks) {
      FUZZ_CHECK(!holds(track, frame), "frame %u not found, but a track holds it", frame);
    }
  }

  const std::uint32_t end = cdAudioRunEnd(tracks, frame);
  const bool inAudio = std::any_of(tracks.begin(), tracks.end(), [frame](const CdTrack& track) {
    return track.audio && holds(track, frame);
  });
  if (!inAudio) {
    FUZZ_CHECK(end == frame, "playing from frame %u, outside the audio tracks, runs to %u", frame,
               end);
    return;
  }
  FUZZ_CHECK(end > frame, "playing from frame %u in an audio track runs to %u", frame, end);
  for (std::uint32_t at = frame; at < end;) {
    auto holder = std::find_if(tracks.begin(), tracks.end(), [at](const CdTrack& track) {
      return track.audio && holds(track, at);
    });
    FUZZ_CHECK(holder != tracks.end(), "playing from %u to %u runs through frame %u, not sound",
               frame, end, at);
    at = endOf(*holder);
  }
  // The run is as long as it can be: the track after its last one is not audio starting there.
  const auto last = std::find_if(tracks.begin(), tracks.end(), [end](const CdTrack& track) {
    return track.audio && holds(track, end - 1);
  });
  const auto after = last + 1;
  FUZZ_CHECK(after == tracks.end() || !after->audio || after->startFrame != end,
             "playing from %u stops at %u, where the next track adjoins as audio", frame, end);
}

}  // namespace
}  // namespace pellarin

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pellarin;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<NumberedCdTrack> reported;
  std::vector<std::uint32_t> frames = {0};
  while (!input.empty()) {
    const std::size_t end = std::min(input.find('\n'), input.size());
    const std::string line(input.substr(0, end));
    input.remove_prefix(std::min(end + 1, input.size()));
    const char* at = line.c_str();
    char* next = nullptr;
    if (line.starts_with("?")) {
      frames.push_back(static_cast<std::uint32_t>(std::strtoul(at + 1, nullptr, 10)));
      continue;
    }
    NumberedCdTrack track;
    track.number = static_cast<std::uint32_t>(std::strtoul(at, &next, 10));
    track.startFrame = static_cast<std::uint32_t>(std::strtoul(next, &next, 10));
    track.endFrame = static_cast<std::uint32_t>(std::strtoul(next, &next, 10));
    if (next != at) reported.push_back(track);
  }

  const std::vector<CdTrack> tracks = cdTrackList(reported);
  FUZZ_CHECK(tracks.empty() != usable(reported), "%s list for %s tracks",
             tracks.empty() ? "no" : "a", usable(reported) ? "usable" : "unusable");
  if (!tracks.empty()) checkList(reported, tracks);

  for (const CdTrack& track : tracks) {
    frames.push_back(track.startFrame);
    frames.push_back(endOf(track));
    if (track.frameCount > 0) frames.push_back(endOf(track) - 1);
  }
  for (std::uint32_t frame : frames) checkLookUps(tracks, frame);
  return 0;
}
