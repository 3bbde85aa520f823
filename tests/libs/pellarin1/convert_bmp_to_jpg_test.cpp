// Pellarin1.dll as the host uses it: loaded by path, ConvertBMPtoJPG looked up by name.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "host/core/bitmap_file.h"
#include "libs/pellarin1/bitmap_reader.h"
#include "libs/pellarin1/pellarin1.h"
#include "tests/support/e2e_support.h"

namespace pellarin::testing {
namespace {

namespace fs = std::filesystem;
using ConvertFunction = std::int16_t (*)(const char*, const char*, std::int32_t, std::int32_t,
                                         std::int32_t);

// Four quadrants of distinct colours, so orientation and channel order both show.
const std::array<std::uint8_t, 3> kQuadrants[] = {
    {230, 20, 20}, {20, 230, 20}, {20, 20, 230}, {240, 240, 40}};

std::vector<std::uint8_t> quadrants(int width, int height) {
  std::vector<std::uint8_t> rgb;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const auto& colour = kQuadrants[(y >= height / 2 ? 2 : 0) + (x >= width / 2 ? 1 : 0)];
      rgb.insert(rgb.end(), colour.begin(), colour.end());
    }
  }
  return rgb;
}

void expectQuadrants(const RgbImage& image, int width, int height) {
  EXPECT_EQ(image.width, width);
  EXPECT_EQ(image.height, height);
  for (int q = 0; q < 4; ++q) {
    const int x = q % 2 == 0 ? 2 : width - 3;
    const int y = q < 2 ? 2 : height - 3;
    const std::uint8_t* p = &image.rgb[static_cast<std::size_t>((y * image.width + x) * 3)];
    for (std::size_t c = 0; c < 3; ++c) EXPECT_NEAR(p[c], kQuadrants[q][c], 6) << x << ',' << y;
  }
}

class ConverterTest : public TempFolderTest {
 protected:
  static void SetUpTestSuite() {
    library_ = dlopen(PELLARIN_BIN_DIR "/Pellarin1.dll", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library_, nullptr) << dlerror();
    convert_ = reinterpret_cast<ConvertFunction>(dlsym(library_, "ConvertBMPtoJPG"));
    ASSERT_NE(convert_, nullptr);
  }
  static void TearDownTestSuite() { dlclose(library_); }
  void SetUp() override {
    TempFolderTest::SetUp();
    ASSERT_TRUE(writeBitmapFile(folder_ / "in.bmp", PictureView{8, 8, quadrants(8, 8)}));
  }

  std::int16_t convert(const fs::path& bmp, const fs::path& jpg, std::int32_t subsampling = -1,
                       std::int32_t quality = 100, std::int32_t flags = -1) {
    return convert_(bmp.c_str(), jpg.c_str(), subsampling, quality, flags);
  }
  std::vector<std::string> folderEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  static inline void* library_ = nullptr;
  static inline ConvertFunction convert_ = nullptr;
};

TEST_F(ConverterTest, RoundTripKeepsSizeColoursAndOrientationBottomUpAndTopDown) {
  const std::vector<std::uint8_t> rgb = quadrants(44, 128);
  ASSERT_TRUE(writeBitmapFile(folder_ / "Dumy.bmp", PictureView{44, 128, rgb}));
  ASSERT_EQ(convert(folder_ / "Dumy.bmp", folder_ / "Pellarin.dat"), kPellarin1Ok);
  const std::optional<RgbImage> image = decodeJpeg(readFile(folder_ / "Pellarin.dat"));
  ASSERT_TRUE(image.has_value());
  expectQuadrants(*image, 44, 128);
  EXPECT_EQ(folderEntries(), (std::vector<std::string>{"Dumy.bmp", "Pellarin.dat", "in.bmp"}));

  // The same bitmap top-down: rows in the other order and a negative height.
  const std::string bottomUp = readFile(folder_ / "Dumy.bmp");
  const std::size_t row = (44 * 3 + 3) / 4 * 4;
  std::string topDown = bottomUp.substr(0, 54);
  for (std::size_t y = 128; y-- > 0;) topDown += bottomUp.substr(54 + y * row, row);
  const std::int32_t negative = -128;
  std::memcpy(topDown.data() + 22, &negative, 4);
  put(folder_ / "top.bmp", topDown);
  ASSERT_EQ(convert(folder_ / "top.bmp", folder_ / "top.jpg"), kPellarin1Ok);
  const std::optional<RgbImage> flipped = decodeJpeg(readFile(folder_ / "top.jpg"));
  ASSERT_TRUE(flipped.has_value());
  expectQuadrants(*flipped, 44, 128);
}

