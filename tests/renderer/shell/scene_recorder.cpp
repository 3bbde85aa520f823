#include "tests/renderer/shell/scene_recorder.h"

#include "renderer/shell/renderer_state.h"

namespace pellarin {

namespace testing {
SceneRecord sceneRecord;
std::vector<std::string> callLog;
}  // namespace testing

using testing::callLog;
using testing::sceneRecord;

bool setUpScene(int width, int height) {
  callLog.push_back("setUpScene " + std::to_string(width) + "x" + std::to_string(height));
  return sceneRecord.setUpResult;
}

void updateScene(float seconds) {
  callLog.push_back("updateScene");
  sceneRecord.steps.push_back(seconds);
}

void drawScene(Vec3 eye, Quaternion orientation) {
  callLog.push_back("drawScene");
  sceneRecord.eyes.push_back(eye);
  sceneRecord.orientations.push_back(orientation);
  sceneRecord.drawnPolygonModes.push_back(rendererState.polygonMode);
}

void tearDownScene() {
  callLog.push_back("tearDownScene");
  sceneRecord.runningAtTearDown = rendererState.running;
}

}  // namespace pellarin
