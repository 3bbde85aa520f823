#include <gtest/gtest.h>

#include <cmath>

#include "renderer/scene/math/scene_math.h"

namespace pellarin {
namespace {

void expectNear(Vec3 actual, Vec3 expected, float tolerance = 1e-6f) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

void expectNear(Quaternion actual, Quaternion expected, float tolerance = 1e-6f) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
  EXPECT_NEAR(actual.w, expected.w, tolerance);
}

TEST(QuaternionTest, ConstructionDefaultsToZeroAndScalarGivesIdentity) {
  EXPECT_EQ(Quaternion(), Quaternion(0, 0, 0, 0));
  EXPECT_EQ(Quaternion(1.0f), Quaternion(0, 0, 0, 1));
  EXPECT_EQ(identityQuaternion(), Quaternion(0, 0, 0, 1));
}

TEST(QuaternionTest, HamiltonProductOrder) {
  const Quaternion i(1, 0, 0, 0), j(0, 1, 0, 0), k(0, 0, 1, 0);
  EXPECT_EQ(i * j, k);
  EXPECT_EQ(j * i, Quaternion(0, 0, -1, 0));
  EXPECT_EQ(j * k, i);
  EXPECT_EQ(k * i, j);
  EXPECT_EQ(i * i, Quaternion(0, 0, 0, -1));
  const Quaternion q(0.1f, -0.4f, 0.7f, 0.5f);
  EXPECT_EQ(Quaternion(1.0f) * q, q);
  EXPECT_EQ(q * Quaternion(1.0f), q);
  // Conjugate: vector part negated, so q times it leaves only the squared norm.
  EXPECT_EQ(conjugate(q), Quaternion(-0.1f, 0.4f, -0.7f, 0.5f));
  expectNear(q * conjugate(q), Quaternion(0, 0, 0, 0.91f));
}

TEST(QuaternionTest, MatrixRotatesRowVectorsAndProductAppliesRightOperandFirst) {
  const Quaternion quarterZ = quaternionFromAxisAngle({0, 0, 1}, 1.5707964f);
  expectNear(quarterZ, Quaternion(0, 0, std::sqrt(0.5f), std::sqrt(0.5f)));
  expectNear(Vec3{1, 0, 0} * toMatrix3(quarterZ), {0, 1, 0});
  expectNear(Vec3{0, 1, 0} * toMatrix3(quarterZ), {-1, 0, 0});

  const Quaternion quarterX = quaternionFromAxisAngle({1, 0, 0}, 1.5707964f);
  expectNear(Vec3{0, 1, 0} * toMatrix3(quarterX), {0, 0, 1});

  // (q1 (x) q2) rotates by q2, then by q1.
  const Vec3 v{0.3f, -0.5f, 0.8f};
  const Vec3 viaProduct = v * toMatrix3(quarterZ * quarterX);
  const Vec3 stepwise = (v * toMatrix3(quarterX)) * toMatrix3(quarterZ);
  expectNear(viaProduct, stepwise);
  const Vec3 otherOrder = (v * toMatrix3(quarterZ)) * toMatrix3(quarterX);
  EXPECT_GT(length(viaProduct - otherOrder), 0.1f);
}

TEST(QuaternionTest, RotateAboutYMultipliesTheIncrementOnTheLeft) {
  const Quaternion start = quaternionFromAxisAngle({1, 0, 0}, 0.8f);
  Quaternion q = start;
  rotateAboutY(q, 0.6f);
  const Quaternion yTurn = quaternionFromAxisAngle({0, 1, 0}, 0.6f);
  expectNear(q, yTurn * start);
  EXPECT_GT(std::fabs(q.z - (start * yTurn).z), 0.05f);
}

TEST(QuaternionTest, AxisAngleRoundTrip) {
  const Vec3 axis{0.6f, 0, 0.8f};
  Vec3 gotAxis;
  float gotAngle = -1;
  quaternionToAxisAngle(quaternionFromAxisAngle(axis, 1.2f), gotAxis, gotAngle);
  expectNear(gotAxis, axis);
  EXPECT_NEAR(gotAngle, 1.2f, 1e-6f);

  // w < 0 gives angles above pi.
  quaternionToAxisAngle(Quaternion(0, 0, std::sqrt(0.75f), -0.5f), gotAxis, gotAngle);
  expectNear(gotAxis, {0, 0, 1});
  EXPECT_NEAR(gotAngle, 4.18879f, 1e-5f);
}

TEST(QuaternionTest, AxisAngleOfDegenerateQuaternions) {
  Vec3 axis{9, 9, 9};
  float angle = 9;
  quaternionToAxisAngle(Quaternion(), axis, angle);
  EXPECT_EQ(axis, (Vec3{1, 0, 0}));
  EXPECT_EQ(angle, 0.0f);

  axis = {9, 9, 9};
  angle = 9;
  quaternionToAxisAngle(Quaternion(1.0f), axis, angle);
  EXPECT_EQ(axis, (Vec3{1, 0, 0}));
  EXPECT_EQ(angle, 0.0f);

  // A vector part too small to normalise safely counts as none.
  quaternionToAxisAngle(Quaternion(0, 5e-6f, 0, 1), axis, angle);
  EXPECT_EQ(axis, (Vec3{1, 0, 0}));

  // w exactly +-1 with a real vector part: angle 0 (acos would be 0 or 2 pi) about its axis.
  quaternionToAxisAngle(Quaternion(0, 2, 0, 1), axis, angle);
  EXPECT_EQ(axis, (Vec3{0, 1, 0}));
  EXPECT_EQ(angle, 0.0f);
  quaternionToAxisAngle(Quaternion(0, 0, -3, -1), axis, angle);
  EXPECT_EQ(axis, (Vec3{0, 0, -1}));
  EXPECT_EQ(angle, 0.0f);
}

}  // namespace
}  // namespace pellarin
