#pragma once
// Everything the renderer computes with: vectors, matrices, quaternions, angles, the shared
// random generator and gradient noise. Row vectors throughout (v x M, translation in row 3).

#include "renderer/scene/math/matrix.h"
#include "renderer/scene/math/noise.h"
#include "renderer/scene/math/quaternion.h"
#include "renderer/scene/math/random.h"
#include "renderer/scene/math/scalar.h"
#include "renderer/scene/math/vector.h"
