// Images without a GL context: allocation limits, procedural filling, the fallback pattern and
// decoding picture files through the real kVeld.dll.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "renderer/scene/image.h"
#include "renderer/scene/math/scene_math.h"
#include "tests/libs/kveld/jpeg_fixtures.h"

namespace fs = std::filesystem;
using namespace pellarin;
using namespace pellarin::testing;

namespace {

TEST(MakeImage, RefusesSizesAndFormatsItCannotHold) {
  EXPECT_EQ(makeImage(4, -1, GL_RGB), nullptr);
  EXPECT_EQ(makeImage(4, 4, GL_LUMINANCE), nullptr);
  // 65535 x 65535 x 4 overflows 32 bits and is far beyond the limit.
  EXPECT_EQ(makeImage(65535, 65535, GL_RGBA), nullptr);
  auto image = makeImage(5, 3, GL_RGBA);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->bytesPerPixel, 4);
  // The whole buffer is writable (the sanitizer build catches a short one).
  std::fill_n(image->pixels.get(), 5 * 3 * 4, 0xAB);
}

TEST(MakeImage, ByteLimitActsLikeAFailedAllocation) {
  const std::size_t saved = imageByteLimit();
  setImageByteLimitForTesting(64 * 64 * 3 - 1);
  EXPECT_EQ(makeImage(64, 64, GL_RGB), nullptr);
  EXPECT_EQ(makeProceduralImage(64, 64, GL_RGB, fallbackPixel), nullptr);
  setImageByteLimitForTesting(64 * 64 * 3);
  EXPECT_NE(makeImage(64, 64, GL_RGB), nullptr);
  setImageByteLimitForTesting(saved);
}

struct Visit {
  float x, y, z;
  unsigned char* pixel;
};
std::vector<Visit> visits;

void recordVisit(float x, float y, float z, unsigned char* pixel) {
  visits.push_back({x, y, z, pixel});
  pixel[0] = static_cast<unsigned char>(visits.size());
}

TEST(MakeProceduralImage, VisitsEveryPixelRowByRowWithItsPosition) {
  visits.clear();
  auto image = makeProceduralImage(4, 2, GL_RGBA, recordVisit);
  ASSERT_NE(image, nullptr);
  ASSERT_EQ(visits.size(), 8u);
  for (int r = 0; r < 2; ++r) {
    for (int c = 0; c < 4; ++c) {
      const Visit& v = visits[static_cast<size_t>(r * 4 + c)];
      EXPECT_FLOAT_EQ(v.x, c / 4.0f * 2 - 1);
      EXPECT_FLOAT_EQ(v.y, r / 2.0f * 2 - 1);
      EXPECT_EQ(v.z, 0.0f);
      EXPECT_EQ(v.pixel, image->pixels.get() + (r * 4 + c) * 4);
    }
  }
  EXPECT_EQ(visits.front().x, -1.0f);
  EXPECT_EQ(visits.back().x, 0.5f);
}

class FallbackPattern : public ::testing::Test {
 protected:
  std::unique_ptr<Image> makeFromState(std::uint32_t state) {
    setRandomState(state);
    resetNoiseTablesForTesting();
    return makeProceduralImage(64, 64, GL_RGB, fallbackPixel);
  }
};

TEST_F(FallbackPattern, IsBlueOnlyWithinItsRange) {
  auto image = makeFromState(1);
  ASSERT_NE(image, nullptr);
  ASSERT_EQ(image->width, 64);
  ASSERT_EQ(image->height, 64);
  int lowest = 255, highest = 0;
  for (int i = 0; i < 64 * 64; ++i) {
    const unsigned char* p = image->pixels.get() + i * 3;
    ASSERT_EQ(p[0], 0) << "pixel " << i;
    ASSERT_EQ(p[1], 0) << "pixel " << i;
    lowest = std::min<int>(lowest, p[2]);
    highest = std::max<int>(highest, p[2]);
  }
  EXPECT_GE(lowest, 127);
  // A cloud, not a flat fill.
  EXPECT_GT(highest - lowest, 40);
  // Lattice points have no noise: (-1, -1) at the first pixel and (0, 0) at column 32, row 32.
  EXPECT_EQ(image->pixels[0 * 3 + 2], 127);
  EXPECT_EQ(image->pixels[(32 * 64 + 32) * 3 + 2], 127);
}

TEST_F(FallbackPattern, DependsOnlyOnTheGeneratorsStateWhenTheTablesAreBuilt) {
  auto first = makeFromState(1);
  const std::uint32_t after = randomState();
  auto again = makeFromState(1);
  EXPECT_EQ(randomState(), after);
  ASSERT_TRUE(first && again);
  EXPECT_TRUE(
      std::equal(first->pixels.get(), first->pixels.get() + 64 * 64 * 3, again->pixels.get()));
  // The tables take 1,536 values plus 256 shuffle draws.
  setRandomState(1);
  for (int i = 0; i < 1536 + 256; ++i) nextRandom();
  EXPECT_EQ(randomState(), after);

  auto other = makeFromState(12345);
  ASSERT_TRUE(other);
  EXPECT_FALSE(
      std::equal(first->pixels.get(), first->pixels.get() + 64 * 64 * 3, other->pixels.get()));
  resetNoiseTablesForTesting();
}

class LoadJpegImage : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "image_test_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
  fs::path put(const std::string& name, const Bytes& bytes) {
    writeFile(folder / name, bytes);
    return folder / name;
  }
  fs::path folder;
};

TEST_F(LoadJpegImage, KeepsThePicturesSizeAndChannelOrder) {
  auto image = loadJpegImage(put("picture.jpg", makeRedBlueJpeg(44, 128)));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width, 44);
  EXPECT_EQ(image->height, 128);
  EXPECT_EQ(image->bytesPerPixel, 3);
  EXPECT_EQ(image->format, static_cast<GLenum>(GL_RGB));
  const unsigned char* left = image->pixels.get() + (60 * 44 + 3) * 3;
  const unsigned char* right = image->pixels.get() + (60 * 44 + 40) * 3;
  EXPECT_GT(left[0], 240);
  EXPECT_LT(left[2], 16);
  EXPECT_LT(right[0], 16);
  EXPECT_GT(right[2], 240);
}

}  // namespace
