// The converter's contract on every platform: what it writes, what it refuses, and that a
// failure leaves the earlier picture and no stray file.
#include <filesystem>

#include "tests/libs/pellarin1/converter_test_fixture.h"

namespace pellarin::testing {
namespace {

TEST_F(ConverterTest, RoundTripKeepsSizeColoursAndOrientationBottomUpAndTopDown) {
  const Bytes rgb = quadrants(44, 128);
  put("Dumy.bmp", makeRgbBitmap(44, 128, rgb));
  ASSERT_EQ(convert("Dumy.bmp", "Pellarin.dat"), kPellarin1Ok);
  expectQuadrants("Pellarin.dat", 44, 128);
  EXPECT_EQ(entries(), (std::vector<std::string>{"Dumy.bmp", "Pellarin.dat", "in.bmp"}));

  put("top.bmp", makeRgbBitmap(44, 128, rgb, true));
  ASSERT_EQ(convert("top.bmp", "top.jpg"), kPellarin1Ok);
  expectQuadrants("top.jpg", 44, 128);
}

TEST_F(ConverterTest, MissingOrCorruptInputWritesNothingAndKeepsTheEarlierPicture) {
  ASSERT_EQ(convert("in.bmp", "Pellarin.dat"), kPellarin1Ok);
  const Bytes before = readBytes(path("Pellarin.dat"));
  const Bytes good = readBytes(path("in.bmp"));
  Bytes hugeWidth = good;
  hugeWidth[21] = 0x7F;  // width 0x7F000008
  const Bytes corrupt[] = {
      {'B', 'M', 'b', 'r', 'o', 'k', 'e', 'n'}, Bytes(good.begin(), good.end() - 1), hugeWidth};
  for (const Bytes& bytes : corrupt) {
    put("bad.bmp", bytes);
    EXPECT_EQ(convert("bad.bmp", "Pellarin.dat"), kPellarin1BitmapInvalid) << bytes.size();
  }
  std::filesystem::create_directory(path("folder.bmp"));
  EXPECT_EQ(convert("missing.bmp", "Pellarin.dat"), kPellarin1BitmapUnreadable);
  EXPECT_EQ(convert("folder.bmp", "Pellarin.dat"), kPellarin1BitmapUnreadable);
  EXPECT_EQ(readBytes(path("Pellarin.dat")), before);

  std::filesystem::create_directory(path("taken"));  // a folder in the JPEG's place
  EXPECT_EQ(convert("in.bmp", "taken"), kPellarin1WriteFailed);
  // No temporary or partial file is left anywhere.
  EXPECT_EQ(entries(),
            (std::vector<std::string>{"Pellarin.dat", "bad.bmp", "folder.bmp", "in.bmp", "taken"}));
}

TEST_F(ConverterTest, OptionsOutsideTheirRangesAreRefusedAndEveryChoiceDecodes) {
  const std::string in = path("in.bmp").string(), out = path("o.jpg").string();
  EXPECT_EQ(convert(in, out, 6, 100, -1), kPellarin1BadArgument);
  EXPECT_EQ(convert(in, out, -1, 101, -1), kPellarin1BadArgument);
  EXPECT_EQ(convert(in, out, -1, 100, 2), kPellarin1BadArgument);
  EXPECT_EQ(convert_(nullptr, out.c_str(), -1, 100, -1), kPellarin1BadArgument);
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
