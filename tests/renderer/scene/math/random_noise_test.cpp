#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "renderer/scene/math/scene_math.h"

namespace pellarin {
namespace {

// Read before any test draws: the generator's state at process start.
const std::uint32_t stateAtStart = randomState();

// The generator written out independently: 64-bit arithmetic, reduced modulo 2^32.
struct ReferenceGenerator {
  std::uint64_t state;
  int next() {
    state = (state * 214013ull + 2531011ull) % 4294967296ull;
    return static_cast<int>(state / 65536ull % 32768ull);
  }
};

TEST(RandomTest, FreshGeneratorStartsAtOneAndYieldsKnownSequence) {
  EXPECT_EQ(stateAtStart, 1u);
  setRandomState(1);
  EXPECT_EQ(nextRandom(), 41);
  EXPECT_EQ(nextRandom(), 18467);
  EXPECT_EQ(nextRandom(), 6334);
}

TEST(RandomTest, MatchesReferenceIncludingWrapAround) {
  for (std::uint32_t seed : {0xFFFFFFFFu, 0x80000000u, 123456789u}) {
    setRandomState(seed);
    ReferenceGenerator reference{seed};
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(nextRandom(), reference.next()) << seed << " " << i;
    EXPECT_EQ(randomState(), reference.state);
  }
}

TEST(RandomTest, UnitAndSignedValuesScaleTheNextOutput) {
  setRandomState(777);
  ReferenceGenerator reference{777};
  for (int i = 0; i < 2000; ++i) {
    const int expected = reference.next();
    const float u = randomUnit();
    ASSERT_EQ(u, static_cast<float>(expected) / 32767.0f);
    ASSERT_GE(u, 0.0f);
    ASSERT_LE(u, 1.0f);
    const float s = randomSigned();
    ASSERT_EQ(s, static_cast<float>(reference.next()) / 32767.0f * 2 - 1);
    ASSERT_GE(s, -1.0f);
    ASSERT_LE(s, 1.0f);
  }
}

TEST(NoiseTest, TablesDrawExactlyOnceAndFixedCount) {
  const std::uint32_t seed = 4242;
  setRandomState(seed);
  resetNoiseTablesForTesting();
  noise2({0.5f, 0.25f});
  ReferenceGenerator reference{seed};
  for (int i = 0; i < 256 * 6 + 256; ++i) reference.next();
  EXPECT_EQ(randomState(), reference.state);

  // Built tables are reused: further evaluations draw nothing.
  noise2({3.7f, -1.2f});
  turbulence2({0.1f, 0.2f}, 32);
  EXPECT_EQ(randomState(), reference.state);
}

TEST(NoiseTest, SameGeneratorStateGivesSameNoise) {
  setRandomState(99);
  resetNoiseTablesForTesting();
  const float first = noise2({1.3f, 2.6f});
  setRandomState(99);
  resetNoiseTablesForTesting();
  EXPECT_EQ(noise2({1.3f, 2.6f}), first);
  setRandomState(100);
  resetNoiseTablesForTesting();
  EXPECT_NE(noise2({1.3f, 2.6f}), first);
}

TEST(NoiseTest, ZeroAtLatticePointsBoundedContinuousAndPeriodic) {
  setRandomState(1);
  resetNoiseTablesForTesting();
  for (int x = -5; x <= 300; x += 7) {
    for (int y = -3; y <= 260; y += 11) {
      ASSERT_EQ(noise2({static_cast<float>(x), static_cast<float>(y)}), 0.0f) << x << "," << y;
    }
  }
  int nonZero = 0;
  for (int i = 0; i < 64; ++i) {
    for (int j = 0; j < 64; ++j) {
      const float x = i * 0.37f - 9.0f, y = j * 0.29f - 4.0f;
      const float n = noise2({x, y});
      ASSERT_LE(std::fabs(n), 1.0f);
      if (n != 0) ++nonZero;
    }
  }
  EXPECT_GT(nonZero, 4000);

  // Across every cell border the value changes only as much as a step of 1e-3 allows: a wrong
  // neighbour index or remainder breaks this at the borders.
  for (int cell = -3; cell < 6; ++cell) {
    for (float y : {0.13f, 0.5f, 0.87f}) {
      const float c = static_cast<float>(cell);
      EXPECT_NEAR(noise2({c - 1e-3f, y}), noise2({c + 1e-3f, y}), 5e-3f) << cell << " " << y;
      EXPECT_NEAR(noise2({y, c - 1e-3f}), noise2({y, c + 1e-3f}), 5e-3f) << cell << " " << y;
    }
  }

  // The permutation has 256 entries, so the pattern repeats every 256 units.
  for (float x : {0.25f, 3.5f, 17.75f}) {
    EXPECT_EQ(noise2({x, 1.5f}), noise2({x + 256, 1.5f}));
    EXPECT_EQ(noise2({1.5f, x}), noise2({1.5f, x + 256}));
  }
}

TEST(NoiseTest, TurbulenceSumsHalvingOctavesDownToOne) {
  setRandomState(1);
  resetNoiseTablesForTesting();
  const Vec2 v{0.3f, -0.45f};
  EXPECT_EQ(turbulence2(v, 0.99f), 0.0f);
  EXPECT_EQ(turbulence2(v, 0.0f), 0.0f);
  EXPECT_EQ(turbulence2(v, 1.0f), std::fabs(noise2(v)));

  float expected = 0;
  for (float f : {32.0f, 16.0f, 8.0f, 4.0f, 2.0f, 1.0f}) {
    expected += std::fabs(noise2({f * v.x, f * v.y})) / f;
  }
  EXPECT_EQ(turbulence2(v, 32), expected);
  EXPECT_GT(expected, 0.0f);
  // 3 gives octaves 3 and 1.5 only.
  EXPECT_EQ(turbulence2(v, 3), std::fabs(noise2({3 * v.x, 3 * v.y})) / 3 +
                                   std::fabs(noise2({1.5f * v.x, 1.5f * v.y})) / 1.5f);
  EXPECT_EQ(turbulence2(v, INFINITY), 0.0f);
}

}  // namespace
}  // namespace pellarin
