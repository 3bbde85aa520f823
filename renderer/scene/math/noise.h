#pragma once
// Two-dimensional gradient noise over a 256-entry permutation. The tables are built on the
// first evaluation and draw 1,536 + 256 values from the shared random generator then.

#include "renderer/scene/math/vector.h"

namespace pellarin {

// 0 at every integer lattice point; roughly within [-1, 1].
float noise2(Vec2 v);

// Sum of |noise2(f v)| / f while f >= 1, halving f each time; 0 when f starts below 1.
float turbulence2(Vec2 v, float frequency);

// Forgets the tables so that the next evaluation builds them again from the generator.
void resetNoiseTablesForTesting();

}  // namespace pellarin
