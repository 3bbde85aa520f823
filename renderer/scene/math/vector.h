#pragma once
// Three- and two-component single-precision vectors. One type serves positions and directions.

#include <cmath>

namespace pellarin {

struct Vec3 {
  float x = 0;
  float y = 0;
  float z = 0;

  friend bool operator==(const Vec3&, const Vec3&) = default;
};

struct Vec2 {
  float x = 0;
  float y = 0;
};

inline Vec3 operator-(Vec3 a, Vec3 b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator+(Vec3 a, Vec3 b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator*(Vec3 v, float s) {
  return {s * v.x, s * v.y, s * v.z};
}

inline void addInPlace(Vec3& v, float a, float b, float c) {
  v.x += a;
  v.y += b;
  v.z += c;
}
inline Vec3& operator+=(Vec3& v, Vec3 d) {
  addInPlace(v, d.x, d.y, d.z);
  return v;
}

inline void scaleInPlace(Vec3& v, float s) {
  v.x *= s;
  v.y *= s;
  v.z *= s;
}
inline Vec3 scaled(Vec3 v, float s) {
  return v * s;
}

// Multiplies by the single-precision reciprocal rather than dividing each component.
inline Vec3 divided(Vec3 v, float s) {
  const float r = 1.0f / s;
  return {v.x * r, v.y * r, v.z * r};
}

inline Vec3 cross(Vec3 u, Vec3 v) {
  return {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
}

inline float dot(Vec3 u, Vec3 v) {
  return u.x * v.x + u.y * v.y + u.z * v.z;
}

inline float length(Vec3 v) {
  return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

// A zero vector becomes non-finite; callers that can meet one tolerate that.
inline void normalise(Vec3& v) {
  const float r = 1.0f / std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  v.x *= r;
  v.y *= r;
  v.z *= r;
}
inline Vec3 normalised(Vec3 v) {
  normalise(v);
  return v;
}

inline void normalise(Vec2& v) {
  const float len = std::sqrt(v.x * v.x + v.y * v.y);
  v.x /= len;
  v.y /= len;
}

}  // namespace pellarin
