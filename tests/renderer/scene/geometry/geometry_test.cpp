// The triangle mesh and the crystals built into it: the random draws, where spikes go, when
// generations appear, and that a mesh refilled every frame stops allocating.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>

#include "renderer/scene/crystal.h"

namespace pellarin {
namespace {

int reallocations = 0;
int failCall = -1;  // the mesh allocation call that is refused, counted from 1

struct CountingReallocator {
  CountingReallocator() {
    reallocations = 0;
    setMeshReallocatorForTesting([](void* block, std::size_t bytes) {
      return ++reallocations == failCall ? nullptr : std::realloc(block, bytes);
    });
  }
  ~CountingReallocator() {
    setMeshReallocatorForTesting(nullptr);
    failCall = -1;
  }
};

// Triangle k of a numbered sequence; its normal is +Z.
void addNumbered(TriangleMesh& mesh, int k) {
  const float f = static_cast<float>(k);
  addTriangle(mesh, {f, 0, 0}, {f + 1, 0, 0}, {f, 1, 0});
}

void expectNumbered(const TriangleMesh& mesh, int count, int first = 0) {
  ASSERT_EQ(mesh.triangleCount, count);
  for (int t = 0; t < count; ++t) {
    ASSERT_EQ(mesh.vertices[t * 9 + 3], static_cast<float>(first + t + 1)) << t;
    ASSERT_EQ(mesh.normals[t * 9 + 8], 1.0f) << t;
  }
}

// Storage starts at 16 triangles and doubles; a refused allocation loses only the new triangle.
TEST(TriangleMeshTest, GrowsByDoublingKeepsStorageWhenClearedAndSurvivesRefusedAllocations) {
  CountingReallocator counting;
  auto mesh = createMesh();
  for (const int filled : {0, 16}) {
    for (; mesh->triangleCount < filled;) addNumbered(*mesh, mesh->triangleCount);
    for (const int call : {1, 2}) {  // first the vertex array fails, then the normal array
      reallocations = 0;
      failCall = call;
      addNumbered(*mesh, 99);
      failCall = -1;
      EXPECT_EQ(mesh->capacity, filled);
      expectNumbered(*mesh, filled);
    }
  }
  reallocations = 0;
  addNumbered(*mesh, 16);
  EXPECT_EQ(mesh->capacity, 32);
  EXPECT_EQ(reallocations, 2);  // one per array
  expectNumbered(*mesh, 17);
  const float* vertices = mesh->vertices;
  clearMesh(*mesh);
  for (int k = 0; k < 32; ++k) addNumbered(*mesh, 100 + k);
  EXPECT_EQ(reallocations, 2);
  EXPECT_EQ(mesh->vertices, vertices);
  expectNumbered(*mesh, 32, 100);
}

constexpr double kPiRef = 3.141592653589793;

// The generator replayed independently, in double precision.
struct Replay {
  std::uint64_t state;
  int next() {
    state = (state * 214013ull + 2531011ull) % 4294967296ull;
    return static_cast<int>(state / 65536 % 32768);
  }
  double unit() { return next() / 32767.0; }
  double tilt() { return (unit() * 60 + 30) * kPiRef / 180; }
};

GrowthPattern patternOf(std::initializer_list<BranchLevel> levels) {
  GrowthPattern pattern(static_cast<int>(levels.size()));
  int i = 0;
  for (const BranchLevel& level : levels) pattern.setLevel(i++, level);
  return pattern;
}

Vec3 point(const TriangleMesh& mesh, int triangle, int corner) {
  const float* v = mesh.vertices + triangle * 9 + corner * 3;
  return {v[0], v[1], v[2]};
}
// Spike s's triangles are (A,B,tip) (C,tip,B) (tip,C,A) (base,A,C) (A,base,B) (C,B,base).
Vec3 tip(const TriangleMesh& mesh, int s) {
  return point(mesh, s * 6, 2);
}
Vec3 base(const TriangleMesh& mesh, int s) {
  return point(mesh, s * 6 + 3, 0);
}

int grow(const GrowthPattern& pattern, float age, TriangleMesh& mesh) {
  clearMesh(mesh);
  growCrystal(pattern, 0, uniformScaleMatrix(10), identityMatrix(), age, mesh);
  return mesh.triangleCount / 6;
}

void expectNear(Vec3 a, Vec3 b) {
  EXPECT_LT(length(a - b), 1e-4f) << a.x << ' ' << a.y << ' ' << a.z;
}

TEST(CrystalTest, FirstCrystalFollowsTheGeneratorStepByStep) {
  setRandomState(1);
  const auto crystal = spawnCrystal(7.5);
  Replay r{1};
  const GrowthPattern& p = *crystal->pattern;
  ASSERT_EQ(p.levelCount, 3 + r.next() % 2);
  const int n = r.next() % 3 + 1;
  EXPECT_EQ(p.level(0).branchCount, n);
  EXPECT_NEAR(p.level(0).tilt, n == 1 ? 0 : r.tilt(), 2e-6);
  for (int i = 1; i < p.levelCount; ++i) {
    EXPECT_NEAR(p.level(i).offset, r.unit() * 0.7 + 0.3, 1e-6);
    EXPECT_NEAR(p.level(i).tilt, r.tilt(), 2e-6);
    const int twoWays = r.next() % 2;
    EXPECT_EQ(p.level(i).branchCount, twoWays + r.next() % 3 + 2);
    EXPECT_EQ(p.level(i).scale, 0.7f);
  }
  const double az = (r.unit() * 2 - 1) * kPiRef, ay = (r.unit() * 2 - 1) * kPiRef;
  r.next();  // ax turns (0.1, 0, 0) about X only: no effect on the spin
  // 0.1 times the first row of Rx Ry Rz, multiplied out by hand.
  EXPECT_NEAR(crystal->spin.x, 0.1 * std::cos(ay) * std::cos(az), 2e-6);
  EXPECT_NEAR(crystal->spin.y, -0.1 * std::cos(ay) * std::sin(az), 2e-6);
  EXPECT_NEAR(crystal->spin.z, 0.1 * std::sin(ay), 2e-6);
  EXPECT_EQ(crystal->fallFlag, r.next() % 4 != 0 ? 1 : 0);
  EXPECT_EQ(randomState(), r.state);  // not one draw more or less
}

TEST(CrystalTest, SpikesPointWhereTheMatricesSay) {
  auto mesh = createMesh();
  ASSERT_EQ(grow(patternOf({{1, 0, 1, 0}, {0.7f, 0.6f, 2, 0.5f}}), 3, *mesh), 3);
  expectNear(tip(*mesh, 0), {0, 10, 0});
  expectNear(base(*mesh, 0), {0, 0, 0});
  const float c = std::cos(0.5f), s = std::sin(0.5f);
  expectNear(base(*mesh, 1), {0, 6, 0});
  expectNear(tip(*mesh, 1), {0, 6 + 7 * c, -7 * s});  // tilted towards -Z, as v x Rx says
  expectNear(tip(*mesh, 2), {0, 6 + 7 * c, 7 * s});   // half a turn around the parent

  // Faces point away from each spike's centre, under any frame.
  const Matrix4 frame = uniformScaleMatrix(3) * rotationX(0.7f) * translationMatrix({5, -4, 2});
  clearMesh(*mesh);
  emitSpike(frame, *mesh);
  for (int t = 0; t < 6; ++t) {
    const Vec3 mid = point(*mesh, t, 0) + point(*mesh, t, 1) + point(*mesh, t, 2);
    const Vec3 n{mesh->normals[t * 9], mesh->normals[t * 9 + 1], mesh->normals[t * 9 + 2]};
    EXPECT_GT(dot(n, scaled(mid, 1.0f / 3) - transformPoint({0, 0.5f, 0}, frame)), 0.05f) << t;
  }
}

TEST(CrystalTest, GenerationsAppearAtTheirTime) {
  CountingReallocator counting;
  auto mesh = createMesh();
  const GrowthPattern p = patternOf({{1, 0, 2, 0.5f}, {0.7f, 1, 2, 0.5f}, {0.7f, 1, 2, 0.5f}});
  EXPECT_EQ(grow(p, 0.25f, *mesh), 2);
  EXPECT_NEAR(length(tip(*mesh, 0)), 2.5f, 1e-5f);
  // Whole age 1: spike 0's children are appended collapsed onto their start.
  EXPECT_EQ(grow(p, 1, *mesh), 4);
  for (int t = 6; t < 18; ++t)
    for (int k = 0; k < 3; ++k) EXPECT_EQ(point(*mesh, t, k), tip(*mesh, 0));
  // Spike 1's children wait half a second; reduced ages below the depth add nothing.
  EXPECT_EQ(grow(p, 1.49f, *mesh), 4);
  EXPECT_EQ(grow(p, 1.5f, *mesh), 6);
  EXPECT_EQ(grow(p, -0.5f, *mesh), 0);
  EXPECT_EQ(grow(p, 1000, *mesh), 2 + 4 + 8);  // the last level never recurses
  // The largest pattern the generator draws, fully grown.
  const GrowthPattern largest = patternOf(
      {{1, 0, 3, 0.9f}, {0.7f, 0.5f, 5, 0.6f}, {0.7f, 0.5f, 5, 0.6f}, {0.7f, 0.5f, 5, 0.6f}});
  EXPECT_EQ(grow(largest, 7, *mesh), 468);
  EXPECT_EQ(mesh->triangleCount, 2808);  // six a spike
  EXPECT_EQ(mesh->capacity, 4096);
  const int calls = reallocations;
  grow(largest, 7, *mesh);
  EXPECT_EQ(reallocations, calls) << "regrown every frame, the mesh no longer allocates";
}

}  // namespace
}  // namespace pellarin
