// Until the crystals exist the scene is an empty black frame.
#include "renderer/scene/scene.h"

#include <GL/gl.h>

namespace pellarin {

bool setUpScene(int, int) { return true; }

void updateScene(float) {}

void drawScene(Vec3, Quaternion) {
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void tearDownScene() {}

}  // namespace pellarin
