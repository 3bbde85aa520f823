// Images without a GL context: allocation limits and the fallback pattern.
#include "renderer/scene/image.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "renderer/scene/math/scene_math.h"

namespace pellarin::testing {
namespace {

TEST(MakeImage, RefusesWhatItCannotHoldAndTheLimitActsLikeFailedMemory) {
  EXPECT_EQ(makeImage(4, -1, GL_RGB), nullptr);
  EXPECT_EQ(makeImage(65535, 65535, GL_RGBA), nullptr);  // overflows 32 bits
  const std::size_t saved = imageByteLimit();
  setImageByteLimitForTesting(64 * 64 * 3 - 1);
  EXPECT_EQ(makeProceduralImage(64, 64, GL_RGB, fallbackPixel), nullptr);
  setImageByteLimitForTesting(64 * 64 * 3);
  EXPECT_NE(makeImage(64, 64, GL_RGB), nullptr);
  setImageByteLimitForTesting(saved);
}

std::unique_ptr<Image> fallbackFromState(std::uint32_t state) {
  setRandomState(state);
  resetNoiseTablesForTesting();
  return makeProceduralImage(64, 64, GL_RGB, fallbackPixel);
}

TEST(FallbackPattern, IsABlueCloudThatDependsOnlyOnTheGeneratorsState) {
  const auto image = fallbackFromState(1);
  ASSERT_NE(image, nullptr);
  const unsigned char* p = image->pixels.get();
  int lowest = 255, highest = 0;
  for (int i = 0; i < 64 * 64; ++i) {
    ASSERT_EQ(p[i * 3] | p[i * 3 + 1], 0) << "red or green at " << i;
    lowest = std::min<int>(lowest, p[i * 3 + 2]);
    highest = std::max<int>(highest, p[i * 3 + 2]);
  }
  EXPECT_GE(lowest, 127);
  EXPECT_GT(highest - lowest, 40) << "a cloud, not a flat fill";
  // Lattice points have no noise: (-1, -1) at the first pixel and (0, 0) at column 32, row 32.
  EXPECT_EQ(p[2], 127);
  EXPECT_EQ(p[(32 * 64 + 32) * 3 + 2], 127);
  const auto same = fallbackFromState(1), other = fallbackFromState(12345);
  ASSERT_TRUE(same && other);
  EXPECT_TRUE(std::equal(p, p + 64 * 64 * 3, same->pixels.get()));
  EXPECT_FALSE(std::equal(p, p + 64 * 64 * 3, other->pixels.get()));
  resetNoiseTablesForTesting();
}

}  // namespace
}  // namespace pellarin::testing
