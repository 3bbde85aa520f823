#pragma once
// The scene as the renderer shell sees it: set up once, advanced and drawn once per frame,
// torn down after the window is gone.

#include "renderer/scene/math/scene_math.h"

namespace pellarin {

// Called once with the client size after the OpenGL context is current. False ends the program.
bool setUpScene(int width, int height);

// Advances the crystals and the scene clock by `seconds` (0 while paused).
void updateScene(float seconds);

// Draws one frame seen from `eye` with the camera `orientation`.
void drawScene(Vec3 eye, Quaternion orientation);

// Releases the scene after the OpenGL context is gone; makes no OpenGL calls.
void tearDownScene();

}  // namespace pellarin
