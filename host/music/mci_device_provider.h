#pragma once
// Seam: makes the devices that the command interpreter opens.

#include <memory>
#include <string>

#include "host/music/cd_audio_drive.h"
#include "host/music/media_file_device.h"

namespace pellarin {

enum class DeviceOpenFailure { none, noDriver, noDevice, cannotPlay };

class MciDeviceProvider {
 public:
  virtual ~MciDeviceProvider() = default;

  // Opens an existing media file for playing; null with the reason when it cannot be played.
  virtual std::unique_ptr<MediaFileDevice> openMediaFile(const std::string& path,
                                                         DeviceOpenFailure& failure) = 0;
  // Opens the default CD drive (with or without a disc); null with the reason when there is none.
  virtual std::unique_ptr<CdAudioDrive> openCdDrive(DeviceOpenFailure& failure) = 0;
};

}  // namespace pellarin
