#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>

#include "renderer/scene/crystal.h"
#include "tests/renderer/scene/geometry/counting_reallocator.h"

namespace pellarin {
namespace {

using testing::CountingReallocator;
using testing::ScopedCountingReallocator;

constexpr int kTrianglesPerSpike = 6;
const Matrix4 kParent = uniformScaleMatrix(10);

GrowthPattern patternOf(std::initializer_list<BranchLevel> levels) {
  GrowthPattern pattern(static_cast<int>(levels.size()));
  int i = 0;
  for (const BranchLevel& level : levels) pattern.setLevel(i++, level);
  return pattern;
}

Vec3 corner(const TriangleMesh& mesh, int triangle, int index) {
  const float* v = mesh.vertices + triangle * 9 + index * 3;
  return {v[0], v[1], v[2]};
}

Vec3 faceNormal(const TriangleMesh& mesh, int triangle) {
  const float* n = mesh.normals + triangle * 9;
  return {n[0], n[1], n[2]};
}

// Triangle order of a spike is (A,B,tip) (C,tip,B) (tip,C,A) (base,A,C) (A,base,B) (C,B,base).
Vec3 tipOf(const TriangleMesh& mesh, int spike) {
  return corner(mesh, spike * 6, 2);
}
Vec3 baseOf(const TriangleMesh& mesh, int spike) {
  return corner(mesh, spike * 6 + 3, 0);
}

int spikeCount(const TriangleMesh& mesh) {
  return mesh.triangleCount / kTrianglesPerSpike;
}

void expectNear(Vec3 actual, Vec3 expected, float tolerance = 1e-4f) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

int grow(const GrowthPattern& pattern, float age, TriangleMesh& mesh,
         const Matrix4& fall = identityMatrix()) {
  clearMesh(mesh);
  growCrystal(pattern, 0, kParent, fall, age, mesh);
  EXPECT_EQ(mesh.triangleCount % kTrianglesPerSpike, 0);
  return spikeCount(mesh);
}

TEST(SpikeTest, UnitSpikeShapeAndOutwardNormals) {
  auto mesh = createMesh();
  emitSpike(identityMatrix(), *mesh);
  ASSERT_EQ(mesh->triangleCount, 6);
  const Vec3 tip{0, 1, 0}, a{0, 0.5f, 0.1f}, b{0.0866f, 0.5f, -0.05f}, c{-0.0866f, 0.5f, -0.05f},
      base{0, 0, 0};
  const Vec3 expected[6][3] = {{a, b, tip},  {c, tip, b},  {tip, c, a},
                               {base, a, c}, {a, base, b}, {c, b, base}};
  for (int t = 0; t < 6; ++t) {
    for (int k = 0; k < 3; ++k) EXPECT_EQ(corner(*mesh, t, k), expected[t][k]) << t << "," << k;
  }

  // Under a turned, stretched and moved frame every face still faces away from the centre.
  const Matrix4 frame =
      uniformScaleMatrix(3) * rotationX(0.7f) * rotationY(-2.1f) * translationMatrix({5, -4, 2});
  emitSpike(frame, *mesh);
  const Vec3 centre = transformPoint({0, 0.5f, 0}, frame);
  for (int t = 6; t < 12; ++t) {
    const Vec3 mid =
        scaled(corner(*mesh, t, 0) + corner(*mesh, t, 1) + corner(*mesh, t, 2), 1.0f / 3);
    const Vec3 n = faceNormal(*mesh, t);
    EXPECT_NEAR(length(n), 1.0f, 1e-5f);
    EXPECT_GT(dot(n, normalised(mid - centre)), 0.1f) << "triangle " << t;
  }
}

TEST(CrystalGrowthTest, SingleUntiltedRootSpikePointsUpTenUnits) {
  const GrowthPattern pattern = patternOf({{1.0f, 0, 1, 0}, {0.7f, 1.0f, 2, 0.5f}});
  auto mesh = createMesh();
  grow(pattern, 2.5f, *mesh);
  expectNear(tipOf(*mesh, 0), {0, 10, 0});
  expectNear(baseOf(*mesh, 0), {0, 0, 0});
  // The ring sits halfway with radius 1 under the parent scale of 10.
  expectNear(corner(*mesh, 0, 0), {0, 5, 1});
}

TEST(CrystalGrowthTest, TiltLeansSpikesTheTabledWayAroundTheAxis) {
  const float tilt = 0.6f;
  const GrowthPattern pattern = patternOf({{1.0f, 0, 3, tilt}});
  auto mesh = createMesh();
  ASSERT_EQ(grow(pattern, 3, *mesh), 3);
  const float c = std::cos(tilt), s = std::sin(tilt);
  for (int i = 0; i < 3; ++i) {
    const double around = i * 2 * 3.141592653589793 / 3;
    const Vec3 expected{static_cast<float>(10 * s * std::sin(around)), 10 * c,
                        static_cast<float>(-10 * s * std::cos(around))};
    expectNear(tipOf(*mesh, i), expected);
    EXPECT_NEAR(length(tipOf(*mesh, i)), 10.0f, 1e-4f);
  }
}

TEST(CrystalGrowthTest, ChildrenStartAtTheOffsetAndLeanFromTheirParent) {
  const float tilt = 0.5f;
  const GrowthPattern pattern = patternOf({{1.0f, 0, 1, 0}, {0.7f, 0.6f, 2, tilt}});
  auto mesh = createMesh();
  ASSERT_EQ(grow(pattern, 3, *mesh), 3);
  const float c = std::cos(tilt), s = std::sin(tilt);
  expectNear(baseOf(*mesh, 1), {0, 6, 0});
  expectNear(tipOf(*mesh, 1), {0, 6 + 7 * c, -7 * s});
  expectNear(baseOf(*mesh, 2), {0, 6, 0});
  expectNear(tipOf(*mesh, 2), {0, 6 + 7 * c, 7 * s});

  // Grandchildren lean from their own parent, scaled 0.7 again.
  const GrowthPattern deeper =
      patternOf({{1.0f, 0, 1, 0}, {0.7f, 1.0f, 1, 1.5707964f}, {0.7f, 1.0f, 1, 1.5707964f}});
  ASSERT_EQ(grow(deeper, 5, *mesh), 3);
  expectNear(tipOf(*mesh, 1), {0, 10, -7});
  expectNear(tipOf(*mesh, 2), {0, 10 - 4.9f, -7});
}

TEST(CrystalGrowthTest, GrowingGenerationScalesWithTheFractionOfItsSecond) {
  const GrowthPattern pattern = patternOf({{1.0f, 0, 1, 0}, {0.7f, 1.0f, 1, 0}});
  auto mesh = createMesh();
  ASSERT_EQ(grow(pattern, 0.25f, *mesh), 1);
  expectNear(tipOf(*mesh, 0), {0, 2.5f, 0});
  ASSERT_EQ(grow(pattern, 1.5f, *mesh), 2);
  expectNear(tipOf(*mesh, 0), {0, 10, 0});
  expectNear(tipOf(*mesh, 1), {0, 13.5f, 0});
}

TEST(CrystalGrowthTest, WholeNumberAgeCollapsesTheNewGenerationToAPoint) {
  const GrowthPattern pattern = patternOf({{1.0f, 0, 2, 0.8f}, {0.7f, 0.5f, 3, 0.8f}});
  auto mesh = createMesh();
  ASSERT_EQ(grow(pattern, 0, *mesh), 2);
  for (int t = 0; t < mesh->triangleCount; ++t) {
    for (int k = 0; k < 3; ++k) EXPECT_EQ(corner(*mesh, t, k), Vec3{});
    EXPECT_FALSE(std::isfinite(faceNormal(*mesh, t).x));
  }

  // At age 1 the first generation is whole and spike 0's children follow it, collapsed onto
  // their starting point; spike 1's children start half a second later.
  ASSERT_EQ(grow(pattern, 1, *mesh), 2 + 3);
  const Vec3 start = corner(*mesh, kTrianglesPerSpike, 0);
  expectNear(start, scaled(tipOf(*mesh, 0), 0.5f));
  for (int t = kTrianglesPerSpike; t < 4 * kTrianglesPerSpike; ++t) {
    for (int k = 0; k < 3; ++k) EXPECT_EQ(corner(*mesh, t, k), start);
  }
  EXPECT_NEAR(length(tipOf(*mesh, 4)), 10.0f, 1e-4f);
}

TEST(CrystalGrowthTest, LaterSiblingsChildrenWaitTheirShareOfASecond) {
  const GrowthPattern pattern = patternOf({{1.0f, 0, 2, 0.5f}, {0.7f, 1.0f, 2, 0.5f}});
  auto mesh = createMesh();
  EXPECT_EQ(grow(pattern, 1.25f, *mesh), 2 + 2);
  EXPECT_EQ(grow(pattern, 1.49f, *mesh), 2 + 2);
  EXPECT_EQ(grow(pattern, 1.5f, *mesh), 2 + 2 + 2);
  // Spike 0's children come right after spike 0, before spike 1.
  EXPECT_NEAR(length(baseOf(*mesh, 1) - tipOf(*mesh, 0)), 0.0f, 1e-4f);

  // Reduced ages below zero: three root spikes at age 0.5 give 0.5, -0.17, -0.83 to the children.
  const GrowthPattern three = patternOf({{1.0f, 0, 3, 0.5f}, {0.7f, 1.0f, 2, 0.5f}});
  EXPECT_EQ(grow(three, 0.5f, *mesh), 3);
  EXPECT_EQ(grow(three, 1.4f, *mesh), 3 + 2 + 2);
}

TEST(CrystalGrowthTest, NothingBeforeBirthOrBeyondTheLastLevel) {
  const GrowthPattern pattern = patternOf({{1.0f, 0, 2, 0.5f}, {0.7f, 1.0f, 2, 0.5f}});
  auto mesh = createMesh();
  EXPECT_EQ(grow(pattern, -0.5f, *mesh), 0);
  EXPECT_EQ(grow(pattern, -3.0f, *mesh), 0);
  EXPECT_EQ(grow(pattern, NAN, *mesh), 0);
  growCrystal(pattern, 2, kParent, identityMatrix(), 10, *mesh);
  growCrystal(pattern, -1, kParent, identityMatrix(), 10, *mesh);
  EXPECT_EQ(mesh->triangleCount, 0);

  // Three levels never recurse into a fourth, however old: 2 + 4 + 8 spikes.
  const GrowthPattern threeLevels =
      patternOf({{1.0f, 0, 2, 0.5f}, {0.7f, 1.0f, 2, 0.5f}, {0.7f, 1.0f, 2, 0.5f}});
  EXPECT_EQ(grow(threeLevels, 2.9f, *mesh), 2 + 4 + 6);  // the last grandchildren wait
  EXPECT_EQ(grow(threeLevels, 1000, *mesh), 2 + 4 + 8);
  EXPECT_EQ(grow(threeLevels, 3e9f, *mesh), 2 + 4 + 8);
}

TEST(CrystalGrowthTest, FallMatrixActsInEachSpikesOwnFrame) {
  const GrowthPattern pattern =
      patternOf({{1.0f, 0, 3, 0.7f}, {0.7f, 0.6f, 2, 1.1f}, {0.7f, 0.8f, 3, 0.4f}});
  auto still = createMesh();
  auto falling = createMesh();
  const int spikes = grow(pattern, 9, *still);
  ASSERT_EQ(spikes, 3 + 6 + 18);
  // Moving one spike length along its own axis puts every base where its tip was, and the
  // children still hang from the unmoved parents.
  ASSERT_EQ(grow(pattern, 9, *falling, translationMatrix({0, 1, 0})), spikes);
  for (int s = 0; s < spikes; ++s) expectNear(baseOf(*falling, s), tipOf(*still, s));
}

TEST(CrystalGrowthTest, LargestCrystalFillsTheMeshWithoutReallocatingLater) {
  ScopedCountingReallocator allocator;
  const GrowthPattern largest = patternOf(
      {{1.0f, 0, 3, 0.9f}, {0.7f, 0.5f, 5, 0.6f}, {0.7f, 0.5f, 5, 0.6f}, {0.7f, 0.5f, 5, 0.6f}});
  auto mesh = createMesh();
  EXPECT_EQ(grow(largest, 7.0f, *mesh), 3 + 15 + 75 + 375);
  EXPECT_EQ(mesh->triangleCount, 2808);
  EXPECT_EQ(mesh->capacity, 4096);
  const int calls = CountingReallocator::calls;
  const float* vertices = mesh->vertices;
  for (float age : {0.5f, 3.3f, 7.0f, 12.0f}) grow(largest, age, *mesh);
  EXPECT_EQ(CountingReallocator::calls, calls);
  EXPECT_EQ(mesh->vertices, vertices);
  EXPECT_EQ(mesh->capacity, 4096);

  // The last root spike's last grandchild's children start 2/3 + 4/5 + 4/5 s late.
  EXPECT_LT(grow(largest, 5.25f, *mesh), 468);
  EXPECT_EQ(grow(largest, 5.3f, *mesh), 468);
}

TEST(CrystalGrowthTest, RandomCrystalsStayInsideTheirReach) {
  setRandomState(1);
  auto mesh = createMesh();
  for (int k = 0; k < 50; ++k) {
    const auto crystal = spawnCrystal(0);
    grow(*crystal->pattern, 7.5f, *mesh);
    ASSERT_GT(mesh->triangleCount, 0);
    // 10 + 7 + 4.9 + 3.43 is as far as any point can be from the origin.
    for (int t = 0; t < mesh->triangleCount; ++t) {
      for (int c = 0; c < 3; ++c) ASSERT_LE(length(corner(*mesh, t, c)), 25.34f);
    }
  }
}

}  // namespace
}  // namespace pellarin
