// Crystal geometry on the processor: the largest possible crystal and a steady two-crystal
// frame, each rebuilt into a warm shared mesh. Every heap allocation of the program is counted
// so that the steady state can be shown to allocate nothing.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstddef>
#include <cstring>
#include <memory>

#include "renderer/scene/crystal.h"
#include "renderer/scene/triangle_mesh.h"

// glibc's own allocator entry points; the definitions below route everything through them.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void __libc_free(void*);
}

namespace {
std::atomic<long> allocations{0};
}  // namespace

extern "C" {
void* malloc(std::size_t bytes) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_malloc(bytes);
}
void* calloc(std::size_t count, std::size_t bytes) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_calloc(count, bytes);
}
void* realloc(void* block, std::size_t bytes) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_realloc(block, bytes);
}
void free(void* block) {
  __libc_free(block);
}
}

namespace pellarin {
namespace {

const Matrix4 kParent = uniformScaleMatrix(10);

std::unique_ptr<GrowthPattern> largestPattern() {
  auto pattern = std::make_unique<GrowthPattern>(4);
  pattern->setLevel(0, {1.0f, 0, 3, 0.9f});
  for (int i = 1; i < 4; ++i) pattern->setLevel(i, {0.7f, 0.65f, 5, 0.8f});
  return pattern;
}

// The departure transform as the drawing uses it, t seconds into the departure.
Matrix4 fallMatrixFor(const Crystal& crystal, float age) {
  if (!(age > 7.5f)) return identityMatrix();
  const float t = age - 7.5f;
  return crystal.fallFlag == 0 ? translationMatrix({0, t, 0}) * rotationZ(4 * t)
                               : rotationZ(4 * t) * translationMatrix({0, 5 * t, 0});
}

void reportPerTriangle(benchmark::State& state, int trianglesPerIteration, long allocationsDuring) {
  state.counters["triangles"] = trianglesPerIteration;
  state.counters["time_per_triangle"] =
      benchmark::Counter(trianglesPerIteration, benchmark::Counter::kIsIterationInvariantRate |
                                                    benchmark::Counter::kInvert);
  state.counters["allocs_per_iter"] =
      static_cast<double>(allocationsDuring) / static_cast<double>(state.iterations());
}

void BM_LargestCrystal(benchmark::State& state) {
  const auto pattern = largestPattern();
  auto mesh = createMesh();
  const Matrix4 fall =
      state.range(0) != 0 ? rotationZ(1.2f) * translationMatrix({0, 2, 0}) : identityMatrix();
  growCrystal(*pattern, 0, kParent, fall, 7.5f, *mesh);  // warm the mesh
  const long before = allocations.load();
  for (auto _ : state) {
    clearMesh(*mesh);
    growCrystal(*pattern, 0, kParent, fall, 7.5f, *mesh);
    benchmark::DoNotOptimize(mesh->vertices);
    benchmark::ClobberMemory();
  }
  const long during = allocations.load() - before;
  if (mesh->triangleCount != 2808) state.SkipWithError("largest crystal is not 2,808 triangles");
  reportPerTriangle(state, mesh->triangleCount, during);
}
BENCHMARK(BM_LargestCrystal)->Arg(0)->Arg(1)->ArgName("falling");

// The same crystal into a new mesh every time: the doubling from 16 to 4,096 triangles, and
// proof that the allocation counter sees the mesh's allocations.
void BM_LargestCrystalColdMesh(benchmark::State& state) {
  const auto pattern = largestPattern();
  int triangles = 0;
  const long before = allocations.load();
  for (auto _ : state) {
    auto mesh = createMesh();
    growCrystal(*pattern, 0, kParent, identityMatrix(), 7.5f, *mesh);
    triangles = mesh->triangleCount;
    benchmark::DoNotOptimize(mesh->vertices);
  }
  reportPerTriangle(state, triangles, allocations.load() - before);
}
BENCHMARK(BM_LargestCrystalColdMesh);

// Two crystals half a life apart, one growing and one departing, as in every frame after
// the first 7.5 s: spin both, then rebuild each one's geometry into the shared mesh.
void BM_TwoCrystalFrame(benchmark::State& state) {
  setRandomState(1);
  std::unique_ptr<Crystal> slots[2] = {spawnCrystal(0.0), spawnCrystal(7.5)};
  auto mesh = createMesh();
  const double sceneClock = 7.5 + static_cast<double>(state.range(0)) / 10;
  int trianglesPerFrame = 0;
  auto frame = [&] {
    trianglesPerFrame = 0;
    for (auto& crystal : slots) {
      spinCrystal(*crystal, 0.016f);
      const float age = static_cast<float>(sceneClock - crystal->birthTime);
      clearMesh(*mesh);
      growCrystal(*crystal->pattern, 0, kParent, fallMatrixFor(*crystal, age), age, *mesh);
      trianglesPerFrame += mesh->triangleCount;
      benchmark::DoNotOptimize(mesh->vertices);
      benchmark::ClobberMemory();
    }
  };
  frame();  // warm the mesh
  const long before = allocations.load();
  for (auto _ : state) frame();
  const long during = allocations.load() - before;
  reportPerTriangle(state, trianglesPerFrame, during);
  state.counters["time_per_crystal"] = benchmark::Counter(
      2, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
// Clock 7.5 + x/10: the first crystal departs at age 7.5 + x/10 while the second grows.
BENCHMARK(BM_TwoCrystalFrame)->Arg(1)->Arg(40)->Arg(74)->ArgName("clock_tenths_past_7_5");

}  // namespace
}  // namespace pellarin
