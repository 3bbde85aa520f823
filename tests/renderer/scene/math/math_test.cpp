#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "renderer/scene/math/scene_math.h"

namespace pellarin {
namespace {

const std::uint32_t stateAtStart = randomState();  // read before any test draws

// The generator written out independently in 64-bit arithmetic.
std::uint64_t step(std::uint64_t& state) {
  state = (state * 214013ull + 2531011ull) % 4294967296ull;
  return state / 65536 % 32768;
}

void expectNear(Vec3 a, Vec3 b, float tolerance = 1e-6f) {
  EXPECT_LT(length(a - b), tolerance) << a.x << ' ' << a.y << ' ' << a.z;
}

TEST(RandomTest, SequenceStartsFromOne) {
  EXPECT_EQ(stateAtStart, 1u);
  setRandomState(1);
  EXPECT_EQ(nextRandom(), 41);
  EXPECT_EQ(nextRandom(), 18467);
  EXPECT_EQ(nextRandom(), 6334);
}

TEST(MatrixTest, RowVectorConventions) {
  const float a = 0.3f, c = std::cos(a), s = std::sin(a);
  // A transposed builder flips every sine term.
  expectNear(rotateVector({0, 1, 0}, rotationX(a)), {0, c, -s});
  expectNear(rotateVector({1, 0, 0}, rotationY(a)), {c, 0, s});
  expectNear(rotateVector({1, 0, 0}, rotationZ(a)), {c, -s, 0});
  EXPECT_EQ(transformPoint({1, 2, 3}, translationMatrix({4, 5, 6})), (Vec3{5, 7, 9}));
  EXPECT_EQ(rotateVector({1, 2, 3}, translationMatrix({4, 5, 6})), (Vec3{1, 2, 3}));
  // A x B applies A first.
  expectNear(transformPoint({}, translationMatrix({1, 0, 0}) * rotationZ(1.5707964f)), {0, -1, 0});
  const Matrix4 m = rotationX(0.4f) * translationMatrix({1, 2, 3}) * scaleMatrix({2, 1, 3});
  const Vec3 p{0.3f, -1, 2};
  expectNear(transformPoint(p, m * rotationY(-1.1f)),
             transformPoint(transformPoint(p, m), rotationY(-1.1f)), 1e-5f);
}

TEST(QuaternionTest, HamiltonOrderMatrixAndAxisAngle) {
  EXPECT_EQ(Quaternion(1, 0, 0, 0) * Quaternion(0, 1, 0, 0), Quaternion(0, 0, 1, 0));
  EXPECT_EQ(Quaternion(0, 1, 0, 0) * Quaternion(1, 0, 0, 0), Quaternion(0, 0, -1, 0));
  const Quaternion z = quaternionFromAxisAngle({0, 0, 1}, 1.5707964f);
  const Quaternion x = quaternionFromAxisAngle({1, 0, 0}, 1.5707964f);
  expectNear(Vec3{1, 0, 0} * toMatrix3(z), {0, 1, 0});
  const Vec3 v{0.3f, -0.5f, 0.8f};
  expectNear(v * toMatrix3(z * x), (v * toMatrix3(x)) * toMatrix3(z));  // x first, then z

  Vec3 axis;
  float angle = 0;
  quaternionToAxisAngle(quaternionFromAxisAngle({0.6f, 0, 0.8f}, 1.2f), axis, angle);
  expectNear(axis, {0.6f, 0, 0.8f});
  EXPECT_NEAR(angle, 1.2f, 1e-6f);
  // No vector part (the zero quaternion too) or w beyond 1: no rotation, never NaN.
  quaternionToAxisAngle(Quaternion(), axis, angle);
  EXPECT_EQ(axis, (Vec3{1, 0, 0}));
  EXPECT_EQ(angle, 0.0f);
}

TEST(NoiseTest, TablesBuiltOnceZeroAtLatticePointsAndContinuous) {
  setRandomState(4242);
  resetNoiseTablesForTesting();
  const float value = noise2({0.5f, 0.25f});
  std::uint64_t reference = 4242;
  for (int i = 0; i < 1536 + 256; ++i) step(reference);
  EXPECT_EQ(randomState(), reference);
  EXPECT_EQ(noise2({0.5f, 0.25f}), value);  // built once: no further draws
  EXPECT_EQ(randomState(), reference);

  for (int x = -5; x < 300; x += 7) EXPECT_EQ(noise2({float(x), float(x % 13)}), 0.0f);
  // Continuous across cell borders: a wrong neighbour index breaks this.
  for (float c = -3; c < 6; ++c) {
    EXPECT_NEAR(noise2({c - 1e-3f, 0.4f}), noise2({c + 1e-3f, 0.4f}), 5e-3f);
    EXPECT_NEAR(noise2({0.7f, c - 1e-3f}), noise2({0.7f, c + 1e-3f}), 5e-3f);
  }
}

}  // namespace
}  // namespace pellarin
