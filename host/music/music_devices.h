#pragma once
// Where the music operations send their work: one command-string interface, one looping sound
// player and one audio output counter, installed once before the first operation.
//
// On Linux the platform's devices are this program's own command interpreter over GStreamer.
// Environment variables read only by that layer (both meant for tests and diagnosis):
//   PELLARIN_AUDIO_SINK  a GStreamer bin description used instead of the normal audio output,
//                        for example "fakesink sync=true".
//   PELLARIN_CD_DEVICE   the CD drive to use instead of /dev/cdrom, or a disc image that
//                        libcdio opens, such as a cue sheet with its data file.

#include "host/music/audio_output_counter.h"
#include "host/music/looping_sound_player.h"
#include "host/music/mci_command_interface.h"

namespace pellarin {

// Installs the platform's devices (idempotent). They are released when the program exits.
void installPlatformMusicDevices();

// Installs the given devices instead; the caller keeps them alive until removeMusicDevices or
// the next install.
void installMusicDevices(MciCommandInterface& commands, LoopingSoundPlayer& sounds,
                         AudioOutputCounter& outputs);

// Stops using any installed devices and releases the platform's (playback stops).
// Operations called afterwards fail quietly as if no driver were present.
void removeMusicDevices();

struct MusicDevices {
  MciCommandInterface& commands;
  LoopingSoundPlayer& sounds;
  AudioOutputCounter& outputs;
};

// The devices in use; stand-ins that fail every call when none are installed.
MusicDevices musicDevices();

}  // namespace pellarin
