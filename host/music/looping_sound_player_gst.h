#pragma once
// The looping sound player on GStreamer.

#include <memory>

#include "host/music/looping_sound_player.h"

namespace pellarin {

std::unique_ptr<LoopingSoundPlayer> makeLoopingSoundPlayerGst();

}  // namespace pellarin
