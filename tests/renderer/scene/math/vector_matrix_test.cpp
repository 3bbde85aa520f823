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

TEST(VectorTest, DefaultsAreZero) {
  EXPECT_EQ(Vec3{}, (Vec3{0, 0, 0}));
  Matrix4 m;
  Matrix3 r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_EQ(m.m[i][j], 0.0f);
  for (const Vec3& row : r.rows) EXPECT_EQ(row, Vec3{});
}

TEST(VectorTest, ArithmeticFollowsComponentRules) {
  EXPECT_EQ(cross({1, 0, 0}, {0, 1, 0}), (Vec3{0, 0, 1}));
  EXPECT_EQ(cross({0, 1, 0}, {1, 0, 0}), (Vec3{0, 0, -1}));
  EXPECT_EQ(cross({2, 3, 4}, {5, 6, 7}), (Vec3{-3, 6, -3}));
  EXPECT_EQ((Vec3{5, 7, 9} - Vec3{1, 2, 3}), (Vec3{4, 5, 6}));
  EXPECT_FLOAT_EQ(length({3, 4, 12}), 13.0f);
  EXPECT_EQ(scaled({1, -2, 3}, 2), (Vec3{2, -4, 6}));

  Vec3 v{1, 2, 3};
  addInPlace(v, 1, 1, -3);
  EXPECT_EQ(v, (Vec3{2, 3, 0}));
  scaleInPlace(v, -1);
  EXPECT_EQ(v, (Vec3{-2, -3, 0}));
}

TEST(VectorTest, DivisionMultipliesBySinglePrecisionReciprocal) {
  // 5 / 3 and 5 * (1 / 3) differ in the last bit in single precision.
  const Vec3 d = divided({5, 9, 3}, 3);
  const float reciprocal = 1.0f / 3.0f;
  EXPECT_EQ(d.x, 5.0f * reciprocal);
  EXPECT_NE(d.x, 5.0f / 3.0f);
  EXPECT_EQ(d.z, 3.0f * reciprocal);
}

TEST(VectorTest, NormalisingGivesUnitLengthAndZeroGivesNonFinite) {
  Vec3 v{0, 3, 4};
  normalise(v);
  expectNear(v, {0, 0.6f, 0.8f});
  EXPECT_NEAR(length(normalised({-7, 1, 2})), 1.0f, 1e-6f);

  const Vec3 z = normalised({0, 0, 0});
  EXPECT_FALSE(std::isfinite(z.x));
  EXPECT_FALSE(std::isfinite(z.y));
  EXPECT_FALSE(std::isfinite(z.z));

  Vec2 w{3, -4};
  normalise(w);
  EXPECT_FLOAT_EQ(w.x, 0.6f);
  EXPECT_FLOAT_EQ(w.y, -0.8f);
}

TEST(MatrixTest, RotationsTurnRowVectorsTheTabledWay) {
  const float a = 0.3f;
  const float c = std::cos(a), s = std::sin(a);
  // A transposed builder would give the opposite sign of every sine term.
  expectNear(rotateVector({0, 1, 0}, rotationX(a)), {0, c, -s});
  expectNear(rotateVector({0, 0, 1}, rotationX(a)), {0, s, c});
  expectNear(rotateVector({1, 0, 0}, rotationY(a)), {c, 0, s});
  expectNear(rotateVector({0, 0, 1}, rotationY(a)), {-s, 0, c});
  expectNear(rotateVector({1, 0, 0}, rotationZ(a)), {c, -s, 0});
  expectNear(rotateVector({0, 1, 0}, rotationZ(a)), {s, c, 0});
  expectNear(transformPoint({0, 1, 0}, rotationX(a)), {0, c, -s});
}

