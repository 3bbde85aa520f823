#pragma once
// Stand-in for the scene's entry points, and the one call log that it and the recording
// platform write to, so tests can check the order of everything the shell does.

#include <string>
#include <vector>

#include "renderer/scene/scene.h"

namespace pellarin::testing {

struct SceneRecord {
  bool setUpResult = true;
  std::vector<float> steps;  // updateScene arguments
  std::vector<Vec3> eyes;    // drawScene arguments
  std::vector<Quaternion> orientations;
  std::vector<unsigned> drawnPolygonModes;  // rendererState.polygonMode at each draw
  bool runningAtTearDown = true;
};

extern SceneRecord sceneRecord;
extern std::vector<std::string> callLog;

}  // namespace pellarin::testing
