#pragma once
// Renders the scene at a chosen scene time into an RGB picture, advancing it the way the
// renderer does, so the crystals are the ones the renderer would show at that time.

#include "renderer/scene/math/scene_math.h"
#include "tools/render_scene/offscreen_gl.h"
#include "tools/render_scene/png_file.h"

namespace pellarin {

// The renderer never advances the scene by more than this in one frame.
inline constexpr float kLargestSceneStep = 0.05f;

// Calls updateScene with steps of kLargestSceneStep (the last one shorter) until `seconds` of
// scene time have passed.
void advanceScene(double seconds);

struct SnapshotOptions {
  double sceneTime = 0.0;
  float cameraDistance = 35.0f;  // the renderer's starting distance
  bool wireframe = false;
  int onlySlot = -1;  // 0 or 1: take the other slot's crystal out before drawing
};

// Sets the scene up for the context's size (reading the picture file as the renderer does),
// advances it to options.sceneTime and draws one frame from the starting camera.
RgbPicture renderSceneSnapshot(OffscreenGl& gl, const SnapshotOptions& options);

// The current frame of `gl` as a picture.
RgbPicture capture(const OffscreenGl& gl);

}  // namespace pellarin
