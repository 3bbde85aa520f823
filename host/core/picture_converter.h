#pragma once
// Turns a bitmap file into the JPEG picture file the renderer reads.

#include <filesystem>

namespace pellarin {

class PictureConverter {
 public:
  virtual ~PictureConverter() = default;
  // True when jpegPath now holds the bitmap's picture as a JPEG file.
  virtual bool convertBmpToJpg(const std::filesystem::path& bitmapPath,
                               const std::filesystem::path& jpegPath) = 0;
};

}  // namespace pellarin