TEST_F(ConverterTest, MissingOrCorruptInputWritesNothingAndKeepsTheEarlierPicture) {
  ASSERT_EQ(convert(folder_ / "in.bmp", folder_ / "Pellarin.dat"), kPellarin1Ok);
  const std::string before = readFile(folder_ / "Pellarin.dat");
  const std::string good = readFile(folder_ / "in.bmp");
  std::string hugeWidth = good;
  hugeWidth[21] = 0x7F;  // width 0x7F000008
  const std::string corrupt[] = {
      "",
      "BM",
      "BMbroken",
      "not a bitmap at all, but long enough to hold the two headers......",
      good.substr(0, good.size() - 1),  // cut short by one byte
      "XY" + good.substr(2),
      hugeWidth};
  for (const std::string& bytes : corrupt) {
    put(folder_ / "bad.bmp", bytes);
    EXPECT_EQ(convert(folder_ / "bad.bmp", folder_ / "Pellarin.dat"), kPellarin1BitmapInvalid)
        << bytes.size();
  }
  EXPECT_EQ(convert(folder_ / "missing.bmp", folder_ / "Pellarin.dat"), kPellarin1BitmapUnreadable);
  EXPECT_EQ(convert(folder_, folder_ / "a.jpg"), kPellarin1BitmapUnreadable);  // a folder
  EXPECT_EQ(readFile(folder_ / "Pellarin.dat"), before);

  fs::create_directories(folder_ / "taken");  // a folder in the JPEG's place
  EXPECT_EQ(convert(folder_ / "in.bmp", folder_ / "taken"), kPellarin1WriteFailed);
  EXPECT_EQ(convert(folder_ / "in.bmp", folder_ / "no" / "x.jpg"), kPellarin1WriteFailed);
  // No temporary or partial file is left anywhere.
  EXPECT_EQ(folderEntries(),
            (std::vector<std::string>{"Pellarin.dat", "bad.bmp", "in.bmp", "taken"}));
}

TEST_F(ConverterTest, OptionsOutsideTheirRangesAreRefusedAndEveryChoiceDecodes) {
  const fs::path out = folder_ / "o.jpg";
  const std::array<std::int32_t, 3> refused[] = {
      {6, 100, -1}, {-2, 100, -1}, {-1, 0, -1}, {-1, 101, -1}, {-1, 100, 4}};
  for (const auto& [subsampling, quality, flags] : refused) {
    EXPECT_EQ(convert(folder_ / "in.bmp", out, subsampling, quality, flags), kPellarin1BadArgument);
  }
  EXPECT_EQ(convert_(nullptr, out.c_str(), -1, 100, -1), kPellarin1BadArgument);
  EXPECT_FALSE(fs::exists(out));
  for (std::int32_t subsampling : {-1, 0, 1, 2, 3, 4, 5}) {
    ASSERT_EQ(convert(folder_ / "in.bmp", out, subsampling, -1, kPellarin1FlagProgressive),
              kPellarin1Ok);
    EXPECT_TRUE(decodeJpeg(readFile(out)).has_value()) << subsampling;
  }
}

TEST(BitmapReader, ReadsPalettedAndThirtyTwoBitBitmaps) {
  // 3 x 2, 8 bits with a two-colour palette, bottom-up: the bottom row comes first.
  std::vector<std::uint8_t> file = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 62, 0, 0, 0, 40, 0, 0, 0,
                                    3,   0,   0, 0, 2, 0, 0, 0, 1, 0, 8,  0, 0, 0, 0,  0, 0, 0,
                                    0,   0,   0, 0, 0, 0, 0, 0, 0, 0, 2,  0, 0, 0, 0,  0, 0, 0};
  file.insert(file.end(), {0, 0, 255, 0, 255, 0, 0, 0});  // palette: red, blue (B, G, R, 0)
  file.insert(file.end(), {1, 1, 1, 0});                  // bottom row: blue
  file.insert(file.end(), {0, 1, 0, 0});                  // top row: red, blue, red
  const std::optional<DecodedBitmap> paletted = decodeBitmap(file);
  ASSERT_TRUE(paletted.has_value());
  EXPECT_EQ(paletted->rgb, (std::vector<std::uint8_t>{255, 0, 0, 0, 0, 255, 255, 0, 0,  //
                                                      0, 0, 255, 0, 0, 255, 0, 0, 255}));
  file[file.size() - 4] = 2;  // an index past the palette
  EXPECT_FALSE(decodeBitmap(file).has_value());

  // 1 x 1, 32 bits with bit-field masks that put red in the low byte.
  std::vector<std::uint8_t> wide(file.begin(), file.begin() + 54);
  wide[10] = 66;
  wide[18] = wide[22] = 1;
  wide[28] = 32;
  wide[30] = 3;
  wide[46] = 0;
  wide.insert(wide.end(), {0xFF, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0xFF, 0});  // masks R, G, B
  wide.insert(wide.end(), {10, 20, 30, 0});
  const std::optional<DecodedBitmap> bitfields = decodeBitmap(wide);
  ASSERT_TRUE(bitfields.has_value());
  EXPECT_EQ(bitfields->rgb, (std::vector<std::uint8_t>{10, 20, 30}));
}

}  // namespace
}  // namespace pellarin::testing
