// Processor time per frame of the scene, split into geometry (rebuilding both crystals' spikes
// into the shared mesh) and the whole frame (geometry plus drawing into a 1024 x 768 off-screen
// buffer with glFinish). Drawing alone is the difference of the two.
// The frame benchmarks need an X display with GLX: scripts/with-xvfb.sh
// build/bench/scene/bench_scene
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <memory>

#include "renderer/scene/crystal.h"
#include "renderer/scene/scene.h"
#include "renderer/scene/scene_drawing.h"
#include "renderer/scene/scene_record.h"
#include "tools/render_scene/offscreen_gl.h"
#include "tools/render_scene/scene_snapshot.h"

namespace {

using namespace pellarin;

// Geometry of one frame at a scene time: both crystals, as drawScene builds them.
void BM_Geometry(benchmark::State& state) {
  setRandomState(1);
  auto first = spawnCrystal(0.0);
  auto second = spawnCrystal(7.5);
  auto mesh = createMesh();
  const double clock = static_cast<double>(state.range(0)) / 10.0;
  long triangles = 0;
  for (auto _ : state) {
    triangles = 0;
    for (const Crystal* crystal : {first.get(), second.get()}) {
      if (!(clock > crystal->birthTime)) continue;
      const auto age = static_cast<float>(clock - crystal->birthTime);
      clearMesh(*mesh);
      growCrystal(*crystal->pattern, 0, scaleMatrix({10, 10, 10}),
                  departureAt(age, crystal->fallFlag).fallMatrix, age, *mesh);
      triangles += mesh->triangleCount;
    }
    benchmark::DoNotOptimize(mesh->vertices);
  }
  state.counters["triangles"] = static_cast<double>(triangles);
}
BENCHMARK(BM_Geometry)->Arg(30)->Arg(70)->Arg(110)->Unit(benchmark::kMicrosecond);

// A whole frame: geometry, drawing and glFinish.
void BM_Frame(benchmark::State& state) {
  static std::unique_ptr<OffscreenGl> gl = createOffscreenGl(1024, 768);
  if (!gl) {
    state.SkipWithError("no GL context (DISPLAY?)");
    return;
  }
  setRandomState(1);
  resetNoiseTablesForTesting();
  setUpScene(1024, 768);
  advanceScene(static_cast<double>(state.range(0)) / 10.0);
  for (auto _ : state) {
    drawScene({0, 0, 35}, identityQuaternion());
    glFinish();
  }
  tearDownScene();
}
BENCHMARK(BM_Frame)->Arg(30)->Arg(70)->Arg(110)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
