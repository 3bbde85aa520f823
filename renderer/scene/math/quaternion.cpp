#include "renderer/scene/math/quaternion.h"

namespace pellarin {

void quaternionToAxisAngle(Quaternion q, Vec3& axis, float& angle) {
  const float s = q.x * q.x + q.y * q.y + q.z * q.z;
  if (s > 1e-10f) {
    const float r = 1.0f / std::sqrt(s);
    axis = {q.x * r, q.y * r, q.z * r};
    angle = (q.w > -1.0f && q.w < 1.0f) ? 2 * std::acos(q.w) : 0.0f;
  } else {
    axis = {1, 0, 0};
    angle = 0;
  }
}

}  // namespace pellarin
