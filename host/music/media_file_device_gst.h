#pragma once
// The media file device on GStreamer: playbin, sound only.

#include <memory>
#include <string>

#include "host/music/mci_device_provider.h"

namespace pellarin {

std::unique_ptr<MediaFileDevice> openMediaFileGst(const std::string& path,
                                                  DeviceOpenFailure& failure);

}  // namespace pellarin
