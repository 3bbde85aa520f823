#pragma once
// A CD drive of the Linux kernel as a source of audio frames.

#include <memory>
#include <string>

#include "host/music/cd_sector_source.h"

namespace pellarin {

// Null when there is no such device or it is no CD drive.
std::unique_ptr<CdSectorSource> openCdDriveSource(const std::string& devicePath);

}  // namespace pellarin