TEST(MatrixTest, TranslationLivesInTheFourthRow) {
  const Matrix4 t = translationMatrix({4, 5, 6});
  EXPECT_EQ(t.m[3][0], 4.0f);
  EXPECT_EQ(t.m[3][1], 5.0f);
  EXPECT_EQ(t.m[3][2], 6.0f);
  EXPECT_EQ(t.m[0][3], 0.0f);
  EXPECT_EQ(transformPoint({1, 2, 3}, t), (Vec3{5, 7, 9}));
  // Directions ignore the translation.
  EXPECT_EQ(rotateVector({1, 2, 3}, t), (Vec3{1, 2, 3}));
  EXPECT_EQ(transformPoint({1, 2, 3}, scaleMatrix({2, 3, -1})), (Vec3{2, 6, -3}));
  EXPECT_EQ(transformPoint({1, 2, 3}, uniformScaleMatrix(0.5f)), (Vec3{0.5f, 1, 1.5f}));
  EXPECT_EQ(transformPoint({1, 2, 3}, identityMatrix()), (Vec3{1, 2, 3}));
}

TEST(MatrixTest, ProductAppliesLeftOperandFirst) {
  const Matrix4 moveThenTurn = translationMatrix({1, 0, 0}) * rotationZ(1.5707964f);
  const Matrix4 turnThenMove = rotationZ(1.5707964f) * translationMatrix({1, 0, 0});
  expectNear(transformPoint({0, 0, 0}, moveThenTurn), {0, -1, 0});
  expectNear(transformPoint({0, 0, 0}, turnThenMove), {1, 0, 0});

  // Composing equals applying one after the other, for a general pair.
  const Matrix4 a = rotationX(0.4f) * translationMatrix({1, 2, 3}) * scaleMatrix({2, 1, 3});
  const Matrix4 b = rotationY(-1.1f) * translationMatrix({-2, 0.5f, 4});
  const Vec3 p{0.3f, -1.2f, 2.5f};
  expectNear(transformPoint(p, a * b), transformPoint(transformPoint(p, a), b), 1e-5f);
}

TEST(MatrixTest, ProductMayOverwriteEitherOperand) {
  const Matrix4 a0 = rotationX(0.7f) * translationMatrix({1, 2, 3});
  const Matrix4 b0 = rotationZ(-0.2f) * scaleMatrix({2, 3, 4});
  const Matrix4 expected = a0 * b0;
  Matrix4 a = a0, b = b0;
  a = a * b;
  b = a0 * b;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      EXPECT_EQ(a.m[i][j], expected.m[i][j]);
      EXPECT_EQ(b.m[i][j], expected.m[i][j]);
    }
  }
}

TEST(MatrixTest, ProductSumsRowTimesColumn) {
  Matrix4 a, b;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      a.m[i][j] = static_cast<float>(i * 4 + j + 1);  // 1..16
      b.m[i][j] = (i == 0 && j == 3) ? 1.0f : 0.0f;   // picks column 0 of a into column 3
    }
  }
  const Matrix4 c = a * b;
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(c.m[i][3], a.m[i][0]);
    EXPECT_EQ(c.m[i][0], 0.0f);
  }
}

TEST(MatrixTest, Matrix3TimesRowVector) {
  Matrix3 m;
  m.rows[0] = {1, 2, 3};
  m.rows[1] = {4, 5, 6};
  m.rows[2] = {7, 8, 9};
  EXPECT_EQ((Vec3{1, 0, 0} * m), (Vec3{1, 2, 3}));
  EXPECT_EQ((Vec3{1, 1, 2} * m), (Vec3{19, 23, 27}));
}

TEST(ScalarTest, AnglesAndInterpolation) {
  EXPECT_FLOAT_EQ(degreesToRadians(180), 3.14159265f);
  EXPECT_FLOAT_EQ(degreesToRadians(-90), -1.57079633f);
  EXPECT_FLOAT_EQ(radiansToDegrees(3.14159265f), 180.0f);
  EXPECT_FLOAT_EQ(radiansToDegrees(degreesToRadians(37)), 37.0f);
  EXPECT_EQ(linearInterpolate(0.25f, 2, 6), 3.0f);
  EXPECT_EQ(linearInterpolate(0, 2, 6), 2.0f);
  EXPECT_EQ(linearInterpolate(1, 2, 6), 6.0f);
  EXPECT_EQ(linearInterpolate(1.5f, 2, 6), 8.0f);
}

}  // namespace
}  // namespace pellarin
