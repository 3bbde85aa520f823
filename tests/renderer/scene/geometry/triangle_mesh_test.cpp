#include <gtest/gtest.h>

#include <cmath>

#include "renderer/scene/triangle_mesh.h"
#include "tests/renderer/scene/geometry/counting_reallocator.h"

namespace pellarin {
namespace {

using testing::failCall;
using testing::reallocations;

// Triangle k of a numbered sequence; its normal is +Z.
void addNumbered(TriangleMesh& mesh, int k) {
  const float f = static_cast<float>(k);
  addTriangle(mesh, {f, 0, 0}, {f + 1, 0, 0}, {f, 1, 0});
}

void expectNumbered(const TriangleMesh& mesh, int count, int first = 0) {
  ASSERT_EQ(mesh.triangleCount, count);
  for (int t = 0; t < count; ++t) {
    const float f = static_cast<float>(first + t);
    const float corners[9] = {f, 0, 0, f + 1, 0, 0, f, 1, 0};
    for (int i = 0; i < 9; ++i) ASSERT_EQ(mesh.vertices[t * 9 + i], corners[i]) << t;
    for (int i = 0; i < 9; ++i) ASSERT_EQ(mesh.normals[t * 9 + i], i % 3 == 2 ? 1 : 0) << t;
  }
}

TEST(TriangleMeshTest, NormalsFollowCornerOrder) {
  auto mesh = createMesh();
  EXPECT_EQ(mesh->vertices, nullptr);
  addTriangle(*mesh, {0, 0, 0}, {0, 1, 0}, {1, 0, 0});
  addTriangle(*mesh, {2, 3, 4}, {2, 3, 4}, {2, 3, 4});
  EXPECT_EQ(mesh->capacity, 16);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(mesh->normals[i * 3 + 2], -1.0f);
  for (int i = 9; i < 18; ++i) EXPECT_FALSE(std::isfinite(mesh->normals[i]));
}

TEST(TriangleMeshTest, DoublingKeepsTrianglesAndClearingKeepsStorage) {
  testing::CountingReallocator counting;
  reallocations = 0;
  auto mesh = createMesh();
  for (int k = 0; k < 17; ++k) addNumbered(*mesh, k);
  EXPECT_EQ(mesh->capacity, 32);
  EXPECT_EQ(reallocations, 4);  // 16 then 32, two arrays each
  expectNumbered(*mesh, 17);

  const float* vertices = mesh->vertices;
  clearMesh(*mesh);
  for (int k = 0; k < 32; ++k) addNumbered(*mesh, 100 + k);
  EXPECT_EQ(reallocations, 4);
  EXPECT_EQ(mesh->vertices, vertices);
  expectNumbered(*mesh, 32, 100);
}

TEST(TriangleMeshTest, FailedAllocationDropsTheTriangleOnly) {
  testing::CountingReallocator counting;
  auto mesh = createMesh();
  for (int call : {1, 2}) {  // first the vertex array fails, then the normal array
    reallocations = 0;
    failCall = call;
    addNumbered(*mesh, 0);
    EXPECT_EQ(mesh->triangleCount, 0);
    EXPECT_EQ(mesh->capacity, 0);
  }
  failCall = -1;
  for (int k = 0; k < 16; ++k) addNumbered(*mesh, k);
  for (int call : {1, 2}) {
    reallocations = 0;
    failCall = call;
    addNumbered(*mesh, 99);
    EXPECT_EQ(mesh->capacity, 16);
    expectNumbered(*mesh, 16);
  }
  failCall = -1;
  addNumbered(*mesh, 16);
  expectNumbered(*mesh, 17);
}

}  // namespace
}  // namespace pellarin
