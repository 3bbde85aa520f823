#pragma once
// 3x3 and 4x4 matrices for row vectors: v' = v x M, translation in the fourth row, and
// "A then B" is A x B. The rotation builders are laid out for that convention; transposing
// them turns every rotation the other way.

#include <cmath>

#include "renderer/scene/math/vector.h"

namespace pellarin {

struct Matrix3 {
  Vec3 rows[3];
};

struct Matrix4 {
  float m[4][4] = {};
};

inline Matrix4 identityMatrix() {
  return Matrix4{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
}

inline Matrix4 translationMatrix(Vec3 t) {
  return Matrix4{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {t.x, t.y, t.z, 1}}};
}

inline Matrix4 scaleMatrix(Vec3 v) {
  return Matrix4{{{v.x, 0, 0, 0}, {0, v.y, 0, 0}, {0, 0, v.z, 0}, {0, 0, 0, 1}}};
}

inline Matrix4 uniformScaleMatrix(float k) {
  return scaleMatrix({k, k, k});
}

inline Matrix4 rotationX(float a) {
  const float c = std::cos(a), s = std::sin(a);
  return Matrix4{{{1, 0, 0, 0}, {0, c, -s, 0}, {0, s, c, 0}, {0, 0, 0, 1}}};
}

inline Matrix4 rotationY(float a) {
  const float c = std::cos(a), s = std::sin(a);
  return Matrix4{{{c, 0, s, 0}, {0, 1, 0, 0}, {-s, 0, c, 0}, {0, 0, 0, 1}}};
}

inline Matrix4 rotationZ(float a) {
  const float c = std::cos(a), s = std::sin(a);
  return Matrix4{{{c, -s, 0, 0}, {s, c, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
}

// Operands by value, so `a = a * b` and `b = a * b` are both safe.
inline Matrix4 operator*(Matrix4 a, Matrix4 b) {
  Matrix4 c;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      c.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                  a.m[i][3] * b.m[3][j];
    }
  }
  return c;
}

// (p, 1) x M, keeping the first three components; no perspective division.
inline Vec3 transformPoint(Vec3 p, const Matrix4& m) {
  return {p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0],
          p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1],
          p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2] + m.m[3][2]};
}

// Directions use the upper-left 3x3 block only.
inline Vec3 rotateVector(Vec3 v, const Matrix4& m) {
  return {v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0],
          v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1],
          v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2]};
}

inline Vec3 operator*(Vec3 v, const Matrix3& m) {
  return {v.x * m.rows[0].x + v.y * m.rows[1].x + v.z * m.rows[2].x,
          v.x * m.rows[0].y + v.y * m.rows[1].y + v.z * m.rows[2].y,
          v.x * m.rows[0].z + v.y * m.rows[1].z + v.z * m.rows[2].z};
}

}  // namespace pellarin
