#pragma once
// How the start-up asks for run mode: on the renderer's own popup, or inside a given window.

#include <optional>

#include "host/core/command_line.h"
#include "host/core/window_id.h"

namespace pellarin {

struct RunModeOptions {
  // "/S": the start-up hid the pointer, so the end shows it again.
  bool pointerHiddenAtStart = false;
  // Window mode: the renderer draws into this window, and the watch looks for the renderer's
  // window only inside it. Empty: the renderer opens its own popup.
  std::optional<WindowId> window;
  // The run-mode form carries the title "Quorvane_Main", which the single-instance rule finds.
  bool titled = true;
  RendererPacing pacing;
};

}  // namespace pellarin
