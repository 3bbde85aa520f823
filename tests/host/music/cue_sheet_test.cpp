#include "host/music/cue_sheet.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "host/music/cd_sector_source.h"

namespace pellarin {
namespace {

TEST(CueSheet, ReadsTracksAndTheirFirstIndexes) {
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
  EXPECT_EQ(sheet->tracks[0].startFrame, 0u);
  EXPECT_EQ(sheet->tracks[1].startFrame, 5u * 75 + 10);
  EXPECT_EQ(sheet->tracks[2].startFrame, 60u * 75);
  EXPECT_TRUE(sheet->tracks[1].audio);
  EXPECT_FALSE(sheet->tracks[2].audio);
}

TEST(CueSheet, RefusesSheetsItCannotPlay) {
  const char* bad[] = {
      "",
      "TRACK 01 AUDIO\nINDEX 01 00:00:00\n",                       // no file
      "FILE a.bin BINARY\n",                                       // no track
      "FILE a.bin MOTOROLA\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n",  // big-endian data
      "FILE a.bin BINARY\nTRACK 01 AUDIO\n",                       // track without start
      "FILE a.bin BINARY\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n",    // numbering gap
      "FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:60:00\n",    // no such second
      "FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:05:00\n"
      "TRACK 02 AUDIO\nINDEX 01 00:05:00\n",  // out of order
      "FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
      "FILE b.bin BINARY\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n",  // two files
  };
  for (const char* text : bad) EXPECT_FALSE(parseCueSheet(text)) << text;
}

TEST(CdImage, TracksEndWhereTheNextBeginsAndFramesReadBack) {
  auto folder =
      std::filesystem::temp_directory_path() / ("cue_sheet_test_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  std::ofstream data(folder / "disc.bin", std::ios::binary);
  for (char frame = 0; frame < 100; ++frame) data << std::string(kCdFrameBytes, frame);
  data.close();
  const char* sheet =
      "FILE \"disc.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\n";
  std::ofstream(folder / "disc.cue") << sheet << "INDEX 01 00:00:40\n";
  std::ofstream(folder / "short.cue") << sheet << "INDEX 01 00:02:00\n";

  auto image = openCdImage((folder / "disc.cue").string());
  ASSERT_TRUE(image);
  auto tracks = image->tracks();
  ASSERT_EQ(tracks.size(), 2u);
  EXPECT_EQ(tracks[0].frameCount, 40u);
  EXPECT_EQ(tracks[1].startFrame, 40u);
  EXPECT_EQ(tracks[1].frameCount, 60u);
  std::vector<std::uint8_t> frames(2 * kCdFrameBytes);
  ASSERT_TRUE(image->read(41, 2, frames.data()));
  EXPECT_EQ(frames.back(), 42);
  EXPECT_FALSE(image->read(99, 2, frames.data())) << "past the end of the data";
  EXPECT_FALSE(openCdImage((folder / "short.cue").string())) << "track 2 starts after the data";
  EXPECT_FALSE(openCdImage((folder / "missing.cue").string()));
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace pellarin
