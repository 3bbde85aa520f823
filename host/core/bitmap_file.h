#pragma once
// Writes a picture as a Windows bitmap file.

#include <cstdint>
#include <filesystem>
#include <vector>

#include "host/core/picture.h"

namespace pellarin {

// The whole file: a 24-bit bottom-up bitmap with rows padded to four bytes. Empty when the
// picture is inconsistent or too large.
std::vector<std::uint8_t> bitmapFileBytes(const PictureView& picture);

// Writes bitmapFileBytes to path. False when the file cannot be written or the picture is
// inconsistent; a partly written file is removed.
bool writeBitmapFile(const std::filesystem::path& path, const PictureView& picture);

}  // namespace pellarin
