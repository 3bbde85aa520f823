// The scene's life: set-up of projection, lights, crystals, mesh and texture; the per-frame
// advance that spins and replaces crystals; the teardown after the GL context is gone.
#include "renderer/scene/scene.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "common/debug_log.h"
#include "common/work_folder.h"
#include "renderer/scene/scene_record.h"

namespace pellarin {

namespace {

Scene scene;

constexpr int kFallbackSide = 64;

}  // namespace

const Scene& currentScene() {
  return scene;
}

Scene& sceneForTesting() {
  return scene;
}

bool setUpScene(int width, int height) {
  scene = Scene{};
  // The crystals come first so that they take the first random numbers: the two first crystals
  // are the same in every run, picture or not.
  for (int i = 0; i < 2; ++i) {
    scene.crystals[static_cast<size_t>(i)] = spawnCrystal(i * kCrystalLifetime / 2.0);
  }
  scene.sharedMesh = createMesh();

  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  // A zero height would make the aspect ratio infinite and the projection meaningless; the
  // viewport treats it as 1 as well.
  const int safeHeight = height > 0 ? height : 1;
  const float aspect = static_cast<float>(static_cast<double>(width) / safeHeight);
  gluPerspective(60.0, aspect, 1.0, 1500.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();

  glEnable(GL_COLOR_MATERIAL);
  glEnable(GL_LIGHTING);
  const GLfloat ambient[] = {0.25f, 0.25f, 0.25f, 1.0f};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
  const GLfloat diffuse[] = {1.0f, 1.0f, 1.0f, 1.0f};
  const GLfloat specular[] = {0.0f, 0.0f, 0.0f, 1.0f};
  glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
  glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
  glEnable(GL_LIGHT0);

  scene.environmentImage = loadJpegImage(pictureFilePath());
  if (!scene.environmentImage) {
    scene.environmentImage =
        makeProceduralImage(kFallbackSide, kFallbackSide, GL_RGB, fallbackPixel);
  }
  if (scene.environmentImage) {
    scene.environmentTexture = createTexture(*scene.environmentImage).texture;
  } else {
    // Not even 12 KB to be had: the crystals still glow, in one flat blue.
    debugLog("scene: no memory for the fallback pattern; using one texel\n");
    scene.environmentTexture = createSingleTexelTexture();
  }
  return true;
}

void updateScene(float seconds) {
  for (std::unique_ptr<Crystal>& slot : scene.crystals) {
    if (!slot) continue;
    spinCrystal(*slot, seconds);
    // The age test uses the clock before this frame's step.
    if (isExpired(*slot, scene.sceneClock)) {
      slot.reset();
      slot = spawnCrystal(scene.sceneClock);
    }
  }
  scene.sceneClock += seconds;
}

void tearDownScene() {
  // The GL context is gone: the texture went with it, so only memory is released here.
  scene.sharedMesh.reset();
  for (std::unique_ptr<Crystal>& slot : scene.crystals) slot.reset();
  scene.environmentImage.reset();
  scene.environmentTexture = 0;
}

}  // namespace pellarin
