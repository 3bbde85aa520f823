#include "host/music/cd_track_list.h"

#include <gtest/gtest.h>

#include <string>

namespace pellarin {
namespace {

// "start+count" per track, a leading "d" for a data track.
std::string describe(const std::vector<CdTrack>& tracks) {
  std::string text;
  for (const CdTrack& track : tracks) {
    text += (text.empty() ? "" : " ") + std::string(track.audio ? "" : "d") +
            std::to_string(track.startFrame) + "+" + std::to_string(track.frameCount);
  }
  return text;
}

TEST(CdTrackList, AudioTracksKeepTheirNumbersAndDataTracksFillTheGaps) {
  const struct {
    const char* name;
    std::vector<NumberedCdTrack> audio;
    const char* expected;
  } cases[] = {
      {"all audio", {{1, 0, 750}, {2, 750, 2250}, {3, 2250, 2550}}, "0+750 750+1500 2250+300"},
      {"data track first", {{2, 11400, 12000}, {3, 12000, 12300}}, "d0+11400 11400+600 12000+300"},
      {"data between", {{1, 0, 750}, {3, 900, 1000}}, "0+750 d750+150 900+100"},
      {"two data tracks first", {{3, 600, 700}}, "d0+0 d0+600 600+100"},
      {"trailing data is not listed", {{1, 0, 750}}, "0+750"},
      {"none", {}, ""},
      // What no usable disc reports: numbers out of order, repeated or beyond 99, tracks that
      // overlap, go backwards or hold nothing.
      {"numbers backwards", {{2, 0, 750}, {1, 750, 900}}, ""},
      {"number twice", {{1, 0, 750}, {1, 750, 900}}, ""},
      {"number 0", {{0, 0, 750}}, ""},
      {"number 100", {{100, 0, 750}}, ""},
      {"overlap", {{1, 0, 750}, {2, 700, 900}}, ""},
      {"positions backwards", {{1, 750, 900}, {2, 0, 750}}, ""},
      {"empty track", {{1, 0, 750}, {2, 750, 750}}, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(describe(cdTrackList(c.audio)), c.expected) << c.name;
  }
}

TEST(CdTrackList, PlayingEndsWhereTheAdjoiningAudioTracksEnd) {
  // Audio 1 and 2 adjoin, data 3, audio 4, then audio 5 after a gap of no track at all.
  const std::vector<CdTrack> tracks = {
      {0, 100, true}, {100, 100, true}, {200, 50, false}, {250, 50, true}, {400, 10, true}};
  const struct {
    std::uint32_t frame;
    std::uint32_t runEnd;
    int holder;  // -1: none
  } cases[] = {
      {0, 200, 0},   {99, 200, 0},  {100, 200, 1},  {199, 200, 1},  {200, 200, 2}, {249, 249, 2},
      {250, 300, 3}, {299, 300, 3}, {300, 300, -1}, {350, 350, -1}, {400, 410, 4}, {410, 410, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.frame);
    EXPECT_EQ(cdAudioRunEnd(tracks, c.frame), c.runEnd);
    auto holder = cdTrackHolding(tracks, c.frame);
    EXPECT_EQ(holder ? static_cast<int>(*holder) : -1, c.holder);
  }
  EXPECT_EQ(cdAudioRunEnd({}, 5), 5u);
}

}  // namespace
}  // namespace pellarin
