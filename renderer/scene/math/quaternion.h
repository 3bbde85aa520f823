#pragma once
// Rotation quaternions (x, y, z, w) with the scalar last. The default is the zero quaternion,
// which is not a rotation; the identity is Quaternion(1.0f).

#include <cmath>

#include "renderer/scene/math/matrix.h"
#include "renderer/scene/math/vector.h"

namespace pellarin {

struct Quaternion {
  float x = 0;
  float y = 0;
  float z = 0;
  float w = 0;

  constexpr Quaternion() = default;
  constexpr Quaternion(float qx, float qy, float qz, float qw) : x(qx), y(qy), z(qz), w(qw) {}
  // Scalar only: Quaternion(1.0f) is the identity rotation.
  constexpr explicit Quaternion(float qw) : w(qw) {}

  friend bool operator==(const Quaternion&, const Quaternion&) = default;
};

inline constexpr Quaternion identityQuaternion() {
  return Quaternion(1.0f);
}

// Hamilton product q1 (x) q2: rotating by the result rotates by q2 first, then q1.
inline Quaternion operator*(Quaternion a, Quaternion b) {
  return {
      a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y + a.y * b.w + a.z * b.x - a.x * b.z,
      a.w * b.z + a.z * b.w + a.x * b.y - a.y * b.x, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

// The axis must already be of unit length.
inline Quaternion quaternionFromAxisAngle(Vec3 axis, float angle) {
  const float half = angle / 2;
  const float s = std::sin(half);
  return {axis.x * s, axis.y * s, axis.z * s, std::cos(half)};
}

// For handing an orientation to glRotatef. A quaternion with no vector part (the zero
// quaternion included) gives axis (1, 0, 0) and angle 0; w outside (-1, 1) gives angle 0.
void quaternionToAxisAngle(Quaternion q, Vec3& axis, float& angle);

inline Quaternion conjugate(Quaternion q) {
  return {-q.x, -q.y, -q.z, q.w};
}

// Turns q about the world Y axis: q <- (0, sin(a/2), 0, cos(a/2)) (x) q.
inline void rotateAboutY(Quaternion& q, float angle) {
  const float half = angle / 2;
  q = Quaternion(0, std::sin(half), 0, std::cos(half)) * q;
}

// The matrix rotates a row vector v by q as v x M.
inline Matrix3 toMatrix3(Quaternion q) {
  const float x = q.x, y = q.y, z = q.z, w = q.w;
  Matrix3 m;
  m.rows[0] = {1 - 2 * y * y - 2 * z * z, 2 * x * y + 2 * w * z, 2 * x * z - 2 * w * y};
  m.rows[1] = {2 * x * y - 2 * w * z, 1 - 2 * x * x - 2 * z * z, 2 * y * z + 2 * w * x};
  m.rows[2] = {2 * x * z + 2 * w * y, 2 * y * z - 2 * w * x, 1 - 2 * x * x - 2 * y * y};
  return m;
}

}  // namespace pellarin
