#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "renderer/scene/crystal.h"

namespace pellarin {
namespace {

constexpr double kReferencePi = 3.141592653589793;

// The shared generator written out independently, with the crystal's draws spelled out.
struct Reference {
  std::uint64_t state;
  int next() {
    state = (state * 214013ull + 2531011ull) % 4294967296ull;
    return static_cast<int>(state / 65536ull % 32768ull);
  }
  double unit() { return next() / 32767.0; }
  double signedValue() { return unit() * 2 - 1; }
  double tilt() { return (unit() * 60 + 30) * kReferencePi / 180; }
};

struct ExpectedCrystal {
  int levelCount = 0;
  BranchLevel levels[4];
  double az = 0, ay = 0, ax = 0;
  int fallFlag = 0;
};

ExpectedCrystal expectedFrom(Reference& r) {
  ExpectedCrystal e;
  e.levelCount = 3 + r.next() % 2;
  const int n = r.next() % 3 + 1;
  e.levels[0] = {1.0f, 0.0f, n, n == 1 ? 0.0f : static_cast<float>(r.tilt())};
  for (int i = 1; i < e.levelCount; ++i) {
    const double offset = r.unit() * 0.7 + 0.3;
    const double tilt = r.tilt();
    const int first = r.next() % 2;
    const int second = r.next() % 3;
    e.levels[i] = {0.7f, static_cast<float>(offset), first + second + 2, static_cast<float>(tilt)};
  }
  e.az = r.signedValue() * kReferencePi;
  e.ay = r.signedValue() * kReferencePi;
  e.ax = r.signedValue() * kReferencePi;
  e.fallFlag = r.next() % 4 != 0 ? 1 : 0;
  return e;
}

void expectCrystal(const Crystal& c, const ExpectedCrystal& e) {
  ASSERT_NE(c.pattern, nullptr);
  ASSERT_EQ(c.pattern->levelCount, e.levelCount);
  for (int i = 0; i < e.levelCount; ++i) {
    const BranchLevel got = c.pattern->level(i);
    EXPECT_EQ(got.branchCount, e.levels[i].branchCount) << "level " << i;
    EXPECT_FLOAT_EQ(got.scale, e.levels[i].scale) << "level " << i;
    EXPECT_NEAR(got.offset, e.levels[i].offset, 1e-6) << "level " << i;
    EXPECT_NEAR(got.tilt, e.levels[i].tilt, 2e-6) << "level " << i;
  }
  // Spin = 0.1 times the first row of Rx(ax) Ry(ay) Rz(az), worked out by hand:
  // Rx leaves the first row alone, Ry's first row is (cy, 0, sy), times Rz gives the rest.
  const double cy = std::cos(e.ay), sy = std::sin(e.ay), cz = std::cos(e.az), sz = std::sin(e.az);
  EXPECT_NEAR(c.spin.x, 0.1 * cy * cz, 2e-6);
  EXPECT_NEAR(c.spin.y, -0.1 * cy * sz, 2e-6);
  EXPECT_NEAR(c.spin.z, 0.1 * sy, 2e-6);
  EXPECT_EQ(c.fallFlag, e.fallFlag);
  EXPECT_EQ(c.position, Vec3{});
  EXPECT_EQ(c.orientation, Quaternion(0, 0, 0, 1));
}

TEST(CrystalLifeTest, FirstCrystalOfAFreshGeneratorFollowsTheDraws) {
  setRandomState(1);
  const auto crystal = spawnCrystal(0.0);
  Reference reference{1};
  const ExpectedCrystal expected = expectedFrom(reference);
  expectCrystal(*crystal, expected);
  EXPECT_EQ(randomState(), reference.state);  // no draw more, none fewer
  EXPECT_EQ(crystal->birthTime, 0.0);

  // The same numbers, worked out once by hand from outputs 41, 18467, 6334, 26500, ...:
  // four levels; 3, 2, 4 and 4 spikes; falling.
  EXPECT_EQ(expected.levelCount, 4);
  EXPECT_EQ(expected.levels[0].branchCount, 3);
  EXPECT_EQ(expected.levels[1].branchCount, 2);
  EXPECT_EQ(expected.levels[2].branchCount, 4);
  EXPECT_EQ(expected.levels[3].branchCount, 4);
  EXPECT_EQ(expected.fallFlag, 1);
  EXPECT_NEAR(expected.levels[0].tilt, (6334 / 32767.0 * 60 + 30) * kReferencePi / 180, 1e-7);
}

TEST(CrystalLifeTest, LongSequenceOfCrystalsFollowsTheDraws) {
  const std::uint32_t seed = 0xC0FFEEu;
  setRandomState(seed);
  Reference reference{seed};
  int falling = 0, oneSpike = 0, fourLevels = 0;
  for (int k = 0; k < 400; ++k) {
    const auto crystal = spawnCrystal(k * 15.0);
    const ExpectedCrystal expected = expectedFrom(reference);
    ASSERT_NO_FATAL_FAILURE(expectCrystal(*crystal, expected)) << "crystal " << k;
    ASSERT_EQ(randomState(), reference.state) << "crystal " << k;
    EXPECT_NEAR(length(crystal->spin), 0.1f, 1e-6f);
    const GrowthPattern& p = *crystal->pattern;
    for (int i = 1; i < p.levelCount; ++i) {
      EXPECT_GE(p.level(i).branchCount, 2);
      EXPECT_LE(p.level(i).branchCount, 5);
      EXPECT_GE(p.level(i).offset, 0.3f);
      EXPECT_LE(p.level(i).offset, 1.0f);
      EXPECT_GE(p.level(i).tilt, 0.5235f);
      EXPECT_LE(p.level(i).tilt, 1.5708f);
    }
    falling += crystal->fallFlag;
    oneSpike += p.level(0).branchCount == 1;
    fourLevels += p.levelCount == 4;
  }
  // Every shape of pattern turns up in a long run.
  EXPECT_GT(falling, 250);
  EXPECT_LT(falling, 350);
  EXPECT_GT(oneSpike, 80);
  EXPECT_GT(fourLevels, 150);
}

TEST(CrystalLifeTest, ExpiresStrictlyAfterFifteenSecondsAtAnyClock) {
  Crystal crystal;
  crystal.birthTime = 7.5;
  EXPECT_FALSE(isExpired(crystal, 7.5));
  EXPECT_FALSE(isExpired(crystal, 22.5));
  EXPECT_TRUE(isExpired(crystal, 22.5 + 1e-9));
  // After days of running a float clock could no longer tell these apart.
  crystal.birthTime = 400000.05;
  EXPECT_FALSE(isExpired(crystal, 400015.05));
  EXPECT_TRUE(isExpired(crystal, 400015.1));
}

TEST(CrystalLifeTest, SpinTurnsAboutTheSpinAxisAtTheSpinRate) {
  setRandomState(5);
  auto crystal = spawnCrystal(0);
  const Vec3 spin = crystal->spin;

  spinCrystal(*crystal, 0);
  EXPECT_EQ(crystal->orientation, Quaternion(0, 0, 0, 1));

  // 0.1 turns per second: 2.5 s in frame-sized steps is a quarter turn.
  for (int i = 0; i < 50; ++i) spinCrystal(*crystal, 0.05f);
  const Vec3 axis = spin * 10.0f;
  const Quaternion q = crystal->orientation;
  const float half = static_cast<float>(kReferencePi / 4);
  EXPECT_NEAR(q.x, axis.x * std::sin(half), 1e-5f);
  EXPECT_NEAR(q.y, axis.y * std::sin(half), 1e-5f);
  EXPECT_NEAR(q.z, axis.z * std::sin(half), 1e-5f);
  EXPECT_NEAR(q.w, std::cos(half), 1e-5f);
  EXPECT_EQ(crystal->spin, spin);
}

TEST(CrystalLifeTest, SpinIncrementIsAppliedOnTheLeft) {
  Crystal crystal;
  crystal.spin = {0, 0, 0.1f};
  const Quaternion start = quaternionFromAxisAngle({1, 0, 0}, 1.0f);
  crystal.orientation = start;
  spinCrystal(crystal, 2.5f);  // a quarter turn about Z
  const Quaternion turn = quaternionFromAxisAngle({0, 0, 1}, static_cast<float>(kReferencePi / 2));
  const Quaternion expected = turn * start;
  const Quaternion wrongOrder = start * turn;
  EXPECT_NEAR(crystal.orientation.x, expected.x, 1e-6f);
  EXPECT_NEAR(crystal.orientation.y, expected.y, 1e-6f);
  EXPECT_NEAR(crystal.orientation.z, expected.z, 1e-6f);
  EXPECT_NEAR(crystal.orientation.w, expected.w, 1e-6f);
  EXPECT_GT(std::fabs(expected.y - wrongOrder.y), 0.1f);
}

TEST(CrystalLifeTest, CrystalWithoutSpinKeepsItsOrientation) {
  Crystal crystal;
  crystal.orientation = Quaternion(1.0f);
  spinCrystal(crystal, 0.05f);
  EXPECT_EQ(crystal.orientation, Quaternion(1.0f));
}

TEST(CrystalLifeTest, PatternHoldsItsLevels) {
  GrowthPattern pattern(3);
  ASSERT_EQ(pattern.levelCount, 3);
  pattern.setLevel(2, {0.7f, 0.4f, 5, 1.2f});
  const BranchLevel got = pattern.level(2);
  EXPECT_EQ(got.scale, 0.7f);
  EXPECT_EQ(got.offset, 0.4f);
  EXPECT_EQ(got.branchCount, 5);
  EXPECT_EQ(got.tilt, 1.2f);
  EXPECT_EQ(GrowthPattern(-2).levelCount, 0);
}

}  // namespace
}  // namespace pellarin
