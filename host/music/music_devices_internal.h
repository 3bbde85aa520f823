#pragma once
// Between the device registry and the platform layer that installs its own devices.

#include "host/music/music_devices.h"

namespace pellarin {

// Installs devices owned by the platform layer; release is called when they are removed.
void setMusicDevices(MciCommandInterface& commands, LoopingSoundPlayer& sounds,
                     AudioOutputCounter& outputs, void (*release)());

// True while the devices in use came from setMusicDevices with a release function.
bool platformMusicDevicesInstalled();

}  // namespace pellarin
