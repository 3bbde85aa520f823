#pragma once
// The renderer shell's one process-wide record. Touched on the main thread only: the message
// loop, the window procedure and the frame step all run there.

#include <cstdint>

#include "renderer/scene/math/scene_math.h"
#include "renderer/shell/renderer_platform.h"

namespace pellarin {

// Polygon modes as OpenGL numbers them; the scene draw hands polygonMode to glPolygonMode.
inline constexpr unsigned int kPolygonModeFill = 0x1B02;  // GL_FILL
inline constexpr unsigned int kPolygonModeLine = 0x1B01;  // GL_LINE

struct RendererState {
  std::int32_t screenWidth = 0;
  std::int32_t screenHeight = 0;
  std::int32_t clientWidth = 0;
  std::int32_t clientHeight = 0;
  bool running = false;
  DeviceContextHandle deviceContext = nullptr;
  RenderContextHandle renderContext = nullptr;
  std::int64_t counterFrequency = 0;
  std::int64_t counterStart = 0;
  // Seconds since counterStart. Double, because a float of a few days' seconds can no longer
  // tell one frame from the next.
  double elapsedSeconds = 0.0;
  float frameSeconds = 0.0f;
  std::int32_t frameCounter = 0;
  bool paused = false;
  bool wireframe = false;
  unsigned int polygonMode = kPolygonModeFill;
  std::int32_t optionBits = 1;
  bool keyUp = false;
  bool keyDown = false;
  bool keyLeft = false;
  bool keyRight = false;
  bool keyHome = false;
  bool keyEnd = false;
  std::int32_t mouseX = 0;
  std::int32_t mouseY = 0;
  bool mouseLeftDown = false;
  Vec3 cameraPosition{0.0f, 0.0f, 0.0f};
  Vec3 cameraVelocity{0.0f, 0.0f, 0.0f};
  Quaternion cameraOrientation{0.0f, 0.0f, 0.0f, 1.0f};
  float cameraDistance = 35.0f;
  // The pointer was hidden at start-up and is shown again when the window goes. Only the
  // renderer's own popup hides it.
  bool pointerHidden = false;
};

extern RendererState rendererState;

}  // namespace pellarin
