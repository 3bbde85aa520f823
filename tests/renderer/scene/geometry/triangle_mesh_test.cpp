#include <gtest/gtest.h>

#include <cmath>

#include "renderer/scene/triangle_mesh.h"
#include "tests/renderer/scene/geometry/counting_reallocator.h"

namespace pellarin {
namespace {

using testing::CountingReallocator;
using testing::ScopedCountingReallocator;

Vec3 corner(const TriangleMesh& mesh, int triangle, int index) {
  const float* v = mesh.vertices + triangle * 9 + index * 3;
  return {v[0], v[1], v[2]};
}

Vec3 normal(const TriangleMesh& mesh, int triangle, int index) {
  const float* n = mesh.normals + triangle * 9 + index * 3;
  return {n[0], n[1], n[2]};
}

// Triangle k of a test sequence: distinct corners, never degenerate.
void addNumbered(TriangleMesh& mesh, int k) {
  const float f = static_cast<float>(k);
  addTriangle(mesh, {f, 0, 0}, {f + 1, 0, 0}, {f, 1 + f, 0});
}

void expectNumbered(const TriangleMesh& mesh, int triangle, int k) {
  const float f = static_cast<float>(k);
  EXPECT_EQ(corner(mesh, triangle, 0), (Vec3{f, 0, 0}));
  EXPECT_EQ(corner(mesh, triangle, 1), (Vec3{f + 1, 0, 0}));
  EXPECT_EQ(corner(mesh, triangle, 2), (Vec3{f, 1 + f, 0}));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(normal(mesh, triangle, i), (Vec3{0, 0, 1}));
}

TEST(TriangleMeshTest, NewMeshIsEmpty) {
  auto mesh = createMesh();
  EXPECT_EQ(mesh->triangleCount, 0);
  EXPECT_EQ(mesh->capacity, 0);
  EXPECT_EQ(mesh->vertices, nullptr);
  EXPECT_EQ(mesh->normals, nullptr);
  clearMesh(*mesh);
  EXPECT_EQ(mesh->capacity, 0);
}

TEST(TriangleMeshTest, NormalFollowsCornerOrderAndIsRepeatedPerCorner) {
  auto mesh = createMesh();
  addTriangle(*mesh, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
  addTriangle(*mesh, {0, 0, 0}, {0, 1, 0}, {1, 0, 0});
  // Slanted and away from the origin: unit length, perpendicular to both edges.
  const Vec3 a{1, 2, 3}, b{4, 2, 5}, c{2, 7, 3};
  addTriangle(*mesh, a, b, c);
  ASSERT_EQ(mesh->triangleCount, 3);
  EXPECT_EQ(mesh->capacity, 16);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(normal(*mesh, 0, i), (Vec3{0, 0, 1}));
    EXPECT_EQ(normal(*mesh, 1, i), (Vec3{0, 0, -1}));
  }
  const Vec3 n = normal(*mesh, 2, 0);
  EXPECT_NEAR(length(n), 1.0f, 1e-6f);
  EXPECT_NEAR(dot(n, b - a), 0.0f, 1e-5f);
  EXPECT_NEAR(dot(n, c - b), 0.0f, 1e-5f);
  EXPECT_GT(dot(n, cross(b - a, c - a)), 0.0f);
  EXPECT_EQ(corner(*mesh, 2, 0), a);
  EXPECT_EQ(corner(*mesh, 2, 1), b);
  EXPECT_EQ(corner(*mesh, 2, 2), c);
}

TEST(TriangleMeshTest, ZeroAreaTriangleKeepsNonFiniteNormal) {
  auto mesh = createMesh();
  addTriangle(*mesh, {2, 3, 4}, {2, 3, 4}, {2, 3, 4});
  ASSERT_EQ(mesh->triangleCount, 1);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(corner(*mesh, 0, i), (Vec3{2, 3, 4}));
    const Vec3 n = normal(*mesh, 0, i);
    EXPECT_FALSE(std::isfinite(n.x) || std::isfinite(n.y) || std::isfinite(n.z));
  }
}

TEST(TriangleMeshTest, SeventeenthTriangleDoublesAndKeepsEarlierOnes) {
  ScopedCountingReallocator allocator;
  auto mesh = createMesh();
  for (int k = 0; k < 16; ++k) addNumbered(*mesh, k);
  EXPECT_EQ(mesh->capacity, 16);
  EXPECT_EQ(CountingReallocator::calls, 2);  // one per array
  addNumbered(*mesh, 16);
  EXPECT_EQ(mesh->capacity, 32);
  EXPECT_EQ(CountingReallocator::calls, 4);
  ASSERT_EQ(mesh->triangleCount, 17);
  for (int k = 0; k < 17; ++k) expectNumbered(*mesh, k, k);

  for (int k = 17; k < 33; ++k) addNumbered(*mesh, k);
  EXPECT_EQ(mesh->capacity, 64);
  for (int k = 0; k < 33; ++k) expectNumbered(*mesh, k, k);
}

TEST(TriangleMeshTest, ClearKeepsStorageAndRefillsFromTheStart) {
  ScopedCountingReallocator allocator;
  auto mesh = createMesh();
  for (int k = 0; k < 20; ++k) addNumbered(*mesh, k);
  const float* vertices = mesh->vertices;
  const float* normals = mesh->normals;
  const int calls = CountingReallocator::calls;

  clearMesh(*mesh);
  EXPECT_EQ(mesh->triangleCount, 0);
  EXPECT_EQ(mesh->capacity, 32);
  for (int k = 0; k < 32; ++k) addNumbered(*mesh, 100 + k);
  EXPECT_EQ(CountingReallocator::calls, calls);
  EXPECT_EQ(mesh->vertices, vertices);
  EXPECT_EQ(mesh->normals, normals);
  expectNumbered(*mesh, 0, 100);
  expectNumbered(*mesh, 31, 131);

  addNumbered(*mesh, 132);  // only now beyond the old capacity
  EXPECT_EQ(CountingReallocator::calls, calls + 2);
  EXPECT_EQ(mesh->capacity, 64);
}

TEST(TriangleMeshTest, FailedFirstAllocationLeavesMeshEmptyAndUsable) {
  ScopedCountingReallocator allocator;
  auto mesh = createMesh();
  CountingReallocator::failFromCall = 1;
  addNumbered(*mesh, 0);
  EXPECT_EQ(mesh->triangleCount, 0);
  EXPECT_EQ(mesh->capacity, 0);

  // The vertex array is had but the normal array is not: still no room claimed.
  CountingReallocator::failFromCall = -1;
  CountingReallocator::failOnlyCall = CountingReallocator::calls + 2;
  addNumbered(*mesh, 0);
  EXPECT_EQ(mesh->triangleCount, 0);
  EXPECT_EQ(mesh->capacity, 0);
  EXPECT_EQ(mesh->normals, nullptr);

  addNumbered(*mesh, 7);
  EXPECT_EQ(mesh->triangleCount, 1);
  EXPECT_EQ(mesh->capacity, 16);
  expectNumbered(*mesh, 0, 7);
}

TEST(TriangleMeshTest, FailedGrowthDropsTheTriangleAndKeepsTheRest) {
  ScopedCountingReallocator allocator;
  auto mesh = createMesh();
  for (int k = 0; k < 16; ++k) addNumbered(*mesh, k);

  for (int failing : {1, 2}) {  // the vertex array, then the normal array
    CountingReallocator::failOnlyCall = CountingReallocator::calls + failing;
    addNumbered(*mesh, 99);
    EXPECT_EQ(mesh->triangleCount, 16);
    EXPECT_EQ(mesh->capacity, 16);
    for (int k = 0; k < 16; ++k) expectNumbered(*mesh, k, k);
  }

  addNumbered(*mesh, 16);
  EXPECT_EQ(mesh->triangleCount, 17);
  EXPECT_EQ(mesh->capacity, 32);
  for (int k = 0; k < 17; ++k) expectNumbered(*mesh, k, k);
}

}  // namespace
}  // namespace pellarin
