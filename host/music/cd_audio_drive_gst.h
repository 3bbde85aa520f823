#pragma once
// The CD drive on GStreamer: its audio CD sources read the disc, from a drive or from a disc
// image, into an audio output.

#include <memory>
#include <string>

#include "host/music/cd_audio_drive.h"
#include "host/music/mci_device_provider.h"

namespace pellarin {

// The drive or disc image at path: a device node is read through cdparanoiasrc (error
// correction for scratched discs), or cdiocddasrc where that is missing; a regular file, such as
// a cue sheet, is an image that only cdiocddasrc (libcdio) opens. A drive without a readable
// disc is still opened. Null with the reason when there is no such drive or GStreamer lacks the
// sources.
std::unique_ptr<CdAudioDrive> openCdAudioDriveGst(const std::string& path,
                                                  DeviceOpenFailure& failure);

}  // namespace pellarin
