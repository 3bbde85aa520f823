#pragma once
// The CD drive on GStreamer: the disc's frames, read from a drive or an image, pushed into an
// audio output.

#include <memory>

#include "host/music/cd_audio_drive.h"
#include "host/music/cd_sector_source.h"

namespace pellarin {

// Null when GStreamer cannot make the playback pipeline.
std::unique_ptr<CdAudioDrive> makeCdAudioDriveGst(std::unique_ptr<CdSectorSource> source);

}  // namespace pellarin
