#pragma once
// A picture as the bytes of a Windows bitmap file.

#include <cstdint>
#include <vector>

#include "host/core/picture.h"

namespace pellarin {

// The whole file: a 24-bit bottom-up bitmap with rows padded to four bytes. Empty when the
// picture is inconsistent or too large.
std::vector<std::uint8_t> bitmapFileBytes(const PictureView& picture);

}  // namespace pellarin
