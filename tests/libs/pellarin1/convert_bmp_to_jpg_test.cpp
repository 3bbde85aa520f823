// The converter's contract on every platform: what it writes, what it refuses, and that a
// failure leaves the earlier picture and no stray file.
#include <filesystem>

#include "tests/libs/pellarin1/converter_test_fixture.h"

namespace pellarin::testing {
namespace {

TEST_F(ConverterTest, RoundTripKeepsSizeColoursAndOrientation) {
  put("Dumy.bmp", makeRgbBitmap(44, 128, quadrants(44, 128)));
  ASSERT_EQ(convert("Dumy.bmp", "Pellarin.dat"), kPellarin1Ok);
  expectQuadrants("Pellarin.dat", 44, 128);
  EXPECT_EQ(entries(), (std::vector<std::string>{"Dumy.bmp", "Pellarin.dat", "in.bmp"}));
}

TEST_F(ConverterTest, MissingOrCorruptInputWritesNothingAndKeepsTheEarlierPicture) {
  ASSERT_EQ(convert("in.bmp", "Pellarin.dat"), kPellarin1Ok);
  const Bytes before = readBytes(path("Pellarin.dat"));
  Bytes hugeWidth = readBytes(path("in.bmp"));
  hugeWidth[21] = 0x7F;  // width 0x7F000008
  for (const Bytes& bytes : {Bytes{'B', 'M', 'b', 'r', 'o', 'k', 'e', 'n'}, hugeWidth}) {
    put("bad.bmp", bytes);
    EXPECT_EQ(convert("bad.bmp", "Pellarin.dat"), kPellarin1BitmapInvalid) << bytes.size();
  }
  EXPECT_EQ(convert("missing.bmp", "Pellarin.dat"), kPellarin1BitmapUnreadable);
  EXPECT_EQ(readBytes(path("Pellarin.dat")), before);

  std::filesystem::create_directory(path("taken"));  // a folder in the JPEG's place
  EXPECT_EQ(convert("in.bmp", "taken"), kPellarin1WriteFailed);
  // No temporary or partial file is left anywhere.
  EXPECT_EQ(entries(), (std::vector<std::string>{"Pellarin.dat", "bad.bmp", "in.bmp", "taken"}));
}

TEST_F(ConverterTest, OptionsOutsideTheirRangesAreRefusedAndEveryChoiceDecodes) {
  const std::string in = path("in.bmp").string(), out = path("o.jpg").string();
  EXPECT_EQ(convert(in, out, 6, 100, -1), kPellarin1BadArgument);
  EXPECT_EQ(convert(in, out, -1, 101, -1), kPellarin1BadArgument);
  EXPECT_EQ(convert(in, out, -1, 100, 2), kPellarin1BadArgument);
  EXPECT_FALSE(std::filesystem::exists(out));
  for (std::int32_t subsampling : {-1, 0, 1, 2, 3, 4, 5}) {
    for (std::int32_t flags : {-1, kPellarin1FlagProgressive}) {
      ASSERT_EQ(convert(in, out, subsampling, -1, flags), kPellarin1Ok);
      RgbImage image;
      EXPECT_EQ(KveldReader().decode(out, image), 0) << subsampling << ' ' << flags;
    }
  }
}

}  // namespace
}  // namespace pellarin::testing
