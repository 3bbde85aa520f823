#include "host/music/cue_sheet.h"

#include <gtest/gtest.h>

namespace pellarin {
namespace {

TEST(CueSheet, ReadsTracksAndTheirFirstIndexesInOrder) {
  auto sheet = parseCueSheet(
      "REM made by hand\r\n"
      "FILE \"my disc.bin\" BINARY\r\n"
      "  TRACK 01 AUDIO\r\n"
      "    INDEX 01 00:00:00\r\n"
      "  track 02 audio\r\n"
      "    INDEX 00 00:04:00\r\n"
      "    INDEX 01 00:05:10\r\n"
      "  TRACK 03 MODE1/2352\r\n"
      "    INDEX 01 01:00:00\r\n");
  ASSERT_TRUE(sheet);
  EXPECT_EQ(sheet->dataFile, "my disc.bin");
  ASSERT_EQ(sheet->tracks.size(), 3u);
  EXPECT_EQ(sheet->tracks[1].startFrame, 5u * 75 + 10);
  EXPECT_EQ(sheet->tracks[2].startFrame, 60u * 75);
  EXPECT_TRUE(sheet->tracks[1].audio);
  EXPECT_FALSE(sheet->tracks[2].audio);
  // A track may not start where the one before it does.
  EXPECT_FALSE(
      parseCueSheet("FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:05:00\n"
                    "TRACK 02 AUDIO\nINDEX 01 00:05:00\n"));
}

}  // namespace
}  // namespace pellarin
