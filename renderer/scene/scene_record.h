#pragma once
// The scene's one process-wide record, for the drawing code and for tests and tools that look at
// the scene. Main thread only.

#include <GL/gl.h>

#include <array>
#include <memory>

#include "renderer/scene/crystal.h"
#include "renderer/scene/image.h"
#include "renderer/scene/triangle_mesh.h"

namespace pellarin {

struct Scene {
  // Seconds of scene time. Double: a float clock stops advancing by 0.05 s steps after about
  // five days (at 2^19 s), which would freeze the crystals of a long-running screen saver.
  double sceneClock = 0.0;
  std::array<std::unique_ptr<Crystal>, 2> crystals;
  std::unique_ptr<TriangleMesh> sharedMesh;
  // The picture or the fallback pattern; none only if not even the pattern could be allocated.
  std::unique_ptr<Image> environmentImage;
  // The texture the crystals reflect: environmentImage's, or a one-texel stand-in without it.
  GLuint environmentTexture = 0;
};

// The scene as set up by setUpScene and advanced by updateScene.
const Scene& currentScene();

// Write access for tools and tests that need to look at one crystal on its own (by taking the
// other one out of its slot) or to start from a given clock. Not used by the renderer.
Scene& sceneForTesting();

}  // namespace pellarin
