#pragma once
// The three things the start-up can open once it has decided the mode.

#include <cstdint>

#include "host/core/run_mode_options.h"

namespace pellarin {

class StartUpForms {
 public:
  virtual ~StartUpForms() = default;
  // Shows the preview inside the given window; false when that cannot be done.
  virtual bool showPreview(std::int32_t parentWindow) = 0;
  // Shows the settings dialog and returns once it has closed.
  virtual void showSettingsDialog() = 0;
  // Loads the hidden run-mode form, which hands over to the renderer.
  virtual void loadRunModeForm(const RunModeOptions& options) = 0;
};

}  // namespace pellarin
