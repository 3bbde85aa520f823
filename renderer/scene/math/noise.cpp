#include "renderer/scene/math/noise.h"

#include <cmath>
#include <utility>

#include "renderer/scene/math/random.h"
#include "renderer/scene/math/scalar.h"

namespace pellarin {

namespace {

constexpr int kSize = 256;
constexpr int kMask = kSize - 1;
constexpr int kTableLength = kSize + kSize + 2;

// One and three-dimensional gradients are drawn too although only g2 is read: the draws keep
// the generator's sequence what it has always been after the tables are built.
struct GradientNoise {
  int p[kTableLength];
  float g1[kTableLength];
  Vec2 g2[kTableLength];
  Vec3 g3[kTableLength];
  bool built = false;
};

GradientNoise tables;

void buildTables() {
  for (int i = 0; i < kSize; ++i) {
    tables.g1[i] = randomSigned();
    Vec2 v2;
    v2.x = randomSigned();
    v2.y = randomSigned();
    normalise(v2);
    tables.g2[i] = v2;
    Vec3 v3;
    v3.x = randomSigned();
    v3.y = randomSigned();
    v3.z = randomSigned();
    normalise(v3);
    tables.g3[i] = v3;
  }
  for (int i = 0; i < kSize; ++i) tables.p[i] = i;
  for (int i = 0; i < kSize; ++i) {
    const int j = nextRandom() % kSize;
    std::swap(tables.p[i], tables.p[j]);
  }
  for (int i = 0; i < kSize + 2; ++i) {
    tables.p[kSize + i] = tables.p[i];
    tables.g1[kSize + i] = tables.g1[i];
    tables.g2[kSize + i] = tables.g2[i];
    tables.g3[kSize + i] = tables.g3[i];
  }
  tables.built = true;
}

struct Axis {
  int b0, b1;
  float r0, r1;
};

Axis splitAxis(float coordinate) {
  const float t = coordinate + 4096.0f;
  Axis a{0, 1, 0.0f, -1.0f};
  // Beyond int range (or NaN) the integer part is undefined; such inputs sample the origin cell.
  if (!(std::fabs(t) < 2147483520.0f)) return a;
  const int whole = static_cast<int>(t);
  a.b0 = whole & kMask;
  a.b1 = (a.b0 + 1) & kMask;
  a.r0 = t - static_cast<float>(whole);
  a.r1 = a.r0 - 1.0f;
  return a;
}

}  // namespace

float noise2(Vec2 v) {
  if (!tables.built) buildTables();
  const Axis ax = splitAxis(v.x);
  const Axis ay = splitAxis(v.y);
  const int i = tables.p[ax.b0];
  const int j = tables.p[ax.b1];
  const int b00 = tables.p[i + ay.b0];
  const int b10 = tables.p[j + ay.b0];
  const int b01 = tables.p[i + ay.b1];
  const int b11 = tables.p[j + ay.b1];
  const float sx = ax.r0 * ax.r0 * (3.0f - 2.0f * ax.r0);
  const float sy = ay.r0 * ay.r0 * (3.0f - 2.0f * ay.r0);
  const Vec2* g = tables.g2;
  const float u0 = ax.r0 * g[b00].x + ay.r0 * g[b00].y;
  const float v0 = ax.r1 * g[b10].x + ay.r0 * g[b10].y;
  const float a = linearInterpolate(sx, u0, v0);
  const float u1 = ax.r0 * g[b01].x + ay.r1 * g[b01].y;
  const float v1 = ax.r1 * g[b11].x + ay.r1 * g[b11].y;
  const float b = linearInterpolate(sx, u1, v1);
  return linearInterpolate(sy, a, b);
}

float turbulence2(Vec2 v, float frequency) {
  float sum = 0;
  if (!std::isfinite(frequency)) return sum;  // halving infinity would never end
  for (float f = frequency; f >= 1.0f; f *= 0.5f) {
    sum += std::fabs(noise2({f * v.x, f * v.y})) / f;
  }
  return sum;
}

void resetNoiseTablesForTesting() {
  tables.built = false;
}

}  // namespace pellarin
