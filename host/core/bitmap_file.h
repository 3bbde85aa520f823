#pragma once
// Writes a picture as a Windows bitmap file.

#include <filesystem>

#include "host/core/picture.h"

namespace pellarin {

// A 24-bit bottom-up bitmap with rows padded to four bytes. False when the file cannot be
// written or the picture is inconsistent; a partly written file is removed.
bool writeBitmapFile(const std::filesystem::path& path, const PictureView& picture);

}  // namespace pellarin
