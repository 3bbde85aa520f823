#include "tools/render_scene/scene_snapshot.h"

#include <GL/gl.h>

#include <cmath>

#include "renderer/scene/scene.h"
#include "renderer/scene/scene_record.h"
#include "renderer/shell/renderer_state.h"

namespace pellarin {

void advanceScene(double seconds) {
  // Whole steps counted in integers, so that 11 s is 220 steps and not 219 and a sliver.
  const auto steps = static_cast<long>(std::floor(seconds / kLargestSceneStep + 1e-6));
  for (long i = 0; i < steps; ++i) updateScene(kLargestSceneStep);
  const auto rest = static_cast<float>(seconds - static_cast<double>(steps) * kLargestSceneStep);
  if (rest > 1e-6f) updateScene(rest);
}

RgbPicture capture(const OffscreenGl& gl) {
  return RgbPicture{gl.width(), gl.height(), gl.readPixels()};
}

RgbPicture renderSceneSnapshot(OffscreenGl& gl, const SnapshotOptions& options) {
  setUpScene(gl.width(), gl.height());
  advanceScene(options.sceneTime);
  if (options.onlySlot == 0 || options.onlySlot == 1) {
    sceneForTesting().crystals[options.onlySlot == 0 ? 1 : 0].reset();
  }
  rendererState.polygonMode = options.wireframe ? GL_LINE : GL_FILL;
  // The renderer's eye: (0, 0, distance) turned by the conjugate of the camera orientation,
  // which is the identity at the start.
  const Quaternion orientation = identityQuaternion();
  const Vec3 eye = Vec3{0.0f, 0.0f, options.cameraDistance} * toMatrix3(conjugate(orientation));
  drawScene(eye, orientation);
  return capture(gl);
}

}  // namespace pellarin
