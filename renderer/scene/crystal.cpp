#include "renderer/scene/crystal.h"

namespace pellarin {

namespace {

constexpr float kFirstScale = 1.0f;
constexpr float kLaterScale = 0.7f;

// A tilt between 30 and 90 degrees.
float randomTilt() {
  return degreesToRadians(randomUnit() * 60 + 30);
}

}  // namespace

GrowthPattern::GrowthPattern(int count)
    : levelCount(count > 0 ? count : 0), levels(std::make_unique<BranchLevel[]>(levelCount)) {}

std::unique_ptr<GrowthPattern> makeRandomPattern() {
  auto pattern = std::make_unique<GrowthPattern>(3 + nextRandom() % 2);

  BranchLevel first;
  first.scale = kFirstScale;
  first.offset = 0;
  first.branchCount = nextRandom() % 3 + 1;
  first.tilt = first.branchCount == 1 ? 0.0f : randomTilt();
  pattern->setLevel(0, first);

  for (int i = 1; i < pattern->levelCount; ++i) {
    BranchLevel level;
    level.offset = randomUnit() * 0.7f + 0.3f;
    level.tilt = randomTilt();
    const int twoWays = nextRandom() % 2;  // drawn before the three-way term
    level.branchCount = twoWays + nextRandom() % 3 + 2;
    level.scale = kLaterScale;
    pattern->setLevel(i, level);
  }
  return pattern;
}

std::unique_ptr<Crystal> spawnCrystal(double birthTime) {
  auto crystal = std::make_unique<Crystal>();
  crystal->pattern = makeRandomPattern();
  crystal->birthTime = birthTime;
  crystal->position = {0, 0, 0};
  crystal->orientation = identityQuaternion();

  const float az = static_cast<float>(randomSigned() * kPi);
  const float ay = static_cast<float>(randomSigned() * kPi);
  const float ax = static_cast<float>(randomSigned() * kPi);
  const Matrix4 r = rotationX(ax) * rotationY(ay) * rotationZ(az);
  crystal->spin = rotateVector({0.1f, 0, 0}, r);

  crystal->fallFlag = nextRandom() % 4 != 0 ? 1 : 0;
  return crystal;
}

void spinCrystal(Crystal& crystal, float dt) {
  const float rate = length(crystal.spin);
  // A crystal without spin would get a non-finite axis and lose its orientation for good.
  if (!(rate > 0)) return;
  const float angle = static_cast<float>(static_cast<double>(rate * dt * 2) * kPi);
  const Vec3 axis = divided(crystal.spin, rate);
  crystal.orientation = quaternionFromAxisAngle(axis, angle) * crystal.orientation;
}

bool isExpired(const Crystal& crystal, double sceneClock) {
  return sceneClock - crystal.birthTime > kCrystalLifetime;
}

void growCrystal(const GrowthPattern& pattern, int depth, const Matrix4& parent,
                 const Matrix4& fallMatrix, float age, TriangleMesh& mesh) {
  if (depth < 0 || depth >= pattern.levelCount) return;
  // Not started yet. Written as a comparison rather than through the whole part of `age`, so
  // that ages in (-1, 0) add nothing at depth 0 either and NaN or huge ages need no cast.
  const float start = static_cast<float>(depth);
  if (!(age >= start)) return;
  const float growth = age < start + 1 ? age - start : 1.0f;

  const BranchLevel level = pattern.level(depth);
  const Matrix4 m = uniformScaleMatrix(level.scale * growth) * rotationX(level.tilt);
  const Matrix4 t = translationMatrix({0, level.offset, 0});
  const bool recurse = depth < pattern.levelCount - 1;
  for (int i = 0; i < level.branchCount; ++i) {
    const float around = static_cast<float>(i * kTwoPi / level.branchCount);
    const Matrix4 b = m * rotationY(around) * t * parent;
    emitSpike(fallMatrix * b, mesh);
    if (recurse) {
      const float delay = static_cast<float>(i) / static_cast<float>(level.branchCount);
      growCrystal(pattern, depth + 1, b, fallMatrix, age - delay, mesh);
    }
  }
}

void emitSpike(const Matrix4& matrix, TriangleMesh& mesh) {
  const Vec3 tip = transformPoint({0, 1, 0}, matrix);
  const Vec3 a = transformPoint({0, 0.5f, 0.1f}, matrix);
  const Vec3 b = transformPoint({0.0866f, 0.5f, -0.05f}, matrix);
  const Vec3 c = transformPoint({-0.0866f, 0.5f, -0.05f}, matrix);
  const Vec3 base = transformPoint({0, 0, 0}, matrix);
  addTriangle(mesh, a, b, tip);
  addTriangle(mesh, c, tip, b);
  addTriangle(mesh, tip, c, a);
  addTriangle(mesh, base, a, c);
  addTriangle(mesh, a, base, b);
  addTriangle(mesh, c, b, base);
}

}  // namespace pellarin
