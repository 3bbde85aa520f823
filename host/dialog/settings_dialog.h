#pragma once
// The "/C" settings dialog, shown modally.

namespace pellarin {

// Shows the dialog and returns once it has closed. Returns 0.
int showSettingsDialog();

}  // namespace pellarin
