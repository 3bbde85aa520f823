#pragma once
// The parts of drawing a frame that the scene's drawScene is built from.

#include "renderer/scene/crystal.h"
#include "renderer/scene/math/scene_math.h"
#include "renderer/scene/triangle_mesh.h"

namespace pellarin {

// glRotatef by the quaternion's angle (in degrees) about its axis.
void applyQuaternionRotation(Quaternion q);

// Builds the crystal's spikes for `age` into `mesh` (after clearing it) and draws them four
// times: as built, and tipped 120 degrees about x at 0, +120 and -120 degrees about y.
void drawCrystal(const GrowthPattern& pattern, const Matrix4& fallMatrix, float age,
                 TriangleMesh& mesh);

// A crystal's departure after the first half of its life, t seconds into it.
struct Departure {
  Matrix4 fallMatrix;
  float alpha = 1.0f;
};

// Identity and full opacity up to and including `age` 7.5; then the spikes move off (fallFlag 0:
// 1 unit per second, then turned about z; fallFlag 1: turned, then 5 units per second) while
// alpha falls linearly to 0 at age 15.
Departure departureAt(float age, int fallFlag);

}  // namespace pellarin
