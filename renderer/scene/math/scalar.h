#pragma once
// Angle conversion and interpolation. Intermediate products with pi are taken in double and
// rounded once on return, the way the stored results have always been rounded.

namespace pellarin {

inline constexpr double kPi = 3.141592653589793;
inline constexpr double kTwoPi = 6.283185307179586;

inline float degreesToRadians(float degrees) {
  return static_cast<float>(static_cast<double>(degrees / 180.0f) * kPi);
}

inline float radiansToDegrees(float radians) {
  return static_cast<float>(static_cast<double>(radians * 180.0f) / kPi);
}

// a at t = 0, b at t = 1.
inline float linearInterpolate(float t, float a, float b) {
  return a + t * (b - a);
}

}  // namespace pellarin
