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
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const auto& colour = kQuadrants[(y >= height / 2 ? 2 : 0) + (x >= width / 2 ? 1 : 0)];
      rgb.insert(rgb.end(), colour.begin(), colour.end());
    }
  return rgb;
}

// The JPEG at `jpg` decodes to the quadrants at width x height.
void expectQuadrants(const fs::path& jpg, int width, int height) {
  const std::optional<RgbImage> image = decodeJpeg(readFile(jpg));
  ASSERT_TRUE(image.has_value()) << jpg;
  ASSERT_EQ(std::make_pair(image->width, image->height), std::make_pair(width, height));
  for (int q = 0; q < 4; ++q) {
    const int x = q % 2 == 0 ? 2 : width - 3;
    const int y = q < 2 ? 2 : height - 3;
    const std::uint8_t* p = &image->rgb[static_cast<std::size_t>((y * width + x) * 3)];
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
    for (const auto& entry : fs::directory_iterator(folder_))
      names.push_back(entry.path().filename());
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
  expectQuadrants(folder_ / "Pellarin.dat", 44, 128);
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
  expectQuadrants(folder_ / "top.jpg", 44, 128);
}

TEST_F(ConverterTest, MissingOrCorruptInputWritesNothingAndKeepsTheEarlierPicture) {
  ASSERT_EQ(convert(folder_ / "in.bmp", folder_ / "Pellarin.dat"), kPellarin1Ok);
  const std::string before = readFile(folder_ / "Pellarin.dat");
  const std::string good = readFile(folder_ / "in.bmp");
  std::string hugeWidth = good;
  hugeWidth[21] = 0x7F;  // width 0x7F000008
  const std::string corrupt[] = {"BMbroken", good.substr(0, good.size() - 1), hugeWidth};
  for (const std::string& bytes : corrupt) {
    put(folder_ / "bad.bmp", bytes);
    EXPECT_EQ(convert(folder_ / "bad.bmp", folder_ / "Pellarin.dat"), kPellarin1BitmapInvalid)
        << bytes.size();
  }
  EXPECT_EQ(convert(folder_ / "missing.bmp", folder_ / "Pellarin.dat"), kPellarin1BitmapUnreadable);
  EXPECT_EQ(readFile(folder_ / "Pellarin.dat"), before);

  fs::create_directories(folder_ / "taken");  // a folder in the JPEG's place
  EXPECT_EQ(convert(folder_ / "in.bmp", folder_ / "taken"), kPellarin1WriteFailed);
  // No temporary or partial file is left anywhere.
  EXPECT_EQ(folderEntries(),
            (std::vector<std::string>{"Pellarin.dat", "bad.bmp", "in.bmp", "taken"}));
}

TEST_F(ConverterTest, OptionsOutsideTheirRangesAreRefusedAndEveryChoiceDecodes) {
  const fs::path out = folder_ / "o.jpg";
  EXPECT_EQ(convert(folder_ / "in.bmp", out, 6, 100, -1), kPellarin1BadArgument);
  EXPECT_EQ(convert(folder_ / "in.bmp", out, -1, 101, -1), kPellarin1BadArgument);
  EXPECT_EQ(convert_(nullptr, out.c_str(), -1, 100, -1), kPellarin1BadArgument);
  EXPECT_FALSE(fs::exists(out));
  for (std::int32_t subsampling : {-1, 0, 1, 2, 3, 4, 5}) {
    ASSERT_EQ(convert(folder_ / "in.bmp", out, subsampling, -1, kPellarin1FlagProgressive),
              kPellarin1Ok);
    EXPECT_TRUE(decodeJpeg(readFile(out)).has_value()) << subsampling;
  }
}

}  // namespace
}  // namespace pellarin::testing
