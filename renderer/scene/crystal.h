#pragma once
// Crystals: random branching patterns of double-pointed spikes that grow one generation per
// second from the origin, turn slowly about a random axis, and are replaced after 15 seconds.
// All randomness comes from the shared generator, so the order of draws here is fixed.

#include <memory>

#include "renderer/scene/math/scene_math.h"
#include "renderer/scene/triangle_mesh.h"

namespace pellarin {

// One generation of branching.
struct BranchLevel {
  float scale = 0;      // spike length relative to the parent spike
  float offset = 0;     // where on the parent the spikes start: 0 base, 1 tip
  int branchCount = 0;  // spikes per parent, spread evenly around its axis
  float tilt = 0;       // radians between a new spike and its parent's axis
};

struct GrowthPattern {
  int levelCount = 0;
  std::unique_ptr<BranchLevel[]> levels;

  // Room for `count` levels (a negative count is taken as 0), to be filled by index.
  explicit GrowthPattern(int count);
  BranchLevel level(int index) const { return levels[index]; }
  void setLevel(int index, const BranchLevel& value) { levels[index] = value; }
};

struct Crystal {
  std::unique_ptr<GrowthPattern> pattern;
  double birthTime = 0;    // scene-clock seconds; double so that long runs never stall
  Vec3 position;           // always the origin
  Quaternion orientation;  // identity once spawned
  Vec3 spin;               // rotation axis times revolutions per second
  int fallFlag = 0;        // which of the two departure motions the drawing uses
};

inline constexpr double kCrystalLifetime = 15.0;

std::unique_ptr<GrowthPattern> makeRandomPattern();

std::unique_ptr<Crystal> spawnCrystal(double birthTime);

// Turns the crystal about its spin axis by 2 pi |spin| dt radians.
void spinCrystal(Crystal& crystal, float dt);

// True once the crystal is more than 15 s old.
bool isExpired(const Crystal& crystal, double sceneClock);

// Appends the spikes of generation `depth` and deeper that exist at `age` seconds. `parent`
// carries a unit spike into the parent's frame; `fallMatrix` acts on each spike in its own
// frame first (the departure motion).
void growCrystal(const GrowthPattern& pattern, int depth, const Matrix4& parent,
                 const Matrix4& fallMatrix, float age, TriangleMesh& mesh);

// Appends one spike (six triangles, normals outward): a triangular double pyramid one unit
// long along local +Y, transformed as points by `matrix`.
void emitSpike(const Matrix4& matrix, TriangleMesh& mesh);

}  // namespace pellarin
